// SPDX-License-Identifier: GPL-3.0-or-later
// Points file reading and writing: the file's rules on top of the block-wise number reader, the texts
// of what a load met, and saving through a temporary file that replaces the old one only when complete.
#include "points_file.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

#include "number_text.h"
#include "read_ahead.h"

#define WRITE_BUFFER_SIZE 65536
// The temporary file of a save: ".kv" + 8 hexadecimal digits + ".tmp" beside the target, short so that
// a target name near the file system's 255-byte limit still saves, and hidden from the file list.
#define TEMP_NAME_LENGTH 15
#define TEMP_NAME_ATTEMPTS 100

bool pointsFileLoaded(PointsFileStatus status)
{
    return status == POINTS_FILE_OK || status == POINTS_FILE_SHORT || status == POINTS_FILE_EXTRA_NUMBERS ||
           status == POINTS_FILE_READ_ERROR || status == POINTS_FILE_NOT_A_NUMBER || status == POINTS_FILE_NOT_DECIMAL;
}

const WCHAR* pointsFileStatusText(PointsFileStatus status)
{
    switch (status) {
    case POINTS_FILE_OK: return L"the points were loaded";
    case POINTS_FILE_SHORT: return L"the file holds fewer points than its count";
    case POINTS_FILE_EXTRA_NUMBERS: return L"the file holds more numbers than its count";
    case POINTS_FILE_READ_ERROR: return L"reading the file failed";
    case POINTS_FILE_NOT_A_NUMBER: return L"the file holds text that is not a number";
    case POINTS_FILE_NOT_DECIMAL: return L"the file holds a number that is not a finite decimal number";
    case POINTS_FILE_CANNOT_OPEN: return L"the file cannot be opened or read";
    case POINTS_FILE_NO_COUNT: return L"the file does not start with the number of points";
    case POINTS_FILE_BAD_COUNT: return L"the number of points is not a whole number";
    case POINTS_FILE_NEGATIVE_COUNT: return L"the number of points in the file is negative";
    case POINTS_FILE_COUNT_TOO_LARGE: return L"the file holds more points than the table";
    case POINTS_FILE_NAME_TOO_LONG: return L"the file name is too long";
    case POINTS_FILE_CANNOT_CREATE: return L"the file cannot be created in this folder";
    case POINTS_FILE_WRITE_FAILED: return L"writing the file failed; an existing file was kept";
    case POINTS_FILE_REPLACE_FAILED: return L"the file cannot be replaced; an existing file was kept";
    }
    return L"";
}

static const WCHAR* pointWord(int count)
{
    return count == 1 ? L"point" : L"points";
}

int describePointsFile(WCHAR* text, int capacity, PointsFileStatus status, const PointsFileReport* report,
                       int loadedCount)
{
    static const WCHAR COUNT_LINE[] = L"were its columns written without the count line?";
    int declared = report->declaredCount;
    int written;
    switch (status) {
    case POINTS_FILE_SHORT:
        if (loadedCount == 0) {
            written = swprintf(text, capacity, L"the file's count is %d, but it holds no complete point", declared);
        } else {
            written = swprintf(text, capacity, L"the file's count is %d, but it holds only %d complete %ls",
                               declared, loadedCount, pointWord(loadedCount));
        }
        break;
    case POINTS_FILE_READ_ERROR:
        if (loadedCount == 0) {
            written = swprintf(text, capacity, L"reading the file failed before its first point");
        } else {
            written = swprintf(text, capacity, L"reading the file failed after %d complete %ls", loadedCount,
                               pointWord(loadedCount));
        }
        break;
    case POINTS_FILE_EXTRA_NUMBERS:
        if (declared == 0) {
            written = swprintf(text, capacity, L"the file's count is 0, but numbers follow it: %ls", COUNT_LINE);
        } else {
            written = swprintf(text, capacity, L"the file holds more numbers than its count of %d %ls: %ls",
                               declared, pointWord(declared), COUNT_LINE);
        }
        break;
    case POINTS_FILE_NOT_A_NUMBER:
        written = swprintf(text, capacity, L"line %d: \"%s\" is not a number", report->line, report->token);
        break;
    case POINTS_FILE_NOT_DECIMAL:
        written = swprintf(text, capacity, L"line %d: \"%s\" is not a finite decimal number", report->line,
                           report->token);
        break;
    case POINTS_FILE_BAD_COUNT:
        written = swprintf(text, capacity, L"line %d: the number of points \"%s\" is not a whole number",
                           report->line, report->token);
        break;
    case POINTS_FILE_COUNT_TOO_LARGE:
        written = swprintf(text, capacity, L"the file holds more than %d points", POINT_CAPACITY);
        break;
    default:
        written = swprintf(text, capacity, L"%ls", pointsFileStatusText(status));
        break;
    }
    return written < 0 ? 0 : written;
}

