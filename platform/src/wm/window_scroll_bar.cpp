// SPDX-License-Identifier: GPL-3.0-or-later
// The vertical scroll bar the window manager keeps beside a WS_VSCROLL window's client area: its state
// (SetScrollInfo, GetScrollInfo), drawing, the stylus on it, ScrollWindowEx, and pop-ups too tall for
// the space above the input panel, which are shortened and scroll.
#include "wm/window_scroll_bar.h"

#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "wm/scroll_bar.h"
#include "wm/wm.h"

#include <algorithm>

namespace platform {
namespace {

// Positions counted from the range's start: how far the thumb can go, and where it is.
int max_offset(const ScrollBarState& s)
{
    const int total = s.m_max - s.m_min + 1;
    return std::max(0, s.m_page > 0 ? total - s.m_page : total - 1);
}

void clamp_to_range(ScrollBarState& s)
{
    if (s.m_max < s.m_min)
        s.m_max = s.m_min;
    s.m_page = std::clamp(s.m_page, 0, s.m_max - s.m_min + 1);
    s.m_pos = std::clamp(s.m_pos, s.m_min, s.m_min + max_offset(s));
}

ScrollGeometry window_bar_geometry(const Window* w)
{
    const ScrollBarState& s = w->m_vscroll;
    const RECT bar = vertical_bar_in_window(w, client_rect_in_window(w));
    const int pos = (s.m_tracking ? s.m_track_pos : s.m_pos) - s.m_min;
    return scroll_geometry(bar, pos, max_offset(s), s.m_page, s.m_max - s.m_min + 1);
}

POINT window_origin_on_screen(const Window* w)
{
    if (w->is_top_level())
        return POINT{w->m_rect.left, w->m_rect.top};
    const POINT parent = client_origin_on_screen(w->m_parent);
    return POINT{parent.x + w->m_rect.left, parent.y + w->m_rect.top};
}

POINT to_window(const Window* w, POINT screen)
{
    const POINT o = window_origin_on_screen(w);
    return POINT{screen.x - o.x, screen.y - o.y};
}

void post_scroll(Window* w, WORD code, int pos)
{
    PostMessageW(w->m_handle, WM_VSCROLL, MAKEWPARAM(code, static_cast<WORD>(pos)), 0);
}

void track_thumb(Window* w, POINT in_window)
{
    ScrollBarState& s = w->m_vscroll;
    const ScrollGeometry g = window_bar_geometry(w);
    const int pos = s.m_min + scroll_pos_for_thumb(g, in_window.y - s.m_drag_offset, max_offset(s));
    if (pos == s.m_track_pos)
        return;
    s.m_track_pos = pos;
    w->m_frame_dirty = true;
    post_scroll(w, SB_THUMBTRACK, pos);
}

} // namespace

bool has_vertical_bar(const Window* w)
{
    const ScrollBarState& s = w->m_vscroll;
    return (w->m_style & WS_VSCROLL) && s.m_set && s.m_page > 0 && s.m_max - s.m_min + 1 > s.m_page;
}

RECT vertical_bar_in_window(const Window*, const RECT& client_in_window)
{
    return RECT{client_in_window.right, client_in_window.top, client_in_window.right + scroll_bar_width(),
                client_in_window.bottom};
}

void draw_vertical_bar(Window* w, Dc& dc, const RECT& box)
{
    ScrollGeometry g = window_bar_geometry(w);
    paint_scroll_bar(g, [&](const RECT& r, COLORREF color) {
        RECT on_surface = r;
        OffsetRect(&on_surface, box.left, box.top);
        fill_rect_pixels(dc, on_surface, to_pixel(color));
    });
}

bool scroll_bar_stylus_down(Window* w, POINT screen)
{
    if (!has_vertical_bar(w) || (w->m_style & WS_DISABLED))
        return false;
    const POINT p = to_window(w, screen);
    const ScrollGeometry g = window_bar_geometry(w);
    if (!PtInRect(&g.m_bar, p))
        return false;
    ScrollBarState& s = w->m_vscroll;
    switch (scroll_part_at(g, p)) {
    case ScrollPart::LineUp: post_scroll(w, SB_LINEUP, 0); break;
    case ScrollPart::LineDown: post_scroll(w, SB_LINEDOWN, 0); break;
    case ScrollPart::PageUp: post_scroll(w, SB_PAGEUP, 0); break;
    case ScrollPart::PageDown: post_scroll(w, SB_PAGEDOWN, 0); break;
    case ScrollPart::Thumb:
        s.m_tracking = true;
        s.m_track_pos = s.m_pos;
        s.m_drag_offset = p.y - g.m_thumb.top;
        break;
    }
    return true;
}

void scroll_bar_stylus(HWND bar_owner, InputKind kind, POINT screen)
{
    Window* w = window_from_handle(bar_owner);
    if (!w)
        return;
    ScrollBarState& s = w->m_vscroll;
    if (s.m_tracking && (kind == InputKind::Move || kind == InputKind::Up))
        track_thumb(w, to_window(w, screen));
    if (kind != InputKind::Up)
        return;
    if (s.m_tracking) {
        s.m_tracking = false;
        w->m_frame_dirty = true;
        post_scroll(w, SB_THUMBPOSITION, s.m_track_pos);
    }
    post_scroll(w, SB_ENDSCROLL, 0);
}

namespace {

constexpr int kPopupScrollLine = 10;

bool is_shortened(const Window* w) { return rect_height(w->m_vscroll.m_full_rect) > 0; }

// Puts the contents of a shortened pop-up at `pos`, its children with them.
void scroll_popup_to(Window* w, int pos)
{
    const int old = w->m_vscroll.m_pos;
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, pos, 0};
    pos = SetScrollInfo(w->m_handle, SB_VERT, &info, TRUE);
    if (pos != old)
        ScrollWindowEx(w->m_handle, 0, old - pos, nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

// Back where it stood before when that is inside the area, else in the area's middle.
void restore_popup(Window* w, const RECT& area)
{
    HWND h = w->m_handle;
    scroll_popup_to(w, 0);
    ScrollBarState& s = w->m_vscroll;
    RECT full = s.m_full_rect;
    if (s.m_style_added)
        w->m_style &= ~WS_VSCROLL;
    s = ScrollBarState{};
    RECT inside;
    IntersectRect(&inside, &full, &area);
    if (!EqualRect(&inside, &full))
        OffsetRect(&full, area.left + (rect_width(area) - rect_width(full)) / 2 - full.left,
                   area.top + (rect_height(area) - rect_height(full)) / 2 - full.top);
    SetWindowPos(h, nullptr, full.left, full.top, rect_width(full), rect_height(full),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void shorten_popup(Window* w, const RECT& area)
{
    HWND h = w->m_handle;
    ScrollBarState& s = w->m_vscroll;
    if (!is_shortened(w))
        s.m_full_rect = w->m_rect;
    const RECT full = s.m_full_rect;
    // The frame around the client area, measured without the bar, which only takes width.
    const int frame_height = rect_height(w->m_rect) - rect_height(client_rect_in_window(w));
    if (!(w->m_style & WS_VSCROLL)) {
        w->m_style |= WS_VSCROLL;
        s.m_style_added = true;
    }
    const int width = std::min(rect_width(full) + scroll_bar_width(), rect_width(area));
    const int x = std::clamp(static_cast<int>(w->m_rect.left), static_cast<int>(area.left),
                             static_cast<int>(area.right) - width);
    SetWindowPos(h, nullptr, x, area.top, width, rect_height(area), SWP_NOZORDER | SWP_NOACTIVATE);
    if (!window_from_handle(h))
        return;
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, rect_height(full) - frame_height - 1,
                    static_cast<UINT>(std::max(1, rect_height(area) - frame_height)), 0, 0};
    SetScrollInfo(h, SB_VERT, &info, TRUE);
    if (Window* focus = window_from_handle(GetFocus()))
        scroll_focus_into_view(focus);
}

} // namespace

bool fit_popup_by_scrolling(Window* w, const RECT& area)
{
    const bool scrolls = (w->m_style & WS_POPUP) && !w->m_children.empty();
    const int full_height = is_shortened(w) ? rect_height(w->m_vscroll.m_full_rect) : rect_height(w->m_rect);
    if (full_height <= rect_height(area)) {
        if (!is_shortened(w))
            return false;
        restore_popup(w, area);
        return true;
    }
    if (!scrolls)
        return false;
    shorten_popup(w, area);
    return true;
}

void scroll_shortened_popup(Window* w, WPARAM request)
{
    if (!is_shortened(w))
        return;
    const ScrollBarState& s = w->m_vscroll;
    int pos = s.m_pos;
    switch (LOWORD(request)) {
    case SB_LINEUP: pos -= kPopupScrollLine; break;
    case SB_LINEDOWN: pos += kPopupScrollLine; break;
    case SB_PAGEUP: pos -= s.m_page; break;
    case SB_PAGEDOWN: pos += s.m_page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = HIWORD(request); break;
    case SB_TOP: pos = s.m_min; break;
    case SB_BOTTOM: pos = s.m_max; break;
    default: return;
    }
    scroll_popup_to(w, pos);
}

void scroll_focus_into_view(Window* control)
{
    Window* top = top_level_of(control);
    if (!top || top == control || !is_shortened(top))
        return;
    Window* child = control;
    while (child->m_parent != top)
        child = child->m_parent;
    const int client_height = rect_height(client_rect_in_window(top));
    const int pos = top->m_vscroll.m_pos;
    if (child->m_rect.top < 0)
        scroll_popup_to(top, pos + child->m_rect.top);
    else if (child->m_rect.bottom > client_height)
        scroll_popup_to(top, pos + std::min<int>(child->m_rect.bottom - client_height, child->m_rect.top));
}

} // namespace platform

using namespace platform;

namespace {

// Showing or hiding the bar changes the client area: the window is told as for a change of its frame.
void frame_changed(HWND hwnd)
{
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace

int WINAPI SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !info || bar != SB_VERT)
        return 0;
    const bool shown = has_vertical_bar(w);
    ScrollBarState& s = w->m_vscroll;
    s.m_set = true;
    if (info->fMask & SIF_RANGE) {
        s.m_min = info->nMin;
        s.m_max = info->nMax;
    }
    if (info->fMask & SIF_PAGE)
        s.m_page = static_cast<int>(std::min<UINT>(info->nPage, 0x7FFFFFFF));
    if (info->fMask & SIF_POS)
        s.m_pos = info->nPos;
    clamp_to_range(s);
    const int pos = s.m_pos;
    if (has_vertical_bar(w) != shown)
        frame_changed(hwnd);
    else if (redraw)
        w->m_frame_dirty = true;
    return pos;
}

BOOL WINAPI GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !info || bar != SB_VERT || !(w->m_style & WS_VSCROLL))
        return FALSE;
    const ScrollBarState& s = w->m_vscroll;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s.m_min;
        info->nMax = s.m_max;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = static_cast<UINT>(s.m_page);
    if (info->fMask & SIF_POS)
        info->nPos = s.m_pos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = s.m_tracking ? s.m_track_pos : s.m_pos;
    return TRUE;
}

