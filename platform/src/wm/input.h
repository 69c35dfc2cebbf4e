// SPDX-License-Identifier: GPL-3.0-or-later
// Input: stylus and key events as the backends deliver them, queued until the program waits.
#pragma once
#include <windows.h>

namespace platform {

enum class InputKind { Down, Move, Up, KeyDown, KeyUp, Char, Rotate, HostClose };
struct InputEvent {
    InputKind m_kind;
    int m_x = 0;
    int m_y = 0;
    UINT m_key = 0;
    wchar_t m_char = 0;
};

// The stylus as the window manager sees it: where the present stroke began.
struct StylusState {
    bool m_down = false;
    bool m_on_shell = false; // the stroke began on a bar or on the open menu
    bool m_on_panel = false; // the stroke began on the input panel
    HWND m_on_scroll_bar = nullptr; // the stroke began on this window's vertical scroll bar
};

void push_input(const InputEvent& event);
bool process_one_input(); // false when the input queue is empty

} // namespace platform
