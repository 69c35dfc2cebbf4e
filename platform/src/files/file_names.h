// SPDX-License-Identifier: GPL-3.0-or-later
// File names between the program's wide text and the host's bytes, and the process-wide file settings.
#pragma once
#include <string>
#include <string_view>

namespace platform::files {

// Names are UTF-8 on this host, but a folder may hold names with bytes that are not UTF-8. Each such
// byte travels in wide text as U+DC80 + (byte - 0x80), a lone low surrogate that no real text holds, so
// a listed name opens again byte for byte.
// to_host_name: false (errno EILSEQ) for text no file name can hold (another lone surrogate, beyond
// U+10FFFF).
bool to_host_name(std::wstring_view name, std::string& out);
std::wstring from_host_name(std::string_view name);

// The name as the user sees it: every kept byte shown as U+FFFD.
std::wstring shown_name(std::wstring_view name);

// A write past the file-size limit must fail like any other write error (the program then says
// "writing failed" and keeps the table) instead of killing the process: SIGXFSZ is ignored.
void ignore_file_size_signal();

} // namespace platform::files
