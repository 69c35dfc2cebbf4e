// SPDX-License-Identifier: GPL-3.0-or-later
// What a window's standard vertical scroll bar holds; the window record keeps one.
#pragma once
#include <windows.h>

namespace platform {

// What SetScrollInfo set for a window's vertical bar, and the stylus on it.
struct ScrollBarState {
    bool m_set = false; // the program gave the bar a range: shown while the range exceeds the page
    int m_min = 0;
    int m_max = 0;
    int m_page = 0;
    int m_pos = 0;
    int m_track_pos = 0;
    bool m_tracking = false; // the stylus holds the thumb
    int m_drag_offset = 0;   // stylus y minus the thumb's top while it is held
    // A pop-up shortened to the space above the input panel: where it was before, and whether the window
    // manager gave it WS_VSCROLL. Empty when it has its own height.
    RECT m_full_rect{0, 0, 0, 0};
    bool m_style_added = false;
};

} // namespace platform
