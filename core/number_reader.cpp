// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers read from a stream in fixed blocks. Reading follows scanf's "%d" and "%lg" rules but works on
// the block with std::from_chars, about ten times faster than fscanf; the rare forms from_chars does not
// take (a leading '+', hexadecimal, out-of-range values) go through strtod, which is what "%lg" uses.
// A number text that runs past the end of the block is read piece by piece and cut down to the digits
// that can still change the double, so a number reads the same wherever it stands and however long it is.
#include "number_reader.h"

#include "double_chars.h"

#include <charconv>
#include <errno.h>
#include <fast_float/fast_float.h>
#include <float.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// Number texts are parsed in the block only with this much of the stream ahead of them (or the end of
// the stream); a text that still reaches the block's end is read piece by piece.
#define READ_LOOKAHEAD 4096
// Significant digits kept of a decimal number read piece by piece: at most 768 decide the rounding to a
// double, and one more digit stands for all dropped ones that are not zero. Hexadecimal digits: 4 bits each.
#define DECIMAL_DIGITS_KEPT 800
#define HEX_DIGITS_KEPT 32
// Exponents beyond this give 0 or infinity whatever the digits; larger ones are clamped to it.
#define EXPONENT_CLAMP 1000000
// A written exponent stops growing here: far beyond the digits any file can hold before its point.
#define WRITTEN_EXPONENT_CAP 1000000000000000LL

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

// Trades ',' and '.' in data[from .. end) for a reader of decimal commas.
static void tradeCommasAndPoints(NumberReader* reader, int from)
{
    for (int i = from; i < reader->end; ++i) {
        if (reader->data[i] == ',') {
            reader->data[i] = '.';
        } else if (reader->data[i] == '.') {
            reader->data[i] = ',';
        }
    }
}

// Moves what is left of the block to its start and reads the stream into the rest.
// Reads up to `wanted` bytes into the block at data[end]; 0 at the end of the stream or on an error,
// which *failed tells.
static size_t readMore(NumberReader* reader, size_t wanted, bool* failed)
{
    if (reader->file != NULL) {
        size_t got = fread(reader->data + reader->end, 1, wanted, reader->file);
        *failed = got == 0 && ferror(reader->file) != 0;
        return got;
    }
    OVERLAPPED at = {};
    at.Offset = (DWORD)((unsigned long long)reader->offset & 0xFFFFFFFFu);
    at.OffsetHigh = (DWORD)((unsigned long long)reader->offset >> 32);
    DWORD got = 0;
    BOOL read = ReadFile(reader->handle, reader->data + reader->end, (DWORD)wanted, &got, &at);
    *failed = !read && GetLastError() != ERROR_HANDLE_EOF;
    reader->offset += got;
    return got;
}

static void refill(NumberReader* reader)
{
    int kept = reader->end - reader->start;
    reader->blockOffset += reader->start;
    memmove(reader->data, reader->data + reader->start, kept);
    reader->start = 0;
    reader->end = kept;
    while (reader->end < READ_BLOCK_SIZE && !reader->atEnd) {
        bool failed = false;
        size_t got = readMore(reader, (size_t)(READ_BLOCK_SIZE - reader->end), &failed);
        reader->end += (int)got;
        if (got == 0) {
            reader->atEnd = true;
            reader->failed = failed;
        }
    }
    if (reader->commaIsPoint) tradeCommasAndPoints(reader, kept);
    memset(reader->data + reader->end, 0, 8);
}

// Tops the block up so that more than `wanted` characters follow start, unless the stream ends first.
static inline void fillAhead(NumberReader* reader, int wanted)
{
    if (!reader->atEnd && reader->end - reader->start <= wanted) refill(reader);
}

// The character `ahead` places after start (ahead < READ_BLOCK_SIZE), or -1 past the end of the stream.
static int peekAt(NumberReader* reader, int ahead)
{
    if (reader->end - reader->start <= ahead) fillAhead(reader, ahead);
    return reader->start + ahead < reader->end ? (unsigned char)reader->data[reader->start + ahead] : -1;
}

