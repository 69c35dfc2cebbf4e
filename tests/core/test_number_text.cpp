// SPDX-License-Identifier: GPL-3.0-or-later
// The number-to-text rule: "%lg" when it reads back, else the fewest digits from 7 to 17 that do.
#include <gtest/gtest.h>
#include <float.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

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

// A field's text beyond the cases the windows' tests type: what strtod takes stays a number, white
// space counts only around it, and a text that cannot be one number leaves the value alone.
TEST(FieldNumber, ReadsTheWholeTextAsOneNumber)
{
    struct Case {
        const char* what;
        std::wstring text;
        bool read;
        double value;
    } cases[] = {
        {"tabs and line ends around it", L"\t-2,5e3\r\n", true, -2500},
        {"a plus sign and a comma", L"+0,125", true, 0.125},
        {"a comma with no digit before it", L",5", true, 0.5},
        {"a point with no digit after it", L"5.", true, 5},
        {"hexadecimal, as the points file reads it", L"0x10", true, 16},
        {"beyond the double range, as strtod reads it", L"1e999", true, HUGE_VAL},
        {"two numbers", L"1 2", false, 0},
        {"an exponent without digits", L"1e", false, 0},
        {"a sign alone", L"-", false, 0},
        {"a comma alone", L",", false, 0},
        {"a point and a comma", L"1,5.2", false, 0},
        {"white space only", L" \t ", false, 0},
        {"a no-break space after it", L"1,5\u00a0", false, 0},
        {"full-width digits", L"\uff11\uff12", false, 0},
        {"a long number, read whole", std::wstring(L"0.5").append(990, L'0'), true, 0.5},
        {"a thousand characters", std::wstring(L"0.5").append(997, L'0'), false, 0},
    };
    for (const Case& c : cases) {
        double value = 7;
        EXPECT_EQ(readFieldNumber(c.text.c_str(), &value), c.read) << c.what;
        EXPECT_EQ(value, c.read ? c.value : 7) << c.what;
    }
}
