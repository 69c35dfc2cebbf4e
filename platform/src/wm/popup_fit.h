// SPDX-License-Identifier: GPL-3.0-or-later
// Pop-ups and the space for them: a dialog just shown that is taller than the part of the screen between
// the navigation bar and the input panel (or the menu bar) is shortened to it and scrolls its contents.
#pragma once
#include <windows.h>

namespace platform {

void fit_shown_popup(HWND hwnd);

} // namespace platform