// Where a token of a points file ends: white space or the end of the file.
static bool endsPointsToken(int c)
{
    return c < 0 || isSpaceChar(c);
}

// One coordinate of a point; false with the status when it is missing or refused.
static bool readCoordinate(NumberReader* reader, bool decimalOnly, double* value, PointsFileReport* report,
                           PointsFileStatus* status)
{
    if (!skipWhiteSpace(reader)) {
        *status = reader->failed ? POINTS_FILE_READ_ERROR : POINTS_FILE_SHORT;
        return false;
    }
    report->line = reader->line;
    NumberToken token = readNumberToken(reader, endsPointsToken, decimalOnly, value, report->token);
    if (token == TOKEN_NUMBER) return true;
    *status = token == TOKEN_NOT_DECIMAL ? POINTS_FILE_NOT_DECIMAL : POINTS_FILE_NOT_A_NUMBER;
    return false;
}

// The points read so far, and the X of a point whose Y is still to come.
struct PointsRead {
    int points;
    bool pendingX;
    double x;
};

static void keepValue(PointTable* table, PointsRead* read, double value)
{
    if (!read->pendingX) {
        read->x = value;
        read->pendingX = true;
        return;
    }
    table->x[read->points] = read->x;
    table->y[read->points] = value;
    read->points++;
    read->pendingX = false;
}

// Takes what the thread read from checkpoint on, where the reader stands, when all of it lies among the
// counted points; the reader goes on after its last token. FALSE when it does not fit: the reader then
// reads on by itself.
static BOOL takeReadAhead(NumberReader* reader, const ReadAhead* ahead, const ReadCheckpoint* checkpoint,
                          long long count, PointTable* table, PointsRead* read, PointsFileReport* report)
{
    long long coordinates = 2LL * read->points + (read->pendingX ? 1 : 0);
    int taken = ahead->count - checkpoint->index;
    if (taken <= 0 || coordinates + taken > 2 * count || !passReadAhead(reader, ahead, checkpoint)) return FALSE;
    const double* values = ahead->values + checkpoint->index;
    int i = 0;
    if (read->pendingX) keepValue(table, read, values[i++]);
    int points = read->points;
    for (; i + 1 < taken; i += 2, ++points) {
        table->x[points] = values[i];
        table->y[points] = values[i + 1];
    }
    read->points = points;
    if (i < taken) keepValue(table, read, values[i]);
    report->line = reader->line;
    return TRUE;
}

