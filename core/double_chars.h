// Locale-free conversions between double and text: std::from_chars / std::to_chars where the standard
// library has them for double (libstdc++); elsewhere (libc++ before 14, the WebAssembly build) fast_float
// reads, and printf writes, whose "%.*g" the precision form of std::to_chars is defined to equal.
#ifndef KELVORA_DOUBLE_CHARS_H
#define KELVORA_DOUBLE_CHARS_H

#include <charconv>
#include <system_error>

#if !(defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L)
#define KELVORA_DOUBLE_CHARS_FALLBACK 1
#include <fast_float/fast_float.h>
#include <stdio.h>
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

// Writes the fewest significant digits that read back to v, in scientific form ("1.5e+00").
static inline char* writeDoubleShortest(char* first, char* last, double v)
{
#ifdef KELVORA_DOUBLE_CHARS_FALLBACK
    // The correctly rounded text at each precision in turn, until one reads back.
    char printed[64];
    int length = 0;
    for (int precision = 1; precision <= 17; ++precision) {
        length = snprintf(printed, sizeof printed, "%.*e", precision - 1, v);
        double back = 0.0;
        fast_float::from_chars_result r = fast_float::from_chars(printed, printed + length, back);
        if (r.ec == std::errc() && memcmp(&back, &v, sizeof v) == 0) break;
    }
    return copyPrinted(first, last, printed, length);
#else
    return std::to_chars(first, last, v, std::chars_format::scientific).ptr;
#endif
}

#endif
