// SPDX-License-Identifier: GPL-3.0-or-later
// Invalidation, update regions and window device contexts (BeginPaint, GetDC).
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "wm/wm.h"

#include <algorithm>

namespace platform {
namespace {

RECT client_box(const Window* w)
{
    RECT c = client_rect_in_window(w);
    return RECT{0, 0, c.right - c.left, c.bottom - c.top};
}

// The visible part of a window's client area on its surface, before any update-region limit.
Region visible_client_region(Window* w, bool clip_children)
{
    Surface* surface = surface_of(w);
    if (!surface)
        return {};
    for (Window* a = w; a && !a->is_top_level(); a = a->m_parent)
        if (!(a->m_style & WS_VISIBLE))
            return {};
    POINT o = client_origin_on_surface(w);
    RECT box = client_box(w);
    OffsetRect(&box, o.x, o.y);
    RECT whole{0, 0, surface->m_width, surface->m_height};
    IntersectRect(&box, &box, &whole);
    for (Window* a = w->m_parent; a; a = a->m_parent) {
        POINT ao = client_origin_on_surface(a);
        RECT ab = client_box(a);
        OffsetRect(&ab, ao.x, ao.y);
        IntersectRect(&box, &box, &ab);
    }
    Region region;
    if (!IsRectEmpty(&box))
        region.push_back(box);
    if (clip_children && (w->m_style & WS_CLIPCHILDREN)) {
        for (Window* c : w->m_children) {
            if (!(c->m_style & WS_VISIBLE))
                continue;
            RECT r = c->m_rect;
            OffsetRect(&r, o.x, o.y);
            region = region_subtract(region, r);
        }
    }
    if (!w->is_top_level() && (w->m_style & WS_CLIPSIBLINGS)) {
        POINT po = client_origin_on_surface(w->m_parent);
        for (Window* s : w->m_parent->m_children) {
            if (s == w)
                break;
            if (!(s->m_style & WS_VISIBLE))
                continue;
            RECT r = s->m_rect;
            OffsetRect(&r, po.x, po.y);
            region = region_subtract(region, r);
        }
    }
    return region;
}

} // namespace

void invalidate_window(Window* w, const RECT* client_rect, bool erase)
{
    if (!w || !w->m_alive)
        return;
    RECT box = client_box(w);
    RECT r = box;
    if (client_rect)
        IntersectRect(&r, client_rect, &box);
    w->m_frame_dirty = true;
    if (IsRectEmpty(&r))
        return;
    if (IsRectEmpty(&w->m_update))
        w->m_update = r;
    else
        UnionRect(&w->m_update, &w->m_update, &r);
    w->m_erase = w->m_erase || erase;
    // Without WS_CLIPCHILDREN the parent paints over its children, so they are painted again after it.
    if (w->m_style & WS_CLIPCHILDREN)
        return;
    for (Window* c : w->m_children) {
        if (!(c->m_style & WS_VISIBLE))
            continue;
        RECT overlap;
        if (!IntersectRect(&overlap, &r, &c->m_rect))
            continue;
        RECT cc = client_rect_in_window(c);
        OffsetRect(&overlap, -(c->m_rect.left + cc.left), -(c->m_rect.top + cc.top));
        c->m_frame_dirty = true;
        invalidate_window(c, &overlap, erase);
    }
}

void invalidate_all()
{
    for (Window* top : top_level_order()) {
        std::vector<Window*> stack{top};
        while (!stack.empty()) {
            Window* w = stack.back();
            stack.pop_back();
            invalidate_window(w, nullptr, true);
            for (Window* c : w->m_children)
                stack.push_back(c);
        }
    }
}

HDC make_window_dc(Window* w, const RECT* limit_client, bool clip_children)
{
    HDC hdc = CreateCompatibleDC(nullptr);
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return nullptr;
    dc->m_memory = false;
    dc->m_window = w->m_handle;
    dc->m_surface = surface_of(w);
    dc->m_origin = client_origin_on_surface(w);
    dc->m_clip = visible_client_region(w, clip_children);
    if (limit_client) {
        RECT r = *limit_client;
        OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
        dc->m_clip = region_intersect(dc->m_clip, r);
    }
    HFONT font = w->m_font;
    if (font)
        SelectObject(hdc, font);
    return hdc;
}

} // namespace platform

using namespace platform;

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    Window* w = window_from_handle(hwnd);
    if (!w) {
        if (hwnd)
            return FALSE;
        invalidate_all(); // NULL: every window, as Win32 does
        return TRUE;
    }
    invalidate_window(w, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return FALSE;
    if (!rect) {
        SetRectEmpty(&w->m_update);
        w->m_erase = false;
        return TRUE;
    }
    // The update area is kept as one rectangle: a validated band along a whole edge shrinks it.
    RECT& u = w->m_update;
    RECT inter;
    if (!IntersectRect(&inter, &u, rect))
        return TRUE;
    if (EqualRect(&inter, &u)) {
        SetRectEmpty(&u);
        w->m_erase = false;
    } else if (inter.left == u.left && inter.right == u.right) {
        if (inter.top == u.top)
            u.top = inter.bottom;
        else if (inter.bottom == u.bottom)
            u.bottom = inter.top;
    } else if (inter.top == u.top && inter.bottom == u.bottom) {
        if (inter.left == u.left)
            u.left = inter.right;
        else if (inter.right == u.right)
            u.right = inter.left;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = w->m_update;
    return !IsRectEmpty(&w->m_update);
}

namespace {

// The window, then its children: each paints now if it has something to paint (as Win32's
// UpdateWindow does for the whole family).
void update_now(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !is_really_visible(w))
        return;
    if (w->m_frame_dirty)
        draw_non_client(w);
    if (!IsRectEmpty(&w->m_update))
        send(w, WM_PAINT, 0, 0);
    w = window_from_handle(hwnd);
    if (!w)
        return;
    std::vector<HWND> children;
    for (auto it = w->m_children.rbegin(); it != w->m_children.rend(); ++it)
        children.push_back((*it)->m_handle);
    for (HWND c : children)
        update_now(c);
}

} // namespace

BOOL WINAPI UpdateWindow(HWND hwnd)
{
    if (!window_from_handle(hwnd))
        return FALSE;
    update_now(hwnd);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !ps)
        return nullptr;
    if (w->m_frame_dirty)
        draw_non_client(w);
    RECT update = w->m_update;
    bool erase = w->m_erase;
    SetRectEmpty(&w->m_update);
    w->m_erase = false;
    HDC dc = make_window_dc(w, &update, true);
    *ps = PAINTSTRUCT{};
    ps->hdc = dc;
    ps->rcPaint = update;
    ps->fErase = FALSE;
    if (erase && !IsRectEmpty(&update))
        ps->fErase = send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* ps)
{
    if (ps && ps->hdc)
        release_dc(ps->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd)
{
    if (!hwnd)
        return CreateCompatibleDC(nullptr); // measuring only: nothing is drawn
    Window* w = window_from_handle(hwnd);
    return w ? make_window_dc(w, nullptr, true) : nullptr;
}

int WINAPI ReleaseDC(HWND, HDC dc)
{
    if (!dc_from_handle(dc))
        return 0;
    release_dc(dc);
    return 1;
}
