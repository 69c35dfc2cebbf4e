// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers read from a stream in fixed blocks: the count and coordinates of a points file, and the fields
// of the plain tables kelvora-fit reads. Memory stays one block whatever the input; a number of any
// length reads as strtod reads its whole text.
#ifndef KELVORA_NUMBER_READER_H
#define KELVORA_NUMBER_READER_H

#include <windows.h>
#include <stdio.h>

#define READ_BLOCK_SIZE 65536
// The text of a token a message names: at most this many characters, zero included; a longer token is
// cut and ends in "...".
#define TOKEN_TEXT_CAPACITY 44

struct NumberReader {
    FILE* file;       // the stream read, or NULL for `handle` read at `offset`
    HANDLE handle;    // (no stream) a file read by position, so that another reader may read it meanwhile
    long long offset; // (handle) where the next block is read
    // The file offset of data[0], once known: asked of the stream once, then counted.
    long long blockOffset;
    bool offsetKnown;
    // readPlainPoints stops before a token at this file offset or beyond (-1: nowhere).
    long long pauseAt;
    // data[end] is always 0, and the 7 bytes after it too, so that digits are read 8 at a time.
    char data[READ_BLOCK_SIZE + 8];
    int start;
    int end;
    bool atEnd;
    bool failed;
    // "nan(" without its ")": the number was "nan", and the '(' after it, already passed, stops every
    // further loose read as it would stand in front of it.
    bool stopped;
    // Decimal commas: ',' and '.' trade places as the blocks come in, so "1,5" reads as 1.5 and a
    // stray "1.5" no longer reads as a number. Token texts in messages are traded back.
    bool commaIsPoint;
    int line; // line of data[start], from 1
    // The text of the last number readNumberToken read: data[tokenStart] on for tokenLength characters
    // while the block still holds it (tokenLength -1 for a number read piece by piece).
    int tokenStart;
    int tokenLength;
    // When set, the readers hand it the text of X (coordinate 0) and Y (1) of each point as they read
    // it (text NULL for a token longer than a block), for callers that echo the input as written.
    void (*keepCoordinate)(void* context, int coordinate, const char* text, int length);
    void* keepContext;
};

// Hands the last number read to keepCoordinate, when it is set, as coordinate 0 (X) or 1 (Y).
inline void keepCoordinateText(NumberReader* reader, int coordinate)
{
    if (reader->keepCoordinate == NULL) return;
    bool held = reader->tokenLength >= 0;
    reader->keepCoordinate(reader->keepContext, coordinate, held ? reader->data + reader->tokenStart : NULL,
                           held ? reader->tokenLength : 0);
}

// What readNumberToken found at the reading position.
enum NumberToken {
    TOKEN_NONE,         // the end of the stream (or of the line, for the table's token ends)
    TOKEN_NUMBER,       // a number, the whole token
    TOKEN_NOT_A_NUMBER, // the token is not a number, or a number runs into other text ("4x")
    TOKEN_NOT_DECIMAL,  // a hexadecimal number, NaN, an infinity or a value beyond the double range
};

// Says whether character c (-1: the end of the stream) ends a token.
typedef bool (*TokenEnd)(int c);

void startNumberReader(NumberReader* reader, FILE* file);

// A reader of `file` from offset on, by reads at a position of its own that leave the file's position
// alone.
void startNumberReaderAt(NumberReader* reader, HANDLE file, long long offset);

// The offset in the file of the reading position, or -1 when the stream cannot tell.
long long readerOffset(NumberReader* reader);

// Goes on reading at offset, counting lines from line; false when the stream cannot move there.
bool seekReader(NumberReader* reader, long long offset, int line);

// Fills the first block (all of the stream when shorter) without passing any of it, so the format can
// be decided before reading; *complete tells whether it holds the whole stream.
const char* firstBlock(NumberReader* reader, int* length, bool* complete);

// Makes ',' and '.' trade places from the reading position on (see commaIsPoint).
void readDecimalCommas(NumberReader* reader);

// peekChar when the block holds too little: tops it up first.
int peekCharAfterFill(NumberReader* reader, int ahead);

// The character `ahead` places after the reading position (ahead < 4096), or -1 past the end.
inline int peekChar(NumberReader* reader, int ahead)
{
    return reader->start + ahead < reader->end ? (unsigned char)reader->data[reader->start + ahead]
                                               : peekCharAfterFill(reader, ahead);
}

// Passes one character, counting lines.
inline void passChar(NumberReader* reader)
{
    int c = peekChar(reader, 0);
    if (c < 0) return;
    if (c == '\n') ++reader->line;
    ++reader->start;
}

// Space, tab, line feed, vertical tab, form feed, carriage return: what scanf skips.
bool isSpaceChar(int c);

// Skips white space as scanf does, counting lines; false when the stream ends first.
bool skipWhiteSpace(NumberReader* reader);

// "%d" after white space: an optional sign and decimal digits. Magnitudes beyond `limit` stop the
// reading at once (their text is not passed) and read as limit + 1 (or its negative). False when no
// digit comes; *wholeToken false when other text follows the digits ("4.5", "1e1", "5abc").
bool readCount(NumberReader* reader, long long limit, long long* count, bool* wholeToken, char* text);

// Reads the token at the reading position as one number ending where endsToken says. decimalOnly
// refuses what only strtod takes beyond decimals (hexadecimal, NaN, infinities) and values beyond the
// double range. A token that is no number is passed when endsToken ends it within one block; text
// (TOKEN_TEXT_CAPACITY) receives it for a message.
NumberToken readNumberToken(NumberReader* reader, TokenEnd endsToken, bool decimalOnly, double* value, char* text);

// Reads up to `wanted` points whose X and Y are plain decimals ("-12.5e3") each ended by a space or a
// line feed, as long as the block holds them, into x and y; returns how many. The reading position stays
// before the first point it does not read, for readNumberToken, which gives the same values.
int readPlainPoints(NumberReader* reader, double* x, double* y, int wanted);

// Lines of a plain table of two columns, from a line start: X and Y plain decimals separated by blanks
// with at most one comma (commaSeparates) or semicolon among them, blanks and a line feed after Y; up to
// `wanted` of them into x and y, while the block holds them; returns how many. The reading position
// stays at the start of the first line it does not read.
int readPlainPairLines(NumberReader* reader, double* x, double* y, int wanted, bool commaSeparates);

// Passes the line at the reading position when it holds nothing but blanks and perhaps a comment after
// '#', with its line feed; false, and nothing passed, for any other line and for the last one. A
// comment longer than 4096 characters is left to the caller too.
bool passEmptyLine(NumberReader* reader);

// readPlainPoints for a run of single numbers: up to `wanted` of them into values; returns how many.
int readPlainValues(NumberReader* reader, double* values, int wanted);

// Reads the token at the reading position when it is a plain decimal that white space or the end of
// the stream ends, with the value readNumberToken gives it, and passes it; false, and nothing passed,
// for any other token.
bool readPlainToken(NumberReader* reader, double* value);

// Parses the number at the start of text in any form strtod takes (textEnd points at a 0); returns where
// it ends, or NULL when text does not start with a number.
const char* readNumberText(const char* text, const char* textEnd, double* value);

// "%lg" after white space: one floating-point number in any form strtod takes, where it ends; what
// follows it is left for the next read.
bool readLooseNumber(NumberReader* reader, double* value);

#endif
