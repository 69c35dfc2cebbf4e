// SPDX-License-Identifier: GPL-3.0-or-later
// The device clipboard: plain wide text, kept by the backend (the host's clipboard under SDL).
#pragma once
#include <string>
#include <string_view>

namespace platform {
std::wstring clipboard_text();
void set_clipboard_text(std::wstring_view text);
} // namespace platform
