// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions the WebAssembly build uses where its standard library cannot convert doubles
// (fast_float and printf) against std::from_chars / std::to_chars of this build: the same text and the
// same values, for edge cases and for random bit patterns.
#define KELVORA_DOUBLE_CHARS_FALLBACK 1
#include "double_chars.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string standardGeneral(double v, int precision)
{
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, v, std::chars_format::general, precision).ptr);
}

std::string standardShortest(double v)
{
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, v, std::chars_format::scientific).ptr);
}

void expectSameAsStandard(double v)
{
    char text[64];
    for (int precision : {1, 6, 7, 15, 16, 17}) {
        EXPECT_EQ(std::string(text, writeDoubleGeneral(text, text + sizeof text, v, precision)),
                  standardGeneral(v, precision)) << "precision " << precision;
    }
    if (std::isfinite(v)) {
        EXPECT_EQ(std::string(text, writeDoubleShortest(text, text + sizeof text, v)), standardShortest(v));
    }
}

TEST(DoubleCharsFallback, WritesWhatTheStandardLibraryWrites)
{
    const double cases[] = {0.0, -0.0, 1.0, -1.5, 0.1, 1.0 / 3.0, 100.0, 1e21, 1e-7, 123456.0, 1234567.0,
                            DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 9007199254740993.0, 5e-324, 0.3, 2.5e-5,
                            std::ldexp(1.0, -30), std::ldexp(1.0, 100), std::ldexp(1.0, -1000), std::ldexp(1.0, 1000),
                            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double v : cases) {
        SCOPED_TRACE(v);
        expectSameAsStandard(v);
    }
    // Every power of two: the rounding interval is narrower below them, where a shortest text is easiest
    // to get wrong.
    for (int e = -1074; e <= 1023; ++e) {
        SCOPED_TRACE(e);
        expectSameAsStandard(std::ldexp(1.0, e));
    }
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isnan(v))
            continue;
        SCOPED_TRACE(v);
        expectSameAsStandard(v);
    }
}

TEST(DoubleCharsFallback, ReadsWhatTheStandardLibraryReads)
{
    const char* texts[] = {"0", "-0", "1.5", "1e308", "2.2250738585072014e-308", "4.9e-324", "0.1", "123abc",
                           "inf", "-Infinity", "nan", "1e", "1.", ".5", "-", "", "x", "1e400", "1e-400", " 1"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const char* last = text + std::strlen(text);
        double expected = 42.0, actual = 42.0;
        std::from_chars_result s = std::from_chars(text, last, expected);
        std::from_chars_result f = readDoubleChars(text, last, &actual);
        if (s.ec == std::errc::result_out_of_range) {
            // The standard library refuses what does not fit; fast_float gives the rounded value, which
            // the points file's fallback to strtod gives for that case too.
            EXPECT_EQ(f.ptr, s.ptr);
            continue;
        }
        EXPECT_EQ(f.ec, s.ec);
        EXPECT_EQ(f.ptr, s.ptr);
        if (s.ec == std::errc() && !std::isnan(expected)) {
            EXPECT_EQ(std::memcmp(&expected, &actual, sizeof(double)), 0);
        }
    }
}

} // namespace
