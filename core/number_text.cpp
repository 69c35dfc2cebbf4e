// SPDX-License-Identifier: GPL-3.0-or-later
// Number-to-text rule. The conversions are locale-free (double_chars.h: std::to_chars / std::from_chars,
// whose precision form prints exactly what printf's "%.*g" prints); they are fast enough to write a
// million points in a fraction of a second.
#include "number_text.h"

#include "double_chars.h"
#include "number_reader.h"

#include <charconv>
#include <float.h>
#include <math.h>
#include <string.h>
#include <wchar.h>

static bool readsBack(const char* first, const char* last, double v)
{
    double back = 0.0;
    std::from_chars_result r = readDoubleChars(first, last, &back);
    if (r.ec != std::errc() || r.ptr != last) return false;
    return memcmp(&back, &v, sizeof(double)) == 0;
}

// The rule step by step: "%.6g", then each precision from 7 until the text reads back.
static int formatByTrying(char* text, char* end, double v)
{
    for (int precision = 6;; precision = precision < 7 ? 7 : precision + 1) {
        char* textEnd = writeDoubleGeneral(text, end, v, precision);
        if (precision >= 17 || readsBack(text, textEnd, v)) return (int)(textEnd - text);
    }
}

// Copies the significant digits of a number text (no sign, point, leading or trailing zeros, exponent)
// into digits and returns their count.
static int significantDigits(const char* first, const char* last, char* digits)
{
    int count = 0;
    for (const char* p = first; p < last && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && (count > 0 || *p != '0')) digits[count++] = *p;
    }
    while (count > 0 && digits[count - 1] == '0') --count;
    return count;
}

// Writes what "%.*g" writes at precision for a value whose rounding to that precision has the given
// significant digits (no trailing zeros) and decimal exponent (value = d.ddd * 10^exponent).
static int writeG(char* text, bool negative, const char* digits, int count, int exponent, int precision)
{
    char* p = text;
    if (negative) *p++ = '-';
    if (exponent < -4 || exponent >= precision) {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            for (int i = 1; i < count; ++i) *p++ = digits[i];
        }
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude >= 100) *p++ = (char)('0' + magnitude / 100);
        *p++ = (char)('0' + magnitude / 10 % 10);
        *p++ = (char)('0' + magnitude % 10);
    } else if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = -1; i > exponent; --i) *p++ = '0';
        for (int i = 0; i < count; ++i) *p++ = digits[i];
    } else {
        for (int i = 0; i <= exponent; ++i) *p++ = i < count ? digits[i] : '0';
        if (count > exponent + 1) {
            *p++ = '.';
            for (int i = exponent + 1; i < count; ++i) *p++ = digits[i];
        }
    }
    *p = 0;
    return (int)(p - text);
}

// Formats into text (NUMBER_TEXT_CAPACITY characters) and returns the length, without the zero.
//
// The shortest digit string S that reads back (d digits, from std::to_chars) decides, and "%.*g" at
// precision p >= d rounds v to S itself whenever v lies within half a unit of S's last digit:
// - d <= 15: always, since v is within half a unit in the last place of the double of S, less than
//   half a unit of the fifteenth digit; so the text is S written as "%.*g" with p = max(d, 6).
// - d = 17: always, seventeen digits being enough for every double (S is then the nearest 17 digits).
// - d = 16: not always; "%.16g" is asked for and compared, and when it differs "%.17g" is the text.
// Subnormal numbers have fewer bits than that reasoning needs and take the step-by-step way.
static int formatIntoLocal(char* text, double v)
{
    char* end = text + NUMBER_TEXT_CAPACITY - 1;
    if (!isfinite(v) || v == 0.0) {
        return (int)(writeDoubleGeneral(text, end, v, 6) - text);
    }
    if (fabs(v) < DBL_MIN) return formatByTrying(text, end, v);
    char shortestDigits[NUMBER_TEXT_CAPACITY];
    char* shortestEnd = writeDoubleShortest(text, end, v);
    int d = significantDigits(text, shortestEnd, shortestDigits);
    const char* e = text;
    while (*e != 'e') ++e;
    int exponent = 0;
    std::from_chars(e[1] == '+' ? e + 2 : e + 1, shortestEnd, exponent);
    if (d != 16) return writeG(text, v < 0, shortestDigits, d, exponent, d < 6 ? 6 : d);

    char digits[NUMBER_TEXT_CAPACITY];
    char* textEnd = writeDoubleGeneral(text, end, v, 16);
    if (significantDigits(text, textEnd, digits) == 16 && memcmp(digits, shortestDigits, 16) == 0) {
        return (int)(textEnd - text);
    }
    return (int)(writeDoubleGeneral(text, end, v, 17) - text);
}

int formatNumber(char* out, int capacity, double v)
{
    char text[NUMBER_TEXT_CAPACITY];
    int length = formatIntoLocal(text, v);
    if (capacity <= length) {
        if (capacity >= 1) out[0] = 0;
        return -1;
    }
    memcpy(out, text, length);
    out[length] = 0;
    return length;
}

int formatNumberW(WCHAR* out, int capacity, double v)
{
    char text[NUMBER_TEXT_CAPACITY];
    int length = formatIntoLocal(text, v);
    if (capacity <= length) {
        if (capacity >= 1) out[0] = 0;
        return -1;
    }
    for (int i = 0; i < length; ++i) out[i] = (WCHAR)(unsigned char)text[i];
    out[length] = 0;
    return length;
}

// Longest field text read as a number, terminating zero included; far beyond any field's width.
#define FIELD_NUMBER_CAPACITY 1000

// White space a field may hold around its number: what scanf skips.
static bool isFieldSpace(WCHAR c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

bool readFieldNumber(const WCHAR* text, double* value)
{
    const WCHAR* first = text;
    while (isFieldSpace(*first)) ++first;
    const WCHAR* last = first + wcslen(first);
    while (last > first && isFieldSpace(last[-1])) --last;
    if (last == first || last - first >= FIELD_NUMBER_CAPACITY) return false;

    // A number is ASCII; a comma can only be the decimal point in a field of one number, and a second
    // point (or comma) leaves the text no number at all.
    char number[FIELD_NUMBER_CAPACITY];
    int length = 0;
    for (const WCHAR* p = first; p < last; ++p) {
        if ((unsigned long)*p >= 0x80) return false;
        number[length++] = *p == L',' ? '.' : (char)*p;
    }
    number[length] = 0;
    double read = 0.0;
    if (readNumberText(number, number + length, &read) != number + length) return false;
    *value = read;
    return true;
}
