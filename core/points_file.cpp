// Points file reading and writing. Reading follows scanf's "%d" and "%lg" rules but works on a buffer
// of the file with std::from_chars, about ten times faster than fscanf; the rare forms from_chars does
// not take (a leading '+', hexadecimal, out-of-range values) go through strtod, which is what "%lg" uses.
// A number text that runs past the end of the buffer is read piece by piece and cut down to the digits
// that can still change the double, so a number reads the same wherever it stands and however long it is.
#include "points_file.h"

#include <charconv>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

#include "double_chars.h"
#include "number_text.h"

#define READ_BUFFER_SIZE 65536
// Number texts are parsed in the buffer only with this much of the file ahead of them (or the end of
// the file); a text that still reaches the buffer's end is read piece by piece.
#define READ_LOOKAHEAD 4096
// Significant digits kept of a decimal number read piece by piece: at most 768 decide the rounding to a
// double, and one more digit stands for all dropped ones that are not zero. Hexadecimal digits: 4 bits each.
#define DECIMAL_DIGITS_KEPT 800
#define HEX_DIGITS_KEPT 32
// Exponents beyond this give 0 or infinity whatever the digits; larger ones are clamped to it.
#define EXPONENT_CLAMP 1000000
// A written exponent stops growing here: far beyond the digits any file can hold before its point.
#define WRITTEN_EXPONENT_CAP 1000000000000000LL
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
    // "nan(" without its ")": the number was "nan", and the '(' after it, already passed, stops every
    // further read as it would stand in front of it.
    bool stopped;
};

