// The host's UTF-8 text for tools and backends, through the platform's one conversion.
#include "text_encoding.h"

#include <kelvora_host.h>

std::string kelvora_to_utf8(std::wstring_view text) { return platform::wide_to_utf8(text); }

std::wstring kelvora_from_utf8(std::string_view text) { return platform::utf8_to_wide(text); }
