// SPDX-License-Identifier: GPL-3.0-or-later
// The shell: the navigation bar at the top of the screen, the menu bar at the bottom (shell/menu_bar.h)
// and the input panel above it (shell/input_panel.h); the bars' sizes.
#pragma once
#include <windows.h>

#include "gdi/surface.h"
#include "wm/input.h"
namespace platform {

constexpr int nav_bar_height = 26;
constexpr int menu_bar_height = 26;
constexpr int caption_height = 16; // the caption of a window with WS_CAPTION

struct NavBarState {
    bool m_pressed_ok = false; // a stylus held on the navigation bar's "ok" button
};
void draw_shell_bars(Surface& screen);
// The stylus on the shell: the open menu, the navigation bar and the menu bar. Down is true when the shell
// takes the stroke, which then stays with it until Up.
bool shell_stylus(InputKind kind, POINT p);
// The soft keys F1 and F2, and every key while a menu is open: true when the shell took the key.
bool shell_key(UINT vk, bool down);

} // namespace platform