int WINAPI SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    Window* w = window_from_handle(hwnd);
    if (!w || bar != SB_VERT)
        return 0;
    const int previous = w->m_vscroll.m_pos;
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &info, redraw);
    return previous;
}

int WINAPI GetScrollPos(HWND hwnd, int bar)
{
    Window* w = window_from_handle(hwnd);
    return w && bar == SB_VERT ? w->m_vscroll.m_pos : 0;
}

// The children move with the contents when asked (SW_SCROLLCHILDREN); the client area is then repainted
// whole, which shows what a pixel copy plus a repaint of the uncovered strip would show.
int WINAPI ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT*, const RECT*, HRGN, LPRECT updateRect, UINT flags)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return 0; // ERROR
    if (flags & SW_SCROLLCHILDREN)
        for (Window* c : w->m_children)
            OffsetRect(&c->m_rect, dx, dy);
    const RECT c = client_rect_in_window(w);
    RECT client{0, 0, rect_width(c), rect_height(c)};
    if (flags & SW_INVALIDATE) {
        invalidate_window(w, nullptr, (flags & SW_ERASE) != 0);
        for (Window* child : w->m_children)
            invalidate_window(child, nullptr, true);
    }
    if (updateRect)
        *updateRect = client;
    return (dx == 0 && dy == 0) ? 1 : 2; // NULLREGION, SIMPLEREGION
}
