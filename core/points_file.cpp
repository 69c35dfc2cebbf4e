// Points file reading and writing. Reading follows scanf's "%d" and "%lg" rules but works on a buffer
// of the file with std::from_chars, about ten times faster than fscanf; the rare forms from_chars does
// not take (a leading '+', hexadecimal, out-of-range values) go through strtod, which is what "%lg" uses.
#include "points_file.h"

#include <charconv>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

#include "number_text.h"

#define READ_BUFFER_SIZE 65536
// A number is parsed only with this much of the file ahead of it (or the end of the file), so no number
// text is cut at the buffer's end; longer number texts are taken as malformed.
#define READ_LOOKAHEAD 4096
#define WRITE_BUFFER_SIZE 65536
// The temporary file of a save: ".kv" + 8 hexadecimal digits + ".tmp" beside the target, short so that
// a target name near the file system's 255-byte limit still saves, and hidden from the file list.
#define TEMP_NAME_LENGTH 15
#define TEMP_NAME_ATTEMPTS 100

struct Reader {
    FILE* file;
    char* data; // READ_BUFFER_SIZE + 1 characters, data[end] is always 0
    int start;
    int end;
    bool atEnd;
    bool failed;
};

static bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Tops the buffer up so that at least READ_LOOKAHEAD characters follow start, unless the file ends.
static void refill(Reader* reader)
{
    if (reader->atEnd || reader->end - reader->start >= READ_LOOKAHEAD) return;
    int kept = reader->end - reader->start;
    memmove(reader->data, reader->data + reader->start, kept);
    reader->start = 0;
    reader->end = kept;
    while (reader->end < READ_BUFFER_SIZE && !reader->atEnd) {
        size_t got = fread(reader->data + reader->end, 1, READ_BUFFER_SIZE - reader->end, reader->file);
        reader->end += (int)got;
        if (got == 0) {
            reader->atEnd = true;
            reader->failed = ferror(reader->file) != 0;
        }
    }
    reader->data[reader->end] = 0;
}

// Skips white space; false when the file ends first.
static bool skipSpace(Reader* reader)
{
    for (;;) {
        while (reader->start < reader->end && isSpace(reader->data[reader->start])) ++reader->start;
        refill(reader);
        if (reader->start < reader->end && !isSpace(reader->data[reader->start])) return true;
        if (reader->start >= reader->end) return false;
    }
}

// "%d": optional sign and decimal digits. Magnitudes beyond any count are clamped, so they still read
// as too large (or negative) instead of wrapping around.
static bool readCount(Reader* reader, long long* count)
{
    if (!skipSpace(reader)) return false;
    const char* p = reader->data + reader->start;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (*p < '0' || *p > '9') return false;
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < 1000000000000LL) value = value * 10 + (*p - '0');
        ++p;
    }
    *count = negative ? -value : value;
    reader->start = (int)(p - reader->data);
    return true;
}

// "%lg": one floating-point number in any form strtod takes.
static bool readNumber(Reader* reader, double* value)
{
    if (!skipSpace(reader)) return false;
    char* text = reader->data + reader->start;
    char* textEnd = reader->data + reader->end;
    const char* digits = text;
    if (*digits == '+') {
        ++digits;
        if (*digits == '+' || *digits == '-') return false;
    }
    const char* afterSign = *digits == '-' ? digits + 1 : digits;
    bool hexadecimal = afterSign[0] == '0' && (afterSign[1] == 'x' || afterSign[1] == 'X');
    if (!hexadecimal) {
        std::from_chars_result r = std::from_chars(digits, (const char*)textEnd, *value);
        if (r.ec == std::errc()) {
            if (r.ptr == textEnd && !reader->atEnd) return false;
            reader->start = (int)(r.ptr - reader->data);
            return true;
        }
        if (r.ec == std::errc::invalid_argument) return false;
    }
    char* numberEnd = text;
    int savedErrno = errno;
    double parsed = strtod(text, &numberEnd);
    errno = savedErrno;
    if (numberEnd == text || (numberEnd == textEnd && !reader->atEnd)) return false;
    *value = parsed;
    reader->start = (int)(numberEnd - reader->data);
    return true;
}

bool pointsFileLoaded(PointsFileStatus status)
{
    return status == POINTS_FILE_OK || status == POINTS_FILE_SHORT || status == POINTS_FILE_READ_ERROR;
}

