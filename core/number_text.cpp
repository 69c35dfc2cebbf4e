// Number-to-text rule. The conversions use the locale-free std::to_chars / std::from_chars, whose
// precision form prints exactly what printf's "%.*g" prints; they are fast enough to write a million
// points in a fraction of a second.
#include "number_text.h"

#include <charconv>
#include <math.h>
#include <string.h>

static bool readsBack(const char* first, const char* last, double v)
{
    double back = 0.0;
    std::from_chars_result r = std::from_chars(first, last, back);
    if (r.ec != std::errc() || r.ptr != last) return false;
    return memcmp(&back, &v, sizeof(double)) == 0;
}

// Formats into text (NUMBER_TEXT_CAPACITY characters) and returns the length, without the zero.
static int formatIntoLocal(char* text, double v)
{
    char* end = text + NUMBER_TEXT_CAPACITY - 1;
    std::to_chars_result r = std::to_chars(text, end, v, std::chars_format::general, 6);
    if (!isfinite(v) || readsBack(text, r.ptr, v)) return (int)(r.ptr - text);
    // The shortest digit string that reads back tells where to start: fewer digits never suffice.
    std::to_chars_result shortest = std::to_chars(text, end, v, std::chars_format::scientific);
    int digits = 0;
    for (const char* p = text; p < shortest.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') ++digits;
    }
    int precision = digits < 7 ? 7 : digits;
    for (;; ++precision) {
        r = std::to_chars(text, end, v, std::chars_format::general, precision);
        if (precision >= 17 || readsBack(text, r.ptr, v)) return (int)(r.ptr - text);
    }
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
