// SPDX-License-Identifier: GPL-3.0-or-later
// Text between the layer's wide strings and the encodings around it: UTF-8 on the host (file names, the
// clipboard, typed text, tools' output) and UTF-16 in compiled resources. Every conversion in the layer
// goes through here, so all of them agree on what is well formed.
//
// wchar_t holds a whole code point on this host, but wide text that came through UTF-16 may still carry
// a surrogate pair; the readers of wide text join such a pair into its one code point.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// True for a Unicode scalar value: not a surrogate, not beyond U+10FFFF.
constexpr bool is_unicode_scalar(char32_t cp) { return cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF); }

// The well-formed UTF-8 sequence at text[i] (no overlong form, no surrogate, nothing beyond U+10FFFF):
// its length, with its code point in cp; 0 when text[i] starts no such sequence.
size_t decode_utf8(std::string_view text, size_t i, char32_t& cp);

// The code point of wide text at text[i]: its length, 2 for a high surrogate followed by a low one
// (joined), else 1. A lone surrogate or a value beyond U+10FFFF comes back as it is.
size_t next_wide_code_point(std::wstring_view text, size_t i, char32_t& cp);

// Appends the UTF-8 form of cp; false (and nothing appended) when cp is no Unicode scalar value.
bool append_utf8(std::string& out, char32_t cp);

// Wide text as UTF-8. A lone surrogate or a value beyond U+10FFFF becomes U+FFFD; NUL is left out,
// since host strings end at the first one.
std::string wide_to_utf8(std::wstring_view text);

// UTF-8 as wide text. Each byte that starts no well-formed sequence becomes one U+FFFD.
std::wstring utf8_to_wide(std::string_view text);

// UTF-16 code units (as compiled resources hold them) as wide text; a lone surrogate becomes U+FFFD.
std::wstring utf16_to_wide(const uint16_t* units, size_t count);

} // namespace platform