bool isSpaceChar(int c)
{
    return isSpace(c);
}

void startNumberReader(NumberReader* reader, FILE* file)
{
    reader->file = file;
    memset(reader->data, 0, 8);
    reader->handle = INVALID_HANDLE_VALUE;
    reader->offset = 0;
    reader->blockOffset = 0;
    reader->offsetKnown = false;
    reader->pauseAt = -1;
    reader->data[0] = 0;
    reader->start = 0;
    reader->end = 0;
    reader->atEnd = false;
    reader->failed = false;
    reader->stopped = false;
    reader->commaIsPoint = false;
    reader->line = 1;
    reader->tokenStart = 0;
    reader->tokenLength = -1;
    reader->keepCoordinate = NULL;
    reader->keepContext = NULL;
}

void startNumberReaderAt(NumberReader* reader, HANDLE file, long long offset)
{
    startNumberReader(reader, NULL);
    reader->handle = file;
    reader->offset = offset;
    reader->blockOffset = offset;
    reader->offsetKnown = true;
}

long long readerOffset(NumberReader* reader)
{
    if (!reader->offsetKnown) {
        long long streamAt = reader->file != NULL ? (long long)ftell(reader->file) : -1;
        if (streamAt < 0) return -1;
        reader->blockOffset = streamAt - reader->end;
        reader->offsetKnown = true;
    }
    return reader->blockOffset + reader->start;
}

bool seekReader(NumberReader* reader, long long offset, int line)
{
    if (offset < 0 || (reader->file != NULL && fseek(reader->file, (long)offset, SEEK_SET) != 0)) return false;
    reader->offset = offset;
    reader->blockOffset = offset;
    reader->offsetKnown = true;
    reader->start = 0;
    reader->end = 0;
    memset(reader->data, 0, 8);
    reader->atEnd = false;
    reader->line = line;
    return true;
}

const char* firstBlock(NumberReader* reader, int* length, bool* complete)
{
    fillAhead(reader, READ_BLOCK_SIZE - 1);
    *length = reader->end - reader->start;
    *complete = reader->atEnd;
    return reader->data + reader->start;
}

void readDecimalCommas(NumberReader* reader)
{
    if (reader->commaIsPoint) return;
    reader->commaIsPoint = true;
    tradeCommasAndPoints(reader, reader->start);
}

int peekCharAfterFill(NumberReader* reader, int ahead)
{
    return peekAt(reader, ahead);
}

bool skipWhiteSpace(NumberReader* reader)
{
    for (;;) {
        while (reader->start < reader->end && isSpace(reader->data[reader->start])) {
            if (reader->data[reader->start] == '\n') ++reader->line;
            ++reader->start;
        }
        fillAhead(reader, READ_LOOKAHEAD - 1);
        if (reader->start < reader->end && !isSpace(reader->data[reader->start])) return true;
        if (reader->start >= reader->end) return false;
    }
}

// Copies the token text [from, to) for a message: characters that would not show are '?', a ',' and '.'
// traded for decimal commas are traded back, and a text cut short (or `more` to come) ends in "...".
static void copyTokenText(const NumberReader* reader, const char* from, const char* to, bool more, char* text)
{
    if (text == NULL) return;
    int length = 0;
    for (const char* p = from; p < to && length < TOKEN_TEXT_CAPACITY - 4; ++p) {
        int c = (unsigned char)*p;
        if (reader->commaIsPoint && (c == ',' || c == '.')) c = c == ',' ? '.' : ',';
        text[length++] = c > ' ' && c < 127 ? (char)c : '?';
    }
    if (more || from + length < to) {
        memcpy(text + length, "...", 3);
        length += 3;
    }
    text[length] = 0;
}

