// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 and UTF-16 to and from the layer's wide text.
#include "text/text_encoding.h"

#include <kelvora_host.h>

namespace platform {
namespace {

constexpr bool is_high_surrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool is_low_surrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
constexpr char32_t join_surrogates(char32_t high, char32_t low) { return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00); }

} // namespace

size_t decode_utf8(std::string_view text, size_t i, char32_t& cp)
{
    if (i >= text.size())
        return 0;
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t length = 0;
    char32_t smallest = 0; // below it the sequence is an overlong form
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, smallest = 0x80, value = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, smallest = 0x800, value = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, smallest = 0x10000, value = lead & 0x07;
    if (length == 0 || text.size() - i < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || !is_unicode_scalar(value))
        return 0;
    cp = value;
    return length;
}

size_t next_wide_code_point(std::wstring_view text, size_t i, char32_t& cp)
{
    cp = static_cast<char32_t>(text[i]);
    if (is_high_surrogate(cp) && i + 1 < text.size()) {
        const auto next = static_cast<char32_t>(text[i + 1]);
        if (is_low_surrogate(next)) {
            cp = join_surrogates(cp, next);
            return 2;
        }
    }
    return 1;
}

bool append_utf8(std::string& out, char32_t cp)
{
    if (!is_unicode_scalar(cp))
        return false;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return true;
}

std::string wide_to_utf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        i += next_wide_code_point(text, i, cp);
        if (cp != 0 && !append_utf8(out, cp))
            append_utf8(out, kReplacementCharacter);
    }
    return out;
}

std::wstring utf8_to_wide(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t length = decode_utf8(text, i, cp);
        out.push_back(static_cast<wchar_t>(length ? cp : kReplacementCharacter));
        i += length ? length : 1;
    }
    return out;
}

std::wstring utf16_to_wide(const uint16_t* units, size_t count)
{
    std::wstring out;
    if (!units)
        return out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        char32_t cp = units[i];
        if (is_high_surrogate(cp) && i + 1 < count && is_low_surrogate(units[i + 1]))
            cp = join_surrogates(cp, units[++i]);
        else if (!is_unicode_scalar(cp))
            cp = kReplacementCharacter;
        out.push_back(static_cast<wchar_t>(cp));
    }
    return out;
}

} // namespace platform

std::string kelvora_to_utf8(std::wstring_view text) { return platform::wide_to_utf8(text); }

std::wstring kelvora_from_utf8(std::string_view text) { return platform::utf8_to_wide(text); }
