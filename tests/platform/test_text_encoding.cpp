// SPDX-License-Identifier: GPL-3.0-or-later
// The one conversion between wide text, UTF-8 and UTF-16: malformed input never turns into a different
// valid character, and a surrogate pair is one character whichever way it arrives.
#include "text/text_encoding.h"

#include <gtest/gtest.h>

using platform::utf16_to_wide;
using platform::utf8_to_wide;
using platform::wide_to_utf8;

TEST(TextEncoding, MalformedUtf8BecomesOneReplacementPerByte)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring wide;
    };
    const Case cases[] = {
        {"all widths", "a\xc3\x9f\xe6\xb8\xa9\xf0\x9f\x98\x80", L"a\u00df\u6e29\U0001F600"},
        {"overlong NUL", "x\xc0\x80y", L"x\uFFFD\uFFFDy"},
        {"overlong three-byte NUL", "\xe0\x80\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"overlong four-byte", "\xf0\x80\x80\xaf", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xed\xa0\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"cut short at the end", "a\xe6\xb8", L"a\uFFFD\uFFFD"},
        {"continuation without lead", "\x80z", L"\uFFFDz"},
        {"lead followed by ASCII", "\xc3z", L"\uFFFDz"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8_to_wide(c.bytes), c.wide) << c.name;
}

TEST(TextEncoding, WideTextToUtf8JoinsPairsAndReplacesWhatIsNoCharacter)
{
    const std::wstring pair{wchar_t(0xD83D), wchar_t(0xDE00)};
    EXPECT_EQ(wide_to_utf8(pair), "\xf0\x9f\x98\x80");
    EXPECT_EQ(wide_to_utf8(L"\U0001F600"), "\xf0\x9f\x98\x80");

    const std::wstring lone_high{L'a', wchar_t(0xD800), L'b'};
    const std::wstring lone_low_first{wchar_t(0xDE00), wchar_t(0xD83D)};
    const std::wstring beyond{wchar_t(0x110000)};
    EXPECT_EQ(wide_to_utf8(lone_high), "a\xef\xbf\xbd" "b");
    EXPECT_EQ(wide_to_utf8(lone_low_first), "\xef\xbf\xbd\xef\xbf\xbd") << "a pair only in high-low order";
    EXPECT_EQ(wide_to_utf8(beyond), "\xef\xbf\xbd");
    EXPECT_EQ(wide_to_utf8(std::wstring(L"a\0b", 3)), "ab") << "host strings end at NUL";
}

TEST(TextEncoding, Utf16JoinsPairsAndReplacesLoneSurrogates)
{
    const uint16_t text[] = {'A', 0xD83D, 0xDE00, 0xDC00, 'B', 0xD800};
    EXPECT_EQ(utf16_to_wide(text, 6), L"A\U0001F600\uFFFDB\uFFFD");
    EXPECT_EQ(utf16_to_wide(nullptr, 3), L"");
}

TEST(TextEncoding, EveryScalarValueSurvivesTheRoundTrip)
{
    std::wstring all;
    for (char32_t cp = 1; cp <= 0x10FFFF; cp += (cp < 0x800 ? 1 : 97))
        if (platform::is_unicode_scalar(cp))
            all.push_back(static_cast<wchar_t>(cp));
    all.push_back(wchar_t(0x10FFFF));
    EXPECT_EQ(utf8_to_wide(wide_to_utf8(all)), all);
}
