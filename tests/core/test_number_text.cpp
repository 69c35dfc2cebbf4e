// The number-to-text rule: "%lg" when it reads back, else the fewest digits from 7 to 17 that do.
#include <gtest/gtest.h>
#include <float.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "number_text.h"

namespace {

// The rule written with printf and strtod, the routines the program's texts are read back with.
std::string ruleByPrintf(double v)
{
    char text[64];
    snprintf(text, sizeof(text), "%lg", v);
    for (int precision = 7; precision <= 17; ++precision) {
        double back = strtod(text, nullptr);
        if (memcmp(&back, &v, sizeof v) == 0 || isnan(v)) break;
        snprintf(text, sizeof(text), "%.*lg", precision, v);
    }
    return text;
}

TEST(NumberText, KnownValues)
{
    struct { double value; const char* text; } cases[] = {
        {0.0, "0"}, {-0.0, "-0"}, {2.5, "2.5"}, {0.1, "0.1"}, {100000, "100000"}, {1e6, "1e+06"},
        {1234567, "1234567"}, {123456789, "123456789"}, {0.0001, "0.0001"}, {1e-5, "1e-05"},
        {1.0 / 3.0, "0.3333333333333333"}, {3.14159265, "3.14159265"}, {1e21, "1e+21"},
        {1e-300, "1e-300"}, {INFINITY, "inf"}, {-INFINITY, "-inf"}, {DBL_MAX, "1.7976931348623157e+308"},
        {4.9406564584124654e-324, "4.94066e-324"}, {-2.2250738585072014e-308, "-2.2250738585072014e-308"},
    };
    for (const auto& c : cases) {
        char text[NUMBER_TEXT_CAPACITY];
        EXPECT_EQ(formatNumber(text, sizeof(text), c.value), (int)strlen(c.text));
        EXPECT_STREQ(text, c.text);
    }
}

// Values of every magnitude and digit count, compared with the rule carried out by printf.
TEST(NumberText, MatchesPrintfAndReadsBackAcrossMagnitudes)
{
    unsigned long long state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 100000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        double v;
        if (i % 2 == 0) {
            // Random bits; every eighth value with a zero exponent field: a subnormal number.
            unsigned long long bits = i % 16 == 0 ? state & 0x800FFFFFFFFFFFFFull : state;
            memcpy(&v, &bits, sizeof v);
            if (isnan(v)) continue;
        } else {
            int digits = 1 + (int)((state >> 8) % 17);
            char text[64];
            snprintf(text, sizeof(text), "%.*e", digits - 1, ldexp((double)(state >> 11), -53) * 9 + 1);
            v = strtod(text, nullptr) * pow(10.0, (double)((int)((state >> 40) % 40) - 20));
        }
        char text[NUMBER_TEXT_CAPACITY];
        ASSERT_GT(formatNumber(text, sizeof(text), v), 0);
        ASSERT_EQ(std::string(text), ruleByPrintf(v)) << "value %a " << v;
        double back = strtod(text, nullptr);
        ASSERT_EQ(memcmp(&back, &v, sizeof v), 0) << text;
    }
}

TEST(NumberText, NaNIsWrittenAsPrintfWritesIt)
{
    char text[NUMBER_TEXT_CAPACITY];
    char expected[64];
    snprintf(expected, sizeof(expected), "%lg", NAN);
    formatNumber(text, sizeof(text), NAN);
    EXPECT_STREQ(text, expected);
}

TEST(NumberText, NeverWritesPastTheCapacity)
{
    char text[8];
    memset(text, 'x', sizeof(text));
    EXPECT_EQ(formatNumber(text, 5, 1.0 / 3.0), -1);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[1], 'x');
    EXPECT_EQ(formatNumber(text, 0, 1.0), -1);
    EXPECT_EQ(formatNumber(text, 4, 2.5), 3); // exactly the text and its zero
    EXPECT_STREQ(text, "2.5");
    EXPECT_EQ(formatNumber(text, 3, 2.5), -1);

    WCHAR wide[6];
    wmemset(wide, L'x', 6);
    EXPECT_EQ(formatNumberW(wide, 3, 123.0), -1);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(wide[1], L'x');
}

TEST(NumberText, WideTextEqualsNarrowText)
{
    for (double v : {0.125, -1e-7, 1.0 / 7.0, 6.02214076e23, -(double)INFINITY}) {
        char narrow[NUMBER_TEXT_CAPACITY];
        WCHAR wide[NUMBER_TEXT_CAPACITY];
        int length = formatNumber(narrow, NUMBER_TEXT_CAPACITY, v);
        ASSERT_EQ(formatNumberW(wide, NUMBER_TEXT_CAPACITY, v), length);
        for (int i = 0; i <= length; ++i) EXPECT_EQ(wide[i], (WCHAR)narrow[i]);
    }
}

} // namespace
