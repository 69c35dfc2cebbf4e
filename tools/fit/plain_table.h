// SPDX-License-Identifier: GPL-3.0-or-later
// Plain tables: X and Y per line, separated by a comma, semicolon, tab or spaces, with '#' comments,
// blank lines, quoted fields and one optional header line before the first point; decimal commas when
// the whole table writes them.
#ifndef KELVORA_PLAIN_TABLE_H
#define KELVORA_PLAIN_TABLE_H

#include <stddef.h>

#include "app_state.h"
#include "number_reader.h"

enum PlainTableStatus {
    PLAIN_TABLE_OK,
    PLAIN_TABLE_NOT_A_NUMBER, // a field that must be a number is not (token): a word, an empty field
    PLAIN_TABLE_NOT_DECIMAL,  // a hexadecimal number, NaN, an infinity or a value beyond the double range
    PLAIN_TABLE_COLUMNS,      // a line with another count of columns than the table's X and Y need
    PLAIN_TABLE_TOO_MANY,     // more than POINT_CAPACITY points
    PLAIN_TABLE_READ_ERROR,   // the stream failed
};

// The columns X and Y are taken from, counted from 1. {0, 0}: a table of exactly two columns.
struct ColumnChoice {
    int x;
    int y;
    int sigma = 0; // the column of sigma of Y (0: none; with x 0, a table of exactly three columns)
    int sigmaX = 0; // the column of sigma of X (0: none; with x 0, a table of exactly four columns)
};

struct PlainTableReport {
    PlainTableStatus status;
    int badLine;     // 1-based line number of the line that stopped the reading
    int columns;     // PLAIN_TABLE_COLUMNS: the columns that line holds
    bool hasHeader;  // the first line that holds anything was taken as column names
    char token[TOKEN_TEXT_CAPACITY]; // the field that is not a number
};

// Reads the table from reader into table: pointCount and the first x[], y[]. On an error pointCount is
// unchanged (x[] and y[] may hold some of the points). Numbers are finite decimals of any length.
PlainTableReport readPlainTable(NumberReader* reader, ColumnChoice columns, PointTable* table,
                                double* sigma = nullptr, double* sigmaX = nullptr);

// True when the first block of a stream (complete: the whole stream) is better read as a plain table
// than as a points file: it writes decimal commas, or its first line that holds anything holds two
// fields of which one is a number or more fields that are all numbers, and the points-file reading (the
// first number the count) would not give that count of points with nothing left over. Of a longer
// stream, the first line decides.
bool looksLikePlainTable(const char* block, size_t length, bool complete);

// True when the lines of the block are fields separated by semicolons, tabs or spaces that are numbers
// with decimal commas ("1,5;2,5"), at least one comma among them and no decimal point.
bool showsDecimalCommas(const char* block, size_t length);

#endif