// Space, tab, line feed, vertical tab, form feed, carriage return: what scanf skips.
static bool isSpace(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

static bool isHexDigit(int c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

static int lowerCase(int c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Tops the buffer up so that more than `wanted` characters follow start, unless the file ends first.
static void fillAhead(Reader* reader, int wanted)
{
    if (reader->atEnd || reader->end - reader->start > wanted) return;
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

// The character `ahead` places after start (ahead < READ_BUFFER_SIZE), or -1 past the end of the file.
static int peekAt(Reader* reader, int ahead)
{
    if (reader->end - reader->start <= ahead) fillAhead(reader, ahead);
    return reader->start + ahead < reader->end ? (unsigned char)reader->data[reader->start + ahead] : -1;
}

// Skips white space; false when the file ends first.
static bool skipSpace(Reader* reader)
{
    for (;;) {
        while (reader->start < reader->end && isSpace(reader->data[reader->start])) ++reader->start;
        fillAhead(reader, READ_LOOKAHEAD - 1);
        if (reader->start < reader->end && !isSpace(reader->data[reader->start])) return true;
        if (reader->start >= reader->end) return false;
    }
}

// "%d": optional sign and decimal digits, any number of them. Magnitudes beyond any count are clamped,
// so they still read as too large (or negative) instead of wrapping around.
static bool readCount(Reader* reader, long long* count)
{
    if (!skipSpace(reader)) return false;
    int c = peekAt(reader, 0);
    bool negative = c == '-';
    int signLength = c == '+' || c == '-' ? 1 : 0;
    if (!isDigit(peekAt(reader, signLength))) return false;
    reader->start += signLength;
    long long value = 0;
    while (isDigit(c = peekAt(reader, 0))) {
        if (value < 1000000000000LL) value = value * 10 + (c - '0');
        ++reader->start;
    }
    *count = negative ? -value : value;
    return true;
}

// Parses the number at the start of text as strtod would (textEnd points at a 0); returns where it
// ends, or NULL when text does not start with a number.
static const char* parseNumberText(const char* text, const char* textEnd, double* value)
{
    const char* digits = text;
    if (*digits == '+') {
        ++digits;
        if (*digits == '+' || *digits == '-') return NULL;
    }
    const char* afterSign = *digits == '-' ? digits + 1 : digits;
    bool hexadecimal = afterSign[0] == '0' && (afterSign[1] == 'x' || afterSign[1] == 'X');
    if (!hexadecimal) {
        std::from_chars_result r = readDoubleChars(digits, textEnd, value);
        if (r.ec == std::errc()) return r.ptr;
        if (r.ec == std::errc::invalid_argument) return NULL;
    }
    char* numberEnd = (char*)text;
    int savedErrno = errno;
    double parsed = strtod(text, &numberEnd);
    errno = savedErrno;
    if (numberEnd == text) return NULL;
    *value = parsed;
    return numberEnd;
}

// A number text reduced to what decides its value: its sign, at most `kept` significant digits (one
// more standing for any dropped digits that are not zero) and the exponent of the digit point.
struct ShortNumber {
    char text[DECIMAL_DIGITS_KEPT + 32];
    int length;
    int digitsKept;
    bool droppedNonZero;
};

static void keepDigit(ShortNumber* number, int c, int kept)
{
    if (number->digitsKept < kept) {
        number->text[number->length++] = (char)c;
        number->digitsKept++;
    } else if (c != '0') {
        number->droppedNonZero = true;
    }
}

// Reads the digits, point and exponent of a decimal (base 10) or hexadecimal (base 16, "0x" passed)
// number into number->text as "0.DIGITSeN" or "0.DIGITSpN". False when no digit came.
static bool readLongDigits(Reader* reader, ShortNumber* number, int base)
{
    bool (*isBaseDigit)(int) = base == 10 ? isDigit : isHexDigit;
    int kept = base == 10 ? DECIMAL_DIGITS_KEPT : HEX_DIGITS_KEPT;
    number->text[number->length++] = '0';
    number->text[number->length++] = '.';
    bool anyDigit = false;
    bool afterPoint = false;
    long long pointShift = 0; // digits before the point once the leading zeros are gone
    for (int c = peekAt(reader, 0);; c = peekAt(reader, 0)) {
        if (isBaseDigit(c)) {
            anyDigit = true;
            if (number->digitsKept == 0 && c == '0') {
                if (afterPoint) pointShift--;
            } else {
                if (!afterPoint) pointShift++;
                keepDigit(number, c, kept);
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else {
            break;
        }
        ++reader->start;
    }
    if (!anyDigit) return false;
    if (number->droppedNonZero) number->text[number->length++] = '1';
    if (number->digitsKept == 0) number->text[number->length++] = '0';

    // The exponent counts only when a digit follows its letter and optional sign.
    long long exponent = 0;
    int sign = peekAt(reader, 1);
    int signLength = sign == '+' || sign == '-' ? 1 : 0;
    if (lowerCase(peekAt(reader, 0)) == (base == 10 ? 'e' : 'p') && isDigit(peekAt(reader, 1 + signLength))) {
        reader->start += 1 + signLength;
        for (int c = peekAt(reader, 0); isDigit(c); c = peekAt(reader, 0)) {
            if (exponent < WRITTEN_EXPONENT_CAP) exponent = exponent * 10 + (c - '0');
            ++reader->start;
        }
        if (sign == '-') exponent = -exponent;
    }
    exponent += pointShift * (base == 10 ? 1 : 4);
    if (exponent > EXPONENT_CLAMP) exponent = EXPONENT_CLAMP;
    if (exponent < -EXPONENT_CLAMP) exponent = -EXPONENT_CLAMP;
    number->length += snprintf(number->text + number->length, 16, base == 10 ? "e%lld" : "p%lld", exponent);
    return true;
}

// Reads "inf", "infinity" or "nan" with an optional "(chars)", in any case, after the sign.
static bool readLongWord(Reader* reader, ShortNumber* number)
{
    const char* word = lowerCase(peekAt(reader, 0)) == 'i' ? "infinity" : "nan";
    int matched = 0;
    while (word[matched] != 0 && lowerCase(peekAt(reader, matched)) == word[matched]) ++matched;
    if (matched < 3) return false;
    reader->start += matched == 8 ? 8 : 3;
    memcpy(number->text + number->length, word, 3);
    number->length += 3;
    if (word[0] == 'n' && peekAt(reader, 0) == '(') {
        ++reader->start;
        int c = peekAt(reader, 0);
        while (isDigit(c) || (lowerCase(c) >= 'a' && lowerCase(c) <= 'z') || c == '_') {
            ++reader->start;
            c = peekAt(reader, 0);
        }
        if (c == ')') {
            ++reader->start;
        } else {
            reader->stopped = true;
        }
    }
    return true;
}

// "%lg" for a number text too long for the buffer: read piece by piece, shortened, then parsed.
static bool readLongNumber(Reader* reader, double* value)
{
    ShortNumber number = {};
    int c = peekAt(reader, 0);
    if (c == '+' || c == '-') {
        if (c == '-') number.text[number.length++] = '-';
        ++reader->start;
        c = peekAt(reader, 0);
    }
    bool read;
    if (c == '0' && lowerCase(peekAt(reader, 1)) == 'x' &&
        (isHexDigit(peekAt(reader, 2)) || (peekAt(reader, 2) == '.' && isHexDigit(peekAt(reader, 3))))) {
        reader->start += 2;
        memcpy(number.text + number.length, "0x", 2);
        number.length += 2;
        read = readLongDigits(reader, &number, 16);
    } else if (lowerCase(c) == 'i' || lowerCase(c) == 'n') {
        read = readLongWord(reader, &number);
    } else {
        read = readLongDigits(reader, &number, 10);
    }
    if (!read) return false;
    number.text[number.length] = 0;
    int savedErrno = errno;
    *value = strtod(number.text, NULL);
    errno = savedErrno;
    return true;
}

// "%lg": one floating-point number in any form strtod takes.
static bool readNumber(Reader* reader, double* value)
{
    if (reader->stopped || !skipSpace(reader)) return false;
    const char* text = reader->data + reader->start;
    const char* textEnd = reader->data + reader->end;
    const char* numberEnd = parseNumberText(text, textEnd, value);
    // The parse saw the whole text when white space or the end of the file follows it in the buffer.
    const char* scan = numberEnd != NULL ? numberEnd : text;
    while (scan < textEnd && !isSpace(*scan)) ++scan;
    if (scan == textEnd && !reader->atEnd) return readLongNumber(reader, value);
    if (numberEnd == NULL) return false;
    reader->start = (int)(numberEnd - reader->data);
    return true;
}

bool pointsFileLoaded(PointsFileStatus status)
{
    return status == POINTS_FILE_OK || status == POINTS_FILE_SHORT || status == POINTS_FILE_EXTRA_NUMBERS ||
           status == POINTS_FILE_READ_ERROR;
}

const WCHAR* pointsFileStatusText(PointsFileStatus status)
{
    switch (status) {
    case POINTS_FILE_OK: return L"The points were loaded.";
    case POINTS_FILE_SHORT: return L"The file holds fewer points than its count; those it holds were loaded.";
    case POINTS_FILE_EXTRA_NUMBERS:
        return L"The file holds more numbers than its count; the points counted were loaded.";
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
    Reader reader = {file, data, 0, 0, false, false, false};
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
    if (read < count) return reader.failed ? POINTS_FILE_READ_ERROR : POINTS_FILE_SHORT;
    double extra;
    return readNumber(&reader, &extra) ? POINTS_FILE_EXTRA_NUMBERS : POINTS_FILE_OK;
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
