// SPDX-License-Identifier: GPL-3.0-or-later
// Scroll bar geometry and drawing: arrow boxes, track and thumb, shared by the window manager's bar and
// the list box's own.
#include "wm/scroll_bar.h"

#include "gdi/surface.h"

#include <algorithm>

namespace platform {

int scroll_bar_width()
{
    const int width = GetSystemMetrics(SM_CXVSCROLL);
    return width > 0 ? width : 13;
}

ScrollGeometry scroll_geometry(const RECT& bar, int pos, int max_pos, int page, int total)
{
    const int w = rect_width(bar);
    ScrollGeometry g{};
    g.m_bar = bar;
    g.m_up = RECT{bar.left, bar.top, bar.right, bar.top + w};
    g.m_down = RECT{bar.left, bar.bottom - w, bar.right, bar.bottom};
    g.m_track_top = g.m_up.bottom;
    g.m_track_len = std::max(0, static_cast<int>(g.m_down.top - g.m_up.bottom));
    const int n = std::max(1, total);
    g.m_thumb_len = std::clamp(g.m_track_len * page / n, std::min(8, g.m_track_len), g.m_track_len);
    const int range = std::max(1, max_pos);
    const int thumb_top = g.m_track_top + (g.m_track_len - g.m_thumb_len) * pos / range;
    g.m_thumb = RECT{bar.left, thumb_top, bar.right, thumb_top + g.m_thumb_len};
    return g;
}

int scroll_pos_for_thumb(const ScrollGeometry& g, int thumb_top, int max_pos)
{
    const int travel = g.m_track_len - g.m_thumb_len;
    if (travel <= 0)
        return 0;
    const int offset = std::clamp(thumb_top - g.m_track_top, 0, travel);
    return (offset * max_pos + travel / 2) / travel;
}

ScrollPart scroll_part_at(const ScrollGeometry& g, POINT p)
{
    if (PtInRect(&g.m_up, p))
        return ScrollPart::LineUp;
    if (PtInRect(&g.m_down, p))
        return ScrollPart::LineDown;
    if (p.y < g.m_thumb.top)
        return ScrollPart::PageUp;
    if (p.y >= g.m_thumb.bottom)
        return ScrollPart::PageDown;
    return ScrollPart::Thumb;
}

namespace {

void paint_arrow(const RECT& box, bool up, COLORREF ink, const RectFiller& fill)
{
    const int cx = (box.left + box.right) / 2;
    const int cy = (box.top + box.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        const int y = up ? cy - 2 + i : cy + 1 - i;
        fill(RECT{cx - i, y, cx + i + 1, y + 1}, ink);
    }
}

void paint_frame(const RECT& r, COLORREF ink, const RectFiller& fill)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    fill(RECT{r.left, r.top, r.right, r.top + 1}, ink);
    fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, ink);
    fill(RECT{r.left, r.top, r.left + 1, r.bottom}, ink);
    fill(RECT{r.right - 1, r.top, r.right, r.bottom}, ink);
}

} // namespace

void paint_scroll_bar(const ScrollGeometry& g, const RectFiller& fill)
{
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    fill(g.m_bar, GetSysColor(COLOR_BTNFACE));
    for (const RECT* box : {&g.m_up, &g.m_down}) {
        fill(*box, GetSysColor(COLOR_WINDOW));
        paint_frame(*box, ink, fill);
    }
    paint_arrow(g.m_up, true, ink, fill);
    paint_arrow(g.m_down, false, ink, fill);
    fill(g.m_thumb, GetSysColor(COLOR_BTNSHADOW));
    paint_frame(g.m_thumb, ink, fill);
}

} // namespace platform
