// UTF-8 encoding of one code point, shared by everything that turns wide text into host text.
#pragma once
#include <string>

namespace platform {

// True for a Unicode scalar value: not a surrogate, not beyond U+10FFFF.
inline bool is_unicode_scalar(unsigned long cp) { return cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF); }

// Appends the UTF-8 form of cp; false (and nothing appended) when cp is no Unicode scalar value.
bool append_utf8(std::string& out, unsigned long cp);

} // namespace platform
