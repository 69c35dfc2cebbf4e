// Plain two-column tables: X and Y per line, separated by a comma, semicolon, tab or spaces, with '#'
// comments, blank lines and one optional header line before the first point.
#ifndef KELVORA_PLAIN_TABLE_H
#define KELVORA_PLAIN_TABLE_H

#include <stddef.h>

#include "app_state.h"

enum PlainTableStatus {
    PLAIN_TABLE_OK,
    PLAIN_TABLE_BAD_LINE,  // a line after the first point (or a second header) is not two numbers
    PLAIN_TABLE_TOO_MANY,  // more than POINT_CAPACITY points
};

struct PlainTableReport {
    PlainTableStatus status;
    int badLine;      // 1-based line number of the bad line
    bool hasHeader;   // the first non-comment line was taken as column names
};

// Reads the table in text[0 .. length) into table: pointCount and the first x[], y[]. On an error
// nothing of the table is changed.
PlainTableReport readPlainTable(const char* text, size_t length, PointTable* table);

// True when the text is better read as a plain table than as a points file: its first line that holds
// anything holds exactly two numbers, and the points-file reading (the first number the count) would
// not give that count of points with nothing left over.
bool looksLikePlainTable(const char* text, size_t length);

#endif