bool readCount(NumberReader* reader, long long limit, long long* count, bool* wholeToken, char* text)
{
    if (!skipWhiteSpace(reader)) return false;
    const char* token = reader->data + reader->start;
    const char* tokenEnd = token;
    const char* blockEnd = reader->data + reader->end;
    while (tokenEnd < blockEnd && !isSpace(*tokenEnd)) ++tokenEnd;
    copyTokenText(reader, token, tokenEnd, tokenEnd == blockEnd && !reader->atEnd, text);
    int c = peekAt(reader, 0);
    bool negative = c == '-';
    int signLength = c == '+' || c == '-' ? 1 : 0;
    if (!isDigit(peekAt(reader, signLength))) return false;
    reader->start += signLength;
    long long value = 0;
    *wholeToken = true;
    while (isDigit(c = peekAt(reader, 0))) {
        value = value * 10 + (c - '0');
        if (value > limit) {
            value = limit + 1;
            break;
        }
        ++reader->start;
    }
    if (value <= limit) *wholeToken = c < 0 || isSpace(c);
    *count = negative ? -value : value;
    return true;
}

static const uint64_t POWERS_OF_TEN[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// Passes the decimal digits at p (before end), adding them to *mantissa; returns where they end. Eight
// at a time while eight are there; in the reader's block (padded: at least 8 bytes readable from any
// position up to end) the last fewer than eight also at once, with no branch per digit.
template <bool padded>
static inline const char* passDigits(const char* p, const char* end, uint64_t* mantissa)
{
    uint64_t w = *mantissa;
    if (padded) {
        for (;;) {
            uint64_t word;
            memcpy(&word, p, 8);
            // A byte's high bit is set in `other` where it is no digit; borrows and carries run only
            // towards later bytes, so the first one flagged is the first non-digit.
            uint64_t less = word - 0x3030303030303030ULL;
            uint64_t other = (less | (less + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
            if (other == 0) {
                w = w * 100000000 + fast_float::parse_eight_digits_unrolled(word);
                p += 8;
                continue;
            }
            int digits = __builtin_ctzll(other) / 8;
            if (digits > 0) {
                // The digits to the top bytes, zeros before them: eight digits of the same value.
                uint64_t shifted = word << (64 - 8 * digits) | 0x3030303030303030ULL >> (8 * digits);
                w = w * POWERS_OF_TEN[digits] + fast_float::parse_eight_digits_unrolled(shifted);
                p += digits;
            }
            *mantissa = w;
            return p;
        }
    }
    while (end - p >= 8 && fast_float::is_made_of_eight_digits_fast(p)) {
        w = w * 100000000 + fast_float::parse_eight_digits_unrolled(p);
        p += 8;
    }
    while (p < end && isDigit((unsigned char)*p)) {
        w = w * 10 + (uint64_t)(*p - '0');
        ++p;
    }
    *mantissa = w;
    return p;
}

// The plain decimals nearly every file is made of, converted in the one pass that finds their end: an
// optional '-', digits with an optional point, an optional exponent with its digits. At most 19 digits
// make an exact 64-bit mantissa; the double is then Clinger's exact quotient or product when the
// mantissa and the power of ten are both exact doubles, otherwise fast_float's Eisel-Lemire step, both
// rounded as strtod rounds. NULL for anything else (more digits, an 'e' without digits, an 'x' that
// could make "0" hexadecimal, a value beyond the normal doubles, a rounding the step cannot decide):
// the full parse decides. Where the number ends, the caller judges what follows, as after from_chars.
template <bool padded>
static inline const char* readPlainDecimal(const char* text, const char* textEnd, double* value)
{
    static const double EXACT_POWERS[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = text;
    bool negative = *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    const char* digits = p;
    p = passDigits<padded>(p, textEnd, &mantissa);
    bool anyDigit = p > digits;
    // Significant digits only: the zeros before the first other digit add nothing to the mantissa
    // ("0.000468" has three).
    long long digitCount = mantissa != 0 ? p - digits : 0;
    long long exponent = 0;
    if (*p == '.') {
        const char* fraction = ++p;
        if (mantissa == 0) {
            while (*p == '0') ++p;
        }
        const char* significant = p;
        p = passDigits<padded>(p, textEnd, &mantissa);
        anyDigit = anyDigit || p > fraction;
        exponent = -(p - fraction);
        digitCount += p - significant;
    }
    if (!anyDigit || digitCount > 19) return NULL;
    if ((*p | 0x20) == 'e') {
        const char* sign = p + 1;
        bool negativeExponent = *sign == '-';
        const char* first = *sign == '-' || *sign == '+' ? sign + 1 : sign;
        const char* q = first;
        long long written = 0;
        while (q < textEnd && isDigit((unsigned char)*q) && q - first < 6) written = written * 10 + (*q++ - '0');
        if (q == first || q - first >= 6) return NULL;
        exponent += negativeExponent ? -written : written;
        p = q;
    }
    if (*p == 'x' || *p == 'X') return NULL;
    double result;
    if (mantissa <= (1ULL << 53) && exponent >= -22 && exponent <= 22) {
        result = (double)mantissa;
        result = exponent < 0 ? result / EXACT_POWERS[-exponent] : result * EXACT_POWERS[exponent];
    } else {
        fast_float::adjusted_mantissa rounded =
            fast_float::compute_float<fast_float::binary_format<double>>(exponent, mantissa);
        if (rounded.power2 < 0) return NULL;
        fast_float::to_float(false, rounded, result);
        if (!(result >= DBL_MIN && result <= DBL_MAX)) return NULL;
    }
    *value = negative ? -result : result;
    return p;
}

// Parses the number at the start of text as strtod would (textEnd points at a 0); returns where it
// ends, or NULL when text does not start with a number.
template <bool padded>
static const char* parseNumberText(const char* text, const char* textEnd, double* value)
{
    const char* plainEnd = readPlainDecimal<padded>(text, textEnd, value);
    if (plainEnd != NULL) return plainEnd;
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

const char* readNumberText(const char* text, const char* textEnd, double* value)
{
    return parseNumberText<false>(text, textEnd, value);
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
static bool readLongDigits(NumberReader* reader, ShortNumber* number, int base)
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
static bool readLongWord(NumberReader* reader, ShortNumber* number)
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
static bool readLongNumber(NumberReader* reader, double* value)
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

// Tokens are read here only where readNumberToken would read them in the same text: with at least
// READ_LOOKAHEAD characters of the block from their start on, or the whole rest of the stream, so that
// the plain decimal found is the one readNumberToken finds first.
static bool tokenInBlock(const NumberReader* reader, const char* token)
{
    const char* end = reader->data + reader->end;
    return token < end && (reader->atEnd || end - token >= READ_LOOKAHEAD);
}

// Where readPlainPoints stops in the block: before the pause offset, when the block reaches it.
static const char* pauseInBlock(const NumberReader* reader)
{
    const char* end = reader->data + reader->end;
    if (reader->pauseAt < 0 || !reader->offsetKnown) return end;
    long long ahead = reader->pauseAt - reader->blockOffset;
    return ahead < 0 ? reader->data : ahead < reader->end ? reader->data + ahead : end;
}

// Skips white space within the block, counting lines, and reads the plain decimal there when a space or
// line feed ends it and it starts before `pause`; NULL, with nothing to rely on in *p and *line, otherwise.
static inline const char* readPlainInBlock(const NumberReader* reader, const char* p, const char* pause, int* line,
                                           double* value)
{
    const char* end = reader->data + reader->end;
    while (p < end && isSpace(*p)) {
        if (*p == '\n') ++*line;
        ++p;
    }
    if (p >= pause || !tokenInBlock(reader, p)) return NULL;
    const char* numberEnd = readPlainDecimal<true>(p, end, value);
    if (numberEnd == NULL || (*numberEnd != ' ' && *numberEnd != '\n')) return NULL;
    return numberEnd;
}

// Runs of `perStep` plain decimals (1 or 2) into first[k] and second[k]: the reading position and line
// move only past whole steps.
template <int perStep>
static int readPlainRun(NumberReader* reader, double* first, double* second, int wanted)
{
    const char* p = reader->data + reader->start;
    const char* pause = pauseInBlock(reader);
    int line = reader->line;
    int read = 0;
    while (read < wanted) {
        int stepLine = line;
        double firstValue, secondValue = 0.0;
        const char* stepEnd = readPlainInBlock(reader, p, pause, &stepLine, &firstValue);
        if (perStep == 2 && stepEnd != NULL) stepEnd = readPlainInBlock(reader, stepEnd, pause, &stepLine, &secondValue);
        if (stepEnd == NULL) break;
        first[read] = firstValue;
        if (perStep == 2) second[read] = secondValue;
        ++read;
        p = stepEnd;
        line = stepLine;
    }
    reader->start = (int)(p - reader->data);
    reader->line = line;
    reader->tokenLength = -1;
    return read;
}

int readPlainPoints(NumberReader* reader, double* x, double* y, int wanted)
{
    return readPlainRun<2>(reader, x, y, wanted);
}

int readPlainValues(NumberReader* reader, double* values, int wanted)
{
    return readPlainRun<1>(reader, values, NULL, wanted);
}

// Blanks within a line: space, tab, carriage return, vertical tab and form feed.
static inline bool isLineBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

static inline const char* passLineBlanks(const char* p)
{
    while (isLineBlank((unsigned char)*p)) ++p;
    return p;
}

// One line of two plain decimals from its start at p: X, blanks with at most one comma (when
// commaSeparates) or semicolon among them, Y, blanks, a line feed. Where the line ends, or NULL.
static inline const char* readPlainPairLine(const char* p, const char* end, bool commaSeparates, double* x, double* y)
{
    const char* q = readPlainDecimal<true>(p, end, x);
    if (q == NULL) return NULL;
    const char* separator = q;
    q = passLineBlanks(q);
    if (*q == ';' || (*q == ',' && commaSeparates)) q = passLineBlanks(q + 1);
    if (q == separator) return NULL;
    q = readPlainDecimal<true>(q, end, y);
    if (q == NULL) return NULL;
    q = passLineBlanks(q);
    return *q == '\n' ? q + 1 : NULL; // data[end] is 0: a line cut by the block's end is no such line
}

int readPlainPairLines(NumberReader* reader, double* x, double* y, int wanted, bool commaSeparates)
{
    fillAhead(reader, READ_LOOKAHEAD - 1);
    const char* p = reader->data + reader->start;
    const char* end = reader->data + reader->end;
    const char* pause = pauseInBlock(reader);
    int read = 0;
    while (read < wanted && p < pause && tokenInBlock(reader, p)) {
        double xValue, yValue;
        const char* next = readPlainPairLine(p, end, commaSeparates, &xValue, &yValue);
        if (next == NULL) break;
        x[read] = xValue;
        y[read] = yValue;
        ++read;
        p = next;
    }
    reader->start = (int)(p - reader->data);
    reader->line += read;
    reader->tokenLength = -1;
    return read;
}

bool passEmptyLine(NumberReader* reader)
{
    int ahead = 0;
    int c = peekChar(reader, 0);
    while (isLineBlank(c) && ahead < READ_LOOKAHEAD - 1) c = peekChar(reader, ++ahead);
    if (c != '#' && c != '\n') return false;
    while (c >= 0 && c != '\n' && ahead < READ_LOOKAHEAD - 1) c = peekChar(reader, ++ahead);
    if (c != '\n') return false; // the last line, or a long one: the reader itself reads it
    for (int i = 0; i <= ahead; ++i) passChar(reader);
    return true;
}

bool readPlainToken(NumberReader* reader, double* value)
{
    fillAhead(reader, READ_LOOKAHEAD - 1);
    const char* token = reader->data + reader->start;
    const char* textEnd = reader->data + reader->end;
    const char* numberEnd = token < textEnd ? readPlainDecimal<true>(token, textEnd, value) : NULL;
    bool ended = numberEnd != NULL && (numberEnd < textEnd ? isSpace((unsigned char)*numberEnd) : reader->atEnd);
    if (!ended) return false;
    reader->tokenLength = -1;
    reader->start = (int)(numberEnd - reader->data);
    return true;
}

bool readLooseNumber(NumberReader* reader, double* value)
{
    if (reader->stopped || !skipWhiteSpace(reader)) return false;
    const char* text = reader->data + reader->start;
    const char* textEnd = reader->data + reader->end;
    const char* numberEnd = parseNumberText<true>(text, textEnd, value);
    // The parse saw the whole text when white space or the end of the stream follows it in the block.
    const char* scan = numberEnd != NULL ? numberEnd : text;
    while (scan < textEnd && !isSpace(*scan)) ++scan;
    if (scan == textEnd && !reader->atEnd) return readLongNumber(reader, value);
    if (numberEnd == NULL) return false;
    reader->start = (int)(numberEnd - reader->data);
    return true;
}

// A token that is a number, but only strtod's: hexadecimal, NaN, an infinity, or beyond the range.
static bool beyondDecimals(const char* token, double value)
{
    if (*token == '+' || *token == '-') ++token;
    return !isfinite(value) || (token[0] == '0' && (token[1] == 'x' || token[1] == 'X'));
}

// readNumberToken for a token that reaches the end of the block: read piece by piece. A token that is
// no number is left where its number part ends.
static NumberToken readLongToken(NumberReader* reader, TokenEnd endsToken, bool decimalOnly, double* value,
                                 char* text)
{
    char shown[TOKEN_TEXT_CAPACITY];
    copyTokenText(reader, reader->data + reader->start, reader->data + reader->end, true, shown);
    // An unclosed "nan(" is no number here: the token runs on past "nan".
    bool wasStopped = reader->stopped;
    bool read = readLongNumber(reader, value) && reader->stopped == wasStopped;
    reader->stopped = wasStopped;
    NumberToken kind = !read || !endsToken(peekAt(reader, 0)) ? TOKEN_NOT_A_NUMBER
                       : decimalOnly && beyondDecimals(shown, *value) ? TOKEN_NOT_DECIMAL
                                                                      : TOKEN_NUMBER;
    if (kind != TOKEN_NUMBER && text != NULL) memcpy(text, shown, sizeof shown);
    reader->tokenLength = -1;
    return kind;
}

NumberToken readNumberToken(NumberReader* reader, TokenEnd endsToken, bool decimalOnly, double* value, char* text)
{
    fillAhead(reader, READ_LOOKAHEAD - 1);
    if (reader->start >= reader->end) return TOKEN_NONE;
    const char* token = reader->data + reader->start;
    const char* textEnd = reader->data + reader->end;
    const char* numberEnd = parseNumberText<true>(token, textEnd, value);
    // The common case first: a space or line feed after the number ends every kind of token.
    if (numberEnd != NULL && (*numberEnd == ' ' || *numberEnd == '\n') && !(decimalOnly && beyondDecimals(token, *value))) {
        reader->tokenStart = reader->start;
        reader->tokenLength = (int)(numberEnd - token);
        reader->start = (int)(numberEnd - reader->data);
        return TOKEN_NUMBER;
    }
    const char* scan = numberEnd != NULL ? numberEnd : token;
    while (scan < textEnd && !endsToken((unsigned char)*scan)) ++scan;
    if (scan == textEnd && !reader->atEnd) return readLongToken(reader, endsToken, decimalOnly, value, text);
    NumberToken kind = numberEnd == NULL || numberEnd != scan           ? TOKEN_NOT_A_NUMBER
                       : decimalOnly && beyondDecimals(token, *value) ? TOKEN_NOT_DECIMAL
                                                                       : TOKEN_NUMBER;
    if (kind != TOKEN_NUMBER) copyTokenText(reader, token, scan, false, text);
    reader->tokenStart = reader->start;
    reader->tokenLength = (int)(scan - token);
    reader->start = (int)(scan - reader->data);
    return kind;
}
