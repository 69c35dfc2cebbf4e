// Points file: the count on the first line, then one "X Y" line per point.
#ifndef KELVORA_POINTS_FILE_H
#define KELVORA_POINTS_FILE_H

#include <stdio.h>
#include <windows.h>

#include "app_state.h"

enum PointsFileStatus {
    POINTS_FILE_OK,
    POINTS_FILE_SHORT,           // fewer points than the count: the complete ones were loaded
    POINTS_FILE_EXTRA_NUMBERS,   // a number follows the counted points (a file without its count line?):
                                 // the counted points were loaded, the rest was not
    POINTS_FILE_READ_ERROR,      // reading stopped on an input error: the complete points before it were loaded
    POINTS_FILE_CANNOT_OPEN,     // the file could not be opened or read from its start
    POINTS_FILE_NO_COUNT,        // the file does not start with a point count
    POINTS_FILE_NEGATIVE_COUNT,  // the count is below zero
    POINTS_FILE_COUNT_TOO_LARGE, // the count is above POINT_CAPACITY
    POINTS_FILE_NAME_TOO_LONG,   // the name leaves no room for the temporary file beside it
    POINTS_FILE_CANNOT_CREATE,   // the temporary file could not be created
    POINTS_FILE_WRITE_FAILED,    // writing or closing the temporary file failed
    POINTS_FILE_REPLACE_FAILED,  // the temporary file could not be renamed over the target
};

// True for the statuses after which the table holds points read from the file.
bool pointsFileLoaded(PointsFileStatus status);

// A short sentence for the user saying what happened ("The file holds fewer points than its count.").
const WCHAR* pointsFileStatusText(PointsFileStatus status);

// Reads a points file from an open stream into table, as scanf's "%d" and "%lg%lg" would: any white
// space separates, a number ends where its text ends, whatever follows the last point is not loaded
// (but a number there is reported: POINTS_FILE_EXTRA_NUMBERS).
// A failure before the first point (input error, no count, negative, above capacity) changes nothing.
// Otherwise pointCount becomes the number of complete points read and x[], y[] hold them; entries
// beyond keep their values. declaredCount receives the count of the file (may be NULL); currentIndex
// is never touched.
PointsFileStatus readPointsStream(FILE* file, PointTable* table, int* declaredCount);

// Writes the count and the first pointCount points with the number-to-text rule. Returns
// POINTS_FILE_OK, or POINTS_FILE_WRITE_FAILED when the stream reports an error.
PointsFileStatus writePointsStream(FILE* file, const PointTable* table);

// Loads the file named path into table (see readPointsStream).
PointsFileStatus loadPointsFile(const WCHAR* path, PointTable* table, int* declaredCount);

// Saves table to the file named path: writes a new temporary file beside it and renames that over path,
// so any failure leaves an existing file as it was (and removes the temporary file). A symbolic link is
// followed: its final target gets the points and the link stays. A replaced file keeps its mode and,
// where permitted, its owner; a read-only file is not replaced.
PointsFileStatus savePointsFile(const WCHAR* path, const PointTable* table);

#endif
