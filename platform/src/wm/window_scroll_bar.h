// SPDX-License-Identifier: GPL-3.0-or-later
// The window manager's vertical scroll bar, beside the client area of a WS_VSCROLL window whose range
// exceeds its page (SetScrollInfo, GetScrollInfo, WM_VSCROLL from the stylus, ScrollWindowEx), and
// pop-ups too tall for the space above the input panel, which are shortened and scroll.
#pragma once
#include <windows.h>

#include "wm/input.h"

namespace platform {

struct Window;
struct Dc;

// ---- The window manager's bar --------------------------------------------------------------------------

// True while a WS_VSCROLL window's range exceeds its page: the bar then takes the client area's right edge.
bool has_vertical_bar(const Window* w);
// Where the bar is, relative to the window's own top-left (the client area's right neighbour).
RECT vertical_bar_in_window(const Window* w, const RECT& client_in_window);
// Draws it; `box` is the window on its surface.
void draw_vertical_bar(Window* w, Dc& dc, const RECT& box);
// The stylus: a stroke that begins on a window's bar belongs to the bar. True when it took the stroke.
bool scroll_bar_stylus_down(Window* w, POINT screen);
void scroll_bar_stylus(HWND bar_owner, InputKind kind, POINT screen);

// ---- Pop-ups taller than the space above the input panel ----------------------------------------------

// A pop-up window with controls that is taller than `area` is put at its top, shortened to it (and
// widened by the bar when there is room), and scrolls its contents; once it fits again it gets its size
// back, scrolled to its start. False for a window that is neither too tall nor shortened: it is left to
// the caller.
bool fit_popup_by_scrolling(Window* w, const RECT& area);
// DefWindowProc's WM_VSCROLL: a shortened pop-up scrolls.
void scroll_shortened_popup(Window* w, WPARAM request);
// The focus moved to `control`: a shortened pop-up scrolls it into view.
void scroll_focus_into_view(Window* control);

} // namespace platform
