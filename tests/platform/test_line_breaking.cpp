// SPDX-License-Identifier: GPL-3.0-or-later
// The one line-breaking rule of DrawText, static controls and message boxes, measured one pixel a
// character so that every expected line can be read off the case.
#include "text/line_breaking.h"

#include <gtest/gtest.h>

using platform::break_lines;
using platform::LongWords;

namespace {

int one_per_character(std::wstring_view text) { return static_cast<int>(text.size()); }

} // namespace

TEST(LineBreaking, WordsSpacesAndParagraphs)
{
    struct Case {
        const char* name;
        std::wstring text;
        int width;
        LongWords long_words;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {"breaks at spaces and drops them", L"aaa bbb ccc", 7, LongWords::Overflow, {L"aaa bbb", L"ccc"}},
        {"a long word overflows its own line", L"ab abcdefgh xy", 5, LongWords::Overflow, {L"ab", L"abcdefgh", L"xy"}},
        {"a long word is cut where asked", L"ab abcdefgh xy", 5, LongWords::Split, {L"ab", L"abcde", L"fgh", L"xy"}},
        {"the rest of a cut word takes more words", L"abcdefg h", 5, LongWords::Split, {L"abcde", L"fg h"}},
        {"a line of width 0 still advances", L"abc", 0, LongWords::Split, {L"a", L"b", L"c"}},
        {"trailing spaces open no line", L"abcde     ", 5, LongWords::Overflow, {L"abcde"}},
        {"indentation is kept", L"  ab", 10, LongWords::Overflow, {L"  ab"}},
        {"several spaces between words", L"ab   cd", 10, LongWords::Overflow, {L"ab   cd"}},
        {"CR LF, LF and an empty last line", L"a\r\nb\n", 10, LongWords::Overflow, {L"a", L"b", L""}},
        {"empty text is one empty line", L"", 10, LongWords::Split, {L""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(break_lines(c.text, c.width, one_per_character, c.long_words), c.lines) << c.name;
}

TEST(LineBreaking, TextCutShortEndsWithAnEllipsis)
{
    struct Case {
        const char* name;
        std::wstring text;
        int width;
        std::wstring shown;
    };
    const Case cases[] = {
        {"fits: unchanged", L"abcdef", 6, L"abcdef"},
        {"one too long: the last character gives way", L"abcdefg", 6, L"abcde\u2026"},
        {"much too long", L"/home/someone/Documents/data", 8, L"/home/s\u2026"},
        {"room for the ellipsis only", L"abc", 1, L"\u2026"},
        {"no room at all: still the ellipsis", L"abc", 0, L"\u2026"},
        {"empty text", L"", 0, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::end_with_ellipsis(c.text, c.width, one_per_character), c.shown) << c.name;
}