// The counted points: runs of plain decimals in one go, every other token on its own (and all of them
// when the texts are kept for an echo). A large file's second half is read ahead meanwhile; the runs
// pause at the middle and at the checkpoint where the reader takes over what the thread read.
static PointsFileStatus readCountedPoints(NumberReader* reader, long long count, PointTable* table,
                                          PointsFileReport* report, bool decimalOnly)
{
    PointsFileStatus status = POINTS_FILE_OK;
    PointsRead read = {0, false, 0.0};
    // The table comes into memory ahead of the reading: its first half here, its second on the thread.
    int half = (int)(count / 2);
    SIZE_T firstBytes = (SIZE_T)half * sizeof(double), secondBytes = (SIZE_T)(count - half) * sizeof(double);
    WIN32_MEMORY_RANGE_ENTRY first[2] = {{table->x, firstBytes}, {table->y, firstBytes}};
    WIN32_MEMORY_RANGE_ENTRY second[2] = {{table->x + half, secondBytes}, {table->y + half, secondBytes}};
    ReadAhead* started = reader->keepCoordinate == NULL ? startReadAhead(reader, READ_AHEAD_NUMBERS, false, second) : NULL;
    ReadAheadUse use = {started, NULL};
    if (started != NULL) {
        reader->pauseAt = started->middle;
        PrefetchVirtualMemory(GetCurrentProcess(), 2, first, 0);
    }
    while (read.points < count) {
        if (use.ahead != NULL && skipWhiteSpace(reader)) {
            const ReadCheckpoint* checkpoint = reachCheckpoint(reader, &use);
            if (checkpoint != NULL && takeReadAhead(reader, started, checkpoint, count, table, &read, report)) continue;
        }
        if (!read.pendingX && reader->keepCoordinate == NULL) {
            int run = readPlainPoints(reader, table->x + read.points, table->y + read.points, (int)count - read.points);
            if (run > 0) {
                read.points += run;
                report->line = reader->line;
                continue;
            }
        }
        double value;
        if (!readCoordinate(reader, decimalOnly, &value, report, &status)) break;
        keepCoordinateText(reader, read.pendingX ? 1 : 0);
        keepValue(table, &read, value);
    }
    releaseReadAhead(started);
    reader->pauseAt = -1;
    table->pointCount = read.points;
    return read.points < count ? status : POINTS_FILE_OK;
}

PointsFileStatus readPoints(NumberReader* reader, PointTable* table, PointsFileReport* report, bool decimalOnly)
{
    PointsFileReport unused;
    if (report == NULL) report = &unused;
    report->declaredCount = 0;
    report->line = 0;
    report->token[0] = 0;
    long long count = 0;
    bool wholeToken = true;
    // An input error before the count (a folder opened as a file, say) leaves nothing loaded: the file
    // could not be read at all.
    bool counted = readCount(reader, POINT_CAPACITY, &count, &wholeToken, report->token);
    report->line = reader->line;
    if (!counted) return reader->failed ? POINTS_FILE_CANNOT_OPEN : POINTS_FILE_NO_COUNT;
    report->declaredCount = (int)count; // within the capacity, or one beyond it either way
    if (!wholeToken) return POINTS_FILE_BAD_COUNT;
    if (count < 0) return POINTS_FILE_NEGATIVE_COUNT;
    if (count > POINT_CAPACITY) return POINTS_FILE_COUNT_TOO_LARGE;
    PointsFileStatus status = readCountedPoints(reader, count, table, report, decimalOnly);
    if (status != POINTS_FILE_OK) return status;
    double extra;
    return readLooseNumber(reader, &extra) ? POINTS_FILE_EXTRA_NUMBERS : POINTS_FILE_OK;
}

PointsFileStatus readPointsStream(FILE* file, PointTable* table, PointsFileReport* report)
{
    NumberReader reader;
    startNumberReader(&reader, file);
    return readPoints(&reader, table, report, false);
}

PointsFileStatus writePointsStream(FILE* file, const PointTable* table)
{
    char buffer[WRITE_BUFFER_SIZE];
    int used = snprintf(buffer, sizeof(buffer), "%d\n", table->pointCount);
    bool ok = true;
    for (int i = 0; i < table->pointCount && ok; ++i) {
        if (WRITE_BUFFER_SIZE - used < 2 * NUMBER_TEXT_CAPACITY + 2) {
            ok = fwrite(buffer, 1, used, file) == (size_t)used;
            used = 0;
        }
        used += formatNumber(buffer + used, NUMBER_TEXT_CAPACITY, table->x[i]);
        buffer[used++] = ' ';
        used += formatNumber(buffer + used, NUMBER_TEXT_CAPACITY, table->y[i]);
        buffer[used++] = '\n';
    }
    if (ok && used > 0) ok = fwrite(buffer, 1, used, file) == (size_t)used;
    if (ok) ok = fflush(file) == 0;
    return ok && !ferror(file) ? POINTS_FILE_OK : POINTS_FILE_WRITE_FAILED;
}

PointsFileStatus loadPointsFile(const WCHAR* path, PointTable* table, PointsFileReport* report)
{
    FILE* file = _wfopen(path, L"rt");
    if (file == NULL) return POINTS_FILE_CANNOT_OPEN;
    PointsFileStatus status = readPointsStream(file, table, report);
    fclose(file);
    return status;
}

