// SPDX-License-Identifier: GPL-3.0-or-later
// Vertical scroll bars as drawn and hit: the geometry and drawing that the window manager's bar (see
// window_scroll_bar.h) shares with the list box, which draws its own bar inside its client area.
#pragma once
#include <windows.h>

#include <functional>

namespace platform {

// Arrow boxes at both ends, the track between, a thumb proportional to the part in view.
struct ScrollGeometry {
    RECT m_bar{}, m_up{}, m_down{}, m_thumb{};
    int m_track_top = 0;
    int m_track_len = 0;
    int m_thumb_len = 0;
};
int scroll_bar_width();
// `pos` runs from 0 to `max_pos`; `page` of `total` is in view.
ScrollGeometry scroll_geometry(const RECT& bar, int pos, int max_pos, int page, int total);
// The position that puts the thumb's top at `thumb_top`.
int scroll_pos_for_thumb(const ScrollGeometry& g, int thumb_top, int max_pos);

enum class ScrollPart { LineUp, LineDown, PageUp, PageDown, Thumb };
ScrollPart scroll_part_at(const ScrollGeometry& g, POINT p);

using RectFiller = std::function<void(const RECT&, COLORREF)>;
void paint_scroll_bar(const ScrollGeometry& g, const RectFiller& fill);

} // namespace platform
