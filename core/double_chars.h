// SPDX-License-Identifier: GPL-3.0-or-later
// Locale-free conversions between double and text: std::from_chars / std::to_chars where the standard
// library has them for double (libstdc++); elsewhere (libc++ before 14, the WebAssembly build) fast_float
// reads, and printf writes, whose "%.*g" the precision form of std::to_chars is defined to equal.
#ifndef KELVORA_DOUBLE_CHARS_H
#define KELVORA_DOUBLE_CHARS_H

#include <charconv>
#include <system_error>

// A test may define KELVORA_DOUBLE_CHARS_FALLBACK to check the fallback against the standard library.
#if !defined(KELVORA_DOUBLE_CHARS_FALLBACK) && !(defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L)
#define KELVORA_DOUBLE_CHARS_FALLBACK 1
#endif
#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
#include <fast_float/fast_float.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#endif

// Reads a double at first (std::from_chars with chars_format::general).
static inline std::from_chars_result readDoubleChars(const char* first, const char* last, double* value)
{
#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
    fast_float::from_chars_result r = fast_float::from_chars(first, last, *value);
    return std::from_chars_result{r.ptr, r.ec};
#else
    return std::from_chars(first, last, *value);
#endif
}

#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
static inline char* copyPrinted(char* first, char* last, const char* printed, int length)
{
    if (length < 0 || length > last - first) return last;
    memcpy(first, printed, (size_t)length);
    return first + length;
}
#endif

// Writes v as "%.*g" does at the given precision; returns the end of the text (last when it does not fit).
static inline char* writeDoubleGeneral(char* first, char* last, double v, int precision)
{
#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
    char printed[64];
    return copyPrinted(first, last, printed, snprintf(printed, sizeof printed, "%.*g", precision, v));
#else
    return std::to_chars(first, last, v, std::chars_format::general, precision).ptr;
#endif
}

#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
// printed is "%.*e" text ("-d.ddde+XX"); it becomes the next text of as many digits away from zero.
static inline int nextDigitsUp(char* printed, int length)
{
    char* e = strchr(printed, 'e');
    if (!e) return length;
    int exponent = atoi(e + 1);
    char* p = e - 1;
    for (; p >= printed && (*p == '9' || *p == '.'); --p)
        if (*p == '9') *p = '0';
    if (p >= printed && *p >= '0' && *p <= '8') {
        ++*p;
        return length;
    }
    // All nines: 9.99e+X becomes 1.00e+(X+1).
    char* first = printed + (printed[0] == '-' ? 1 : 0);
    *first = '1';
    char tail[16];
    snprintf(tail, sizeof tail, "e%+03d", exponent + 1);
    *e = 0;
    return (int)(stpcpy(e, tail) - printed);
}

static inline bool readsBackExactly(const char* text, int length, double v)
{
    double back = 0.0;
    fast_float::from_chars_result r = fast_float::from_chars(text, text + length, back);
    return r.ec == std::errc() && r.ptr == text + length && memcmp(&back, &v, sizeof v) == 0;
}
#endif

// Writes the fewest significant digits that read back to v, in scientific form ("1.5e+00"); of two such
// texts, the nearer to v.
static inline char* writeDoubleShortest(char* first, char* last, double v)
{
#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
    // At each precision in turn, the correctly rounded text; just above a power of two the range that
    // reads back reaches twice as far up as down, so the next text up may read back where it did not.
    char printed[64];
    int length = 0;
    for (int precision = 1; precision <= 17; ++precision) {
        length = snprintf(printed, sizeof printed, "%.*e", precision - 1, v);
        if (readsBackExactly(printed, length, v)) break;
        char up[64];
        memcpy(up, printed, (size_t)length + 1);
        int upLength = nextDigitsUp(up, length);
        if (readsBackExactly(up, upLength, v)) {
            memcpy(printed, up, (size_t)upLength + 1);
            length = upLength;
            break;
        }
    }
    return copyPrinted(first, last, printed, length);
#else
    return std::to_chars(first, last, v, std::chars_format::scientific).ptr;
#endif
}

#endif
