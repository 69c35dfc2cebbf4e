// SPDX-License-Identifier: GPL-3.0-or-later
// Points file: the count on the first line, then one "X Y" line per point.
#ifndef KELVORA_POINTS_FILE_H
#define KELVORA_POINTS_FILE_H

#include <stdio.h>
#include <windows.h>

#include "app_state.h"
#include "number_reader.h"

enum PointsFileStatus {
    POINTS_FILE_OK,
    POINTS_FILE_SHORT,           // fewer points than the count: the complete ones were loaded
    POINTS_FILE_EXTRA_NUMBERS,   // a number follows the counted points (a file without its count line?):
                                 // the counted points were loaded, the rest was not
    POINTS_FILE_READ_ERROR,      // reading stopped on an input error: the complete points before it were loaded
    POINTS_FILE_NOT_A_NUMBER,    // a token among the counted points is not a number ("4x", a '#' comment):
                                 // the complete points before it were loaded
    POINTS_FILE_NOT_DECIMAL,     // (decimal-only reading) a hexadecimal number, NaN, an infinity or a value
                                 // beyond the double range: the complete points before it were loaded
    POINTS_FILE_CANNOT_OPEN,     // the file could not be opened or read from its start
    POINTS_FILE_NO_COUNT,        // the file does not start with a point count
    POINTS_FILE_BAD_COUNT,       // the count is not a whole number ("4.5", "1e1", "5abc")
    POINTS_FILE_NEGATIVE_COUNT,  // the count is below zero
    POINTS_FILE_COUNT_TOO_LARGE, // the count is above POINT_CAPACITY
    POINTS_FILE_NAME_TOO_LONG,   // the name leaves no room for the temporary file beside it
    POINTS_FILE_CANNOT_CREATE,   // the temporary file could not be created
    POINTS_FILE_WRITE_FAILED,    // writing or closing the temporary file failed
    POINTS_FILE_REPLACE_FAILED,  // the temporary file could not be renamed over the target
};

// What a read met besides its status: the count and the token that stopped it.
struct PointsFileReport {
    int declaredCount;               // the file's count, clamped to the range of int
    int line;                        // the line of the token below
    char token[TOKEN_TEXT_CAPACITY]; // the token a status names (BAD_COUNT, NOT_A_NUMBER, NOT_DECIMAL)
};

// True for the statuses after which the table holds points read from the file.
bool pointsFileLoaded(PointsFileStatus status);

// What happened, as a phrase in lower case without a final period ("the file name is too long"). The
// statuses that need the report's details or a count are told by describePointsFile.
const WCHAR* pointsFileStatusText(PointsFileStatus status);

// The one text for every status, shared by the program's boxes and kelvora-fit's messages: what the
// file holds or why it cannot be used, in lower case without the consequence ("line 3: \"4x\" is not a
// number", "the file's count is 5, but it holds only 2 complete points"). loadedCount is the table's count
// after the read. Returns the length written.
int describePointsFile(WCHAR* text, int capacity, PointsFileStatus status, const PointsFileReport* report,
                       int loadedCount);

// Reads a points file from the reader into table, as scanf's "%d" and "%lg" would, except that every
// token among the counted points must be one whole number: white space separates, the count is a whole
// number, and whatever follows the last point is not loaded (but a number there is reported:
// POINTS_FILE_EXTRA_NUMBERS). decimalOnly refuses what only strtod reads beyond decimal numbers
// (POINTS_FILE_NOT_DECIMAL).
// A failure before the first point (input error, no count, not whole, negative, above capacity) changes
// nothing. Otherwise pointCount becomes the number of complete points read and x[], y[] hold them;
// entries beyond keep their values. report may be NULL; currentIndex is never touched.
PointsFileStatus readPoints(NumberReader* reader, PointTable* table, PointsFileReport* report, bool decimalOnly);

// readPoints from an open stream, reading what the program reads.
PointsFileStatus readPointsStream(FILE* file, PointTable* table, PointsFileReport* report);

// Writes the count and the first pointCount points with the number-to-text rule. Returns
// POINTS_FILE_OK, or POINTS_FILE_WRITE_FAILED when the stream reports an error.
PointsFileStatus writePointsStream(FILE* file, const PointTable* table);

// Loads the file named path into table (see readPointsStream).
PointsFileStatus loadPointsFile(const WCHAR* path, PointTable* table, PointsFileReport* report);

// Writes content into the stream; false when writing failed (errno says why).
typedef bool (*FileWriter)(FILE* file, const void* content);

// Writes the file named path through write so that no failure harms what was there: a new temporary
// file is written beside the target and renamed over it only when complete, so any failure leaves an
// existing file as it was (and removes the temporary file). A symbolic link is followed: its final
// target gets the content and the link stays. A replaced file keeps its mode and, where permitted, its
// owner; a read-only file and anything that is not a regular file are never replaced. On failure errno
// tells why.
PointsFileStatus writeFileReplacing(const WCHAR* path, FileWriter write, const void* content);

// Saves table to the file named path through writeFileReplacing.
PointsFileStatus savePointsFile(const WCHAR* path, const PointTable* table);

#endif
