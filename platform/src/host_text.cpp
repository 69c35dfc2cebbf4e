// The host's UTF-8 text for tools and backends, through the platform's one conversion.
#include "controls_common.h"

#include <kelvora_host.h>

std::string kelvora_to_utf8(std::wstring_view text) { return platform::controls::to_utf8(text); }

std::wstring kelvora_from_utf8(std::string_view text) { return platform::controls::from_utf8(text); }
