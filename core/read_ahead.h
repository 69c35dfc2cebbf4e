// SPDX-License-Identifier: GPL-3.0-or-later
// The second half of a large points file read ahead on another processor while the reader reads the
// first: the plain decimals from the first line start after the middle on, kept in order. The reader
// takes them where it gets to one of the stretch's checkpoints, if they fit the count, and reads every
// other token itself, so values, messages and line numbers are those of reading alone. A reader that
// gets there first does not wait: it reads on, and takes the rest from the next checkpoint once the
// thread is done, so a busy machine never makes reading slower than reading alone.
#ifndef KELVORA_READ_AHEAD_H
#define KELVORA_READ_AHEAD_H

#include "number_reader.h"

// Files with at least this much after the reading position are read in two halves.
#define READ_AHEAD_MINIMUM (1 << 20)
// Values read ahead at most: the second half of a file of the table's capacity, with room to spare.
#define READ_AHEAD_CAPACITY (1 << 20)
// Values between two checkpoints, where the reader may take over the rest.
#define READ_AHEAD_STEP 8192
#define READ_AHEAD_CHECKPOINTS (READ_AHEAD_CAPACITY / READ_AHEAD_STEP + 1)

// What the stretch holds: the coordinates of a points file one after the other, or the lines of a
// plain table of two columns (X and Y of row k at values[k] and values[READ_AHEAD_ROW_CAPACITY + k]).
enum ReadAheadKind {
    READ_AHEAD_NUMBERS,
    READ_AHEAD_ROWS,
};
#define READ_AHEAD_ROW_CAPACITY (READ_AHEAD_CAPACITY / 2)

// A token of the stretch where the reader may take the values from `index` on: its offset and line.
struct ReadCheckpoint {
    long long offset;
    int line;
    int index;
};

// What the thread read: the values of the tokens from the first checkpoint on, up to the first token
// that is no plain decimal, the end of the file or the capacity.
struct ReadAhead {
    NumberReader reader;
    HANDLE thread;
    volatile LONG stopped; // set when the reader no longer wants what the thread reads
    ReadAheadKind kind;
    bool commaSeparates;  // (rows) a comma separates X from Y, as a semicolon does
    DWORD_PTR processors; // the process's own: the thread starts on another than the reader's, then may use all
    long long middle;     // the stretch starts at the first line start after this offset
    long long fileSize;
    // Memory the reader fills once it takes over (the table's second half), brought in by the thread
    // before it starts reading.
    WIN32_MEMORY_RANGE_ENTRY later[2];
    long long end;        // the offset just after its last token
    int lastLine;         // the line of its last token
    int count;            // of values, or of rows
    double* values;
    ReadCheckpoint checkpoints[READ_AHEAD_CHECKPOINTS];
    int checkpointCount;
};

// Starts reading ahead when reader's stream is a regular file with at least READ_AHEAD_MINIMUM bytes
// after the reading position and a second processor and thread can be had; NULL otherwise (always in
// the page). later (NULL: none) is memory the reader fills once it takes over.
ReadAhead* startReadAhead(NumberReader* reader, ReadAheadKind kind, bool commaSeparates,
                          const WIN32_MEMORY_RANGE_ENTRY later[2]);

// The lines a table holds from the reading position to the end of its file, judging by those of the
// block at hand; 0 for a stream that is no regular file or a block without a line feed.
long long estimatedRows(NumberReader* reader);

// Where reading ahead stands for a reader: the thread's work, and the checkpoint the reader heads for
// once the thread is done.
struct ReadAheadUse {
    ReadAhead* ahead; // NULL once the reader reads on by itself for good
    const ReadCheckpoint* target;
};

// A step of the reader at its reading position (a token, or a line start for rows). Past the middle,
// once the thread is done, the reader heads for the next checkpoint (its runs pause there). Returns that
// checkpoint when the reader stands at it, and NULL otherwise; from a checkpoint reached or passed on,
// the reader reads by itself (use->ahead NULL).
const ReadCheckpoint* reachCheckpoint(NumberReader* reader, ReadAheadUse* use);

// Moves the reader past the last token the thread read, from the checkpoint it stands at, counting the
// lines between; FALSE when the stream cannot move there.
bool passReadAhead(NumberReader* reader, const ReadAhead* ahead, const ReadCheckpoint* checkpoint);

// Stops the thread where it is, waits for it and frees the read ahead for the next file.
void releaseReadAhead(ReadAhead* ahead);

#endif