// The file a save replaces: the final target when path names a symbolic link, so the link stays and
// its target gets the points. 1 when a file exists there, 0 when path names nothing yet, -1 when the
// name (or the final one) is longer than the file system or PATH_CAPACITY allows.
static int findSaveTarget(const WCHAR* path, size_t length, WCHAR* target)
{
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        wmemcpy(target, path, length + 1);
        return errno == ENAMETOOLONG ? -1 : 0;
    }
    DWORD finalLength = GetFinalPathNameByHandleW(file, target, PATH_CAPACITY, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (finalLength == 0) wmemcpy(target, path, length + 1);
    return finalLength < PATH_CAPACITY ? 1 : -1;
}

// Creates a new temporary file in the target's folder. The name is made up and created exclusively, so
// nothing already there under that name (a planted link above all) is ever opened or followed.
static FILE* createTempBeside(const WCHAR* target, WCHAR* tempPath)
{
    const WCHAR* slash = wcsrchr(target, L'/');
    const WCHAR* backslash = wcsrchr(target, L'\\');
    if (backslash != NULL && (slash == NULL || backslash > slash)) slash = backslash;
    size_t folderLength = slash != NULL ? (size_t)(slash - target) + 1 : 0;
    wmemcpy(tempPath, target, folderLength);
    unsigned int seed = (unsigned int)time(NULL) ^ (unsigned int)clock() ^ (unsigned int)(size_t)tempPath;
    for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS; ++attempt) {
        seed = seed * 1664525u + 1013904223u;
        swprintf(tempPath + folderLength, TEMP_NAME_LENGTH + 1, L".kv%08x.tmp", seed);
        FILE* file = _wfopen(tempPath, L"wtx");
        if (file != NULL || errno != EEXIST) return file;
    }
    return NULL;
}

PointsFileStatus writeFileReplacing(const WCHAR* path, FileWriter write, const void* content)
{
    size_t length = path != NULL ? wcsnlen(path, PATH_CAPACITY) : 0;
    if (length == 0) {
        errno = ENOENT;
        return POINTS_FILE_CANNOT_CREATE;
    }
    if (length >= PATH_CAPACITY) {
        errno = ENAMETOOLONG;
        return POINTS_FILE_NAME_TOO_LONG;
    }
    WCHAR target[PATH_CAPACITY];
    int targetExists = findSaveTarget(path, length, target);
    if (targetExists < 0) {
        errno = ENAMETOOLONG;
        return POINTS_FILE_NAME_TOO_LONG;
    }
    WCHAR tempPath[PATH_CAPACITY + TEMP_NAME_LENGTH + 1];
    FILE* file = createTempBeside(target, tempPath);
    if (file == NULL) return POINTS_FILE_CANNOT_CREATE;

    PointsFileStatus status = write(file, content) ? POINTS_FILE_OK : POINTS_FILE_WRITE_FAILED;
    int error = errno;
    if (fclose(file) != 0 && status == POINTS_FILE_OK) {
        status = POINTS_FILE_WRITE_FAILED;
        error = errno;
    }
    if (status == POINTS_FILE_OK) {
        // Replacing keeps the old file's mode and owner; both calls reach the disk before they return. A
        // name that was free is taken only while nothing (not even a dangling link) has appeared there.
        BOOL moved = targetExists ? ReplaceFileW(target, tempPath, NULL, 0, NULL, NULL)
                                  : MoveFileExW(tempPath, target, MOVEFILE_WRITE_THROUGH);
        if (!moved) {
            status = POINTS_FILE_REPLACE_FAILED;
            error = errno;
        }
    }
    if (status != POINTS_FILE_OK) {
        DeleteFileW(tempPath);
        errno = error;
    }
    return status;
}

static bool writeTable(FILE* file, const void* table)
{
    return writePointsStream(file, (const PointTable*)table) == POINTS_FILE_OK;
}

PointsFileStatus savePointsFile(const WCHAR* path, const PointTable* table)
{
    return writeFileReplacing(path, writeTable, table);
}