const WCHAR* pointsFileStatusText(PointsFileStatus status)
{
    switch (status) {
    case POINTS_FILE_OK: return L"The points were loaded.";
    case POINTS_FILE_SHORT: return L"The file holds fewer points than its count; those it holds were loaded.";
    case POINTS_FILE_READ_ERROR: return L"Reading the file failed; the points before the error were loaded.";
    case POINTS_FILE_CANNOT_OPEN: return L"The file cannot be opened or read.";
    case POINTS_FILE_NO_COUNT: return L"The file does not start with the number of points.";
    case POINTS_FILE_NEGATIVE_COUNT: return L"The number of points in the file is negative.";
    case POINTS_FILE_COUNT_TOO_LARGE: return L"The file holds more than 1000000 points.";
    case POINTS_FILE_NAME_TOO_LONG: return L"The file name is too long.";
    case POINTS_FILE_CANNOT_CREATE: return L"The file cannot be created in this folder.";
    case POINTS_FILE_WRITE_FAILED: return L"Writing the file failed; an existing file was kept.";
    case POINTS_FILE_REPLACE_FAILED: return L"The file cannot be replaced; an existing file was kept.";
    }
    return L"";
}

PointsFileStatus readPointsStream(FILE* file, PointTable* table, int* declaredCount)
{
    char data[READ_BUFFER_SIZE + 1];
    data[0] = 0;
    Reader reader = {file, data, 0, 0, false, false};
    long long count = 0;
    // An input error before the count (a folder opened as a file, say) leaves nothing loaded: the file
    // could not be read at all.
    if (!readCount(&reader, &count)) return reader.failed ? POINTS_FILE_CANNOT_OPEN : POINTS_FILE_NO_COUNT;
    if (declaredCount != NULL) *declaredCount = count < -2147483647 ? -2147483647 : count > 2147483647 ? 2147483647 : (int)count;
    if (count < 0) return POINTS_FILE_NEGATIVE_COUNT;
    if (count > POINT_CAPACITY) return POINTS_FILE_COUNT_TOO_LARGE;
    int read = 0;
    while (read < count) {
        double x, y;
        if (!readNumber(&reader, &x) || !readNumber(&reader, &y)) break;
        table->x[read] = x;
        table->y[read] = y;
        ++read;
    }
    table->pointCount = read;
    if (read == count) return POINTS_FILE_OK;
    return reader.failed ? POINTS_FILE_READ_ERROR : POINTS_FILE_SHORT;
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

PointsFileStatus loadPointsFile(const WCHAR* path, PointTable* table, int* declaredCount)
{
    FILE* file = _wfopen(path, L"rt");
    if (file == NULL) return POINTS_FILE_CANNOT_OPEN;
    PointsFileStatus status = readPointsStream(file, table, declaredCount);
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

PointsFileStatus savePointsFile(const WCHAR* path, const PointTable* table)
{
    size_t length = path != NULL ? wcsnlen(path, PATH_CAPACITY) : 0;
    if (length == 0) return POINTS_FILE_CANNOT_CREATE;
    if (length >= PATH_CAPACITY) return POINTS_FILE_NAME_TOO_LONG;
    WCHAR target[PATH_CAPACITY];
    int targetExists = findSaveTarget(path, length, target);
    if (targetExists < 0) return POINTS_FILE_NAME_TOO_LONG;
    WCHAR tempPath[PATH_CAPACITY + TEMP_NAME_LENGTH + 1];
    FILE* file = createTempBeside(target, tempPath);
    if (file == NULL) return POINTS_FILE_CANNOT_CREATE;

    PointsFileStatus status = writePointsStream(file, table);
    if (fclose(file) != 0) status = POINTS_FILE_WRITE_FAILED;
    if (status == POINTS_FILE_OK) {
        // Replacing keeps the old file's mode and owner; both calls reach the disk before they return.
        BOOL moved = targetExists ? ReplaceFileW(target, tempPath, NULL, 0, NULL, NULL)
                                  : MoveFileExW(tempPath, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!moved) status = POINTS_FILE_REPLACE_FAILED;
    }
    if (status != POINTS_FILE_OK) DeleteFileW(tempPath);
    return status;
}
