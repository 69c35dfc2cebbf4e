// SPDX-License-Identifier: GPL-3.0-or-later
// The window manager: classes, creation and destruction, geometry, visibility, z-order, activation, focus.
#include "controls/control_classes.h"
#include "device/device.h"
#include "device/handles.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "shell/instance_registry.h"
#include "shell/menu_bar.h"
#include "text/text.h"
#include "wm/wm.h"
#include "wm/scroll_bar.h"
#include "wm/window_scroll_bar.h"

#include <algorithm>
#include <cwctype>

namespace platform {

WindowState& state() { return device().m_windows; }

bool same_name(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

bool is_inside(const Window* w, const Window* ancestor)
{
    for (; w; w = w->m_parent)
        if (w == ancestor)
            return true;
    return false;
}

void publish_if_shown(Window* w, bool shown)
{
    if (!w->is_top_level() || in_shell_layer(w))
        return;
    if (shown)
        instances::publish(w->m_class->m_name, w->m_text);
    else
        instances::withdraw(w->m_class->m_name, w->m_text);
}

namespace {

HandleTable<Window>& window_table() { return state().m_table; }
std::vector<HWND>& destroyed_windows() { return state().m_destroyed; }
std::vector<std::unique_ptr<WindowClass>>& class_list() { return state().m_classes; }

// Counts one window procedure call for as long as it runs, on the device it began on: a procedure that
// stopped the device (a test's step) returns to a new one, or to none.
class SendInProgress {
public:
    SendInProgress() : m_device(device()), m_number(m_device.m_number) { ++m_device.m_windows.m_send_depth; }
    ~SendInProgress()
    {
        if (is_running(&m_device, m_number))
            --m_device.m_windows.m_send_depth;
    }
    SendInProgress(const SendInProgress&) = delete;
    SendInProgress& operator=(const SendInProgress&) = delete;

private:
    Device& m_device;
    uint32_t m_number;
};

WindowClass* find_class(LPCWSTR name)
{
    if (name == nullptr)
        return nullptr;
    auto& classes = class_list();
    if (IS_INTRESOURCE(name)) {
        size_t atom = reinterpret_cast<uintptr_t>(name);
        if (atom < 0xC000 || atom - 0xC000 >= classes.size())
            return nullptr;
        WindowClass* c = classes[atom - 0xC000].get();
        return c->m_name.empty() ? nullptr : c;
    }
    for (auto& c : classes)
        if (!c->m_name.empty() && same_name(c->m_name, name))
            return c.get();
    return nullptr;
}

bool has_caption(const Window* w)
{
    return w->is_top_level() && (w->m_style & WS_CAPTION) == WS_CAPTION;
}

bool has_frame(const Window* w)
{
    return has_caption(w) || (w->m_style & WS_BORDER) || (w->m_ex_style & WS_EX_CLIENTEDGE) ||
           (w->is_top_level() && (w->m_style & WS_DLGFRAME));
}

void remove_from(std::vector<Window*>& list, Window* w)
{
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

Window* next_activatable(const Window* skip)
{
    for (Window* w : state().m_top_levels)
        if (w != skip && w->m_alive && !w->m_destroying && (w->m_style & WS_VISIBLE) &&
            !(w->m_style & WS_DISABLED))
            return w;
    return nullptr;
}

void set_size_messages(Window* w, bool moved, bool sized)
{
    HWND h = w->m_handle;
    if (sized) {
        RECT c = client_rect_in_window(w);
        send(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect_width(c), rect_height(c)));
    }
    if (moved && window_from_handle(h)) {
        POINT o = client_origin_on_screen(w);
        if (!w->is_top_level()) {
            RECT c = client_rect_in_window(w);
            o = POINT{w->m_rect.left + c.left, w->m_rect.top + c.top};
        }
        send(w, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
    }
}

// The part of the parent a child covered, to be repainted when the child moves away or disappears.
void expose_parent_area(Window* w)
{
    if (w->is_top_level() || !(w->m_style & WS_VISIBLE))
        return;
    invalidate_window(w->m_parent, &w->m_rect, true);
}

void resize_surface(Window* w)
{
    if (!w->is_top_level())
        return;
    if (!w->m_surface)
        w->m_surface = std::make_unique<Surface>();
    int width = std::max(1, rect_width(w->m_rect));
    int height = std::max(1, rect_height(w->m_rect));
    if (w->m_surface->m_width != width || w->m_surface->m_height != height)
        w->m_surface->resize(width, height, 0xFFFFFF);
}

void invalidate_tree(Window* w)
{
    invalidate_window(w, nullptr, true);
    for (Window* c : w->m_children)
        invalidate_tree(c);
}

void destroy_recursive(Window* w);

void finish_destroy(Window* w)
{
    WindowState& s = state();
    if (s.m_focus && is_inside(s.m_focus, w))
        s.m_focus = nullptr;
    if (s.m_capture && is_inside(s.m_capture, w))
        s.m_capture = nullptr;
    w->m_alive = false;
    if (w->m_parent) {
        remove_from(w->m_parent->m_children, w);
    } else {
        remove_from(s.m_top_levels, w);
        remove_from(s.m_shell_windows, w);
    }
    if (s.m_active == w)
        s.m_active = nullptr;
    w->m_surface.reset();
    destroyed_windows().push_back(w->m_handle);
}

void destroy_recursive(Window* w)
{
    if (!w->m_alive || w->m_destroying)
        return;
    w->m_destroying = true;
    HWND h = w->m_handle;
    WindowState& s = state();
    if (w->is_top_level()) {
        // Owned windows (dialogs, the shell's menu bars) go first, as in Win32.
        std::vector<Window*> owned;
        for (Window* o : s.m_top_levels)
            if (o->m_owner == w)
                owned.push_back(o);
        for (Window* o : s.m_shell_windows)
            if (o->m_owner == w)
                owned.push_back(o);
        for (Window* o : owned)
            destroy_recursive(o);
    }
    if (w->is_top_level() && (w->m_style & WS_VISIBLE) && !in_shell_layer(w)) {
        publish_if_shown(w, false);
        w->m_style &= ~WS_VISIBLE;
        if (s.m_active == w) {
            Window* next = next_activatable(w);
            if (next)
                activate_window(next, WA_ACTIVE);
            else {
                send(w, WM_ACTIVATE, WA_INACTIVE, 0);
                if (s.m_active == w)
                    s.m_active = nullptr;
            }
        }
    } else {
        expose_parent_area(w);
    }
    if (s.m_focus && is_inside(s.m_focus, w))
        s.m_focus = nullptr;
    send(w, WM_DESTROY, 0, 0);
    std::vector<Window*> children = w->m_children;
    for (Window* c : children)
        destroy_recursive(c);
    if (window_from_handle(h) || w->m_alive)
        send(w, WM_NCDESTROY, 0, 0);
    finish_destroy(w);
}

void show(Window* w, bool visible, bool activate)
{
    bool was = (w->m_style & WS_VISIBLE) != 0;
    if (was == visible) {
        if (visible && activate && w->is_top_level() && !in_shell_layer(w))
            activate_window(w, WA_ACTIVE);
        return;
    }
    HWND h = w->m_handle;
    send(w, WM_SHOWWINDOW, visible, 0);
    if (!window_from_handle(h))
        return;
    if (visible) {
        w->m_style |= WS_VISIBLE;
        invalidate_tree(w);
        if (w->is_top_level() && !in_shell_layer(w)) {
            publish_if_shown(w, true);
            bring_to_top(w);
            if (activate)
                activate_window(w, WA_ACTIVE);
        }
    } else {
        expose_parent_area(w);
        w->m_style &= ~WS_VISIBLE;
        WindowState& s = state();
        if (s.m_focus && s.m_focus != w && is_inside(s.m_focus, w) && !w->is_top_level())
            s.m_focus = nullptr;
        if (w->is_top_level() && !in_shell_layer(w)) {
            publish_if_shown(w, false);
            if (s.m_active == w) {
                Window* next = next_activatable(w);
                if (next)
                    activate_window(next, WA_ACTIVE);
                else {
                    s.m_active = nullptr;
                    send(w, WM_ACTIVATE, WA_INACTIVE, 0);
                }
            }
        }
    }
}

} // namespace

// ---- Internal interface ----------------------------------------------------------------------------

// Keeps owned windows above their owner, as the Win32 z-order does.
void bring_to_top(Window* w)
{
    auto& order = state().m_top_levels;
    remove_from(order, w);
    order.insert(order.begin(), w);
    std::vector<Window*> owned;
    for (Window* o : order)
        if (o != w && o->m_owner == w)
            owned.push_back(o);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        remove_from(order, *it);
        order.insert(order.begin(), *it);
    }
}

Window* window_from_handle(HWND hwnd)
{
    Window* w = window_table().get(reinterpret_cast<uintptr_t>(hwnd));
    return (w && w->m_alive) ? w : nullptr;
}

Window* top_level_of(Window* w)
{
    while (w && w->m_parent)
        w = w->m_parent;
    return w;
}

RECT client_rect_in_window(const Window* w)
{
    RECT r{0, 0, rect_width(w->m_rect), rect_height(w->m_rect)};
    if (has_frame(w))
        InflateRect(&r, -1, -1);
    if (has_caption(w))
        r.top += caption_height;
    if (has_vertical_bar(w))
        r.right -= scroll_bar_width();
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

POINT client_origin_on_surface(const Window* w)
{
    RECT c = client_rect_in_window(w);
    if (w->is_top_level())
        return POINT{c.left, c.top};
    POINT p = client_origin_on_surface(w->m_parent);
    return POINT{p.x + w->m_rect.left + c.left, p.y + w->m_rect.top + c.top};
}

POINT client_origin_on_screen(const Window* w)
{
    const Window* top = top_level_of(const_cast<Window*>(w));
    POINT p = client_origin_on_surface(w);
    return POINT{p.x + top->m_rect.left, p.y + top->m_rect.top};
}

bool is_really_visible(const Window* w)
{
    for (; w; w = w->m_parent)
        if (!(w->m_style & WS_VISIBLE))
            return false;
    return true;
}

std::vector<Window*>& top_level_order() { return state().m_top_levels; }
std::vector<Window*>& shell_windows() { return state().m_shell_windows; }

bool in_shell_layer(const Window* w)
{
    const auto& shell = state().m_shell_windows;
    return std::find(shell.begin(), shell.end(), w) != shell.end();
}

void move_to_shell_layer(Window* w)
{
    remove_from(state().m_top_levels, w);
    state().m_shell_windows.push_back(w);
    w->m_style |= WS_VISIBLE;
}
Window* active_window() { return state().m_active; }

LRESULT send(Window* w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (!w || !w->m_alive || !w->m_proc)
        return 0;
    SendInProgress in_progress;
    return w->m_proc(w->m_handle, msg, wp, lp);
}

void release_destroyed_windows()
{
    auto& dead = destroyed_windows();
    if (state().m_send_depth > 0 || dead.empty())
        return;
    std::vector<Window*> gone;
    for (HWND h : dead)
        gone.push_back(window_table().get(reinterpret_cast<uintptr_t>(h)));
    auto is_gone = [&](const Window* w) { return w && std::find(gone.begin(), gone.end(), w) != gone.end(); };
    // Owned windows go before their owner, so no live record should point here; make sure of it.
    window_table().for_each([&](Window* w) {
        if (is_gone(w->m_owner))
            w->m_owner = nullptr;
    });
    WindowState& s = state();
    for (Window** p : {&s.m_active, &s.m_focus, &s.m_capture})
        if (is_gone(*p))
            *p = nullptr;
    for (HWND h : dead)
        window_table().remove(reinterpret_cast<uintptr_t>(h));
    dead.clear();
}

size_t window_record_count() { return window_table().size(); }

void activate_window(Window* w, WORD how)
{
    WindowState& s = state();
    if (!w || !w->m_alive || in_shell_layer(w))
        return;
    w = top_level_of(w);
    bring_to_top(w);
    if (s.m_active == w)
        return;
    Window* old = s.m_active;
    HWND old_handle = old ? old->m_handle : nullptr;
    HWND handle = w->m_handle;
    s.m_active = w;
    if (old && old->m_alive)
        send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(handle));
    if (!window_from_handle(handle) || s.m_active != w)
        return;
    send(w, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(old_handle));
    // A window procedure that keeps WM_ACTIVATE to itself still gets the keyboard.
    if (window_from_handle(handle) && s.m_active == w && !(s.m_focus && is_inside(s.m_focus, w)))
        SetFocus(handle);
    menu_close();
}

Window* find_deepest_child(Window* top, POINT screen)
{
    Window* w = top;
    for (;;) {
        POINT o = client_origin_on_screen(w);
        POINT local{screen.x - o.x, screen.y - o.y};
        Window* hit = nullptr;
        for (Window* c : w->m_children) {
            if (!(c->m_style & WS_VISIBLE))
                continue;
            if (local.x >= c->m_rect.left && local.x < c->m_rect.right && local.y >= c->m_rect.top &&
                local.y < c->m_rect.bottom) {
                hit = c;
                break;
            }
        }
        if (!hit || (hit->m_style & WS_DISABLED))
            return w;
        w = hit;
    }
}

void destroy_all_windows()
{
    WindowState& s = state();
    for (int guard = 0; guard < 100000; ++guard) {
        Window* w = nullptr;
        if (!s.m_top_levels.empty())
            w = s.m_top_levels.back();
        else if (!s.m_shell_windows.empty())
            w = s.m_shell_windows.back();
        if (!w)
            break;
        if (w->m_destroying) { // a procedure left it half destroyed: drop it
            finish_destroy(w);
            continue;
        }
        destroy_recursive(w);
    }
}

void draw_non_client(Window* w)
{
    w->m_frame_dirty = false;
    if (!(has_frame(w) || has_vertical_bar(w)) || !is_really_visible(w))
        return;
    Surface* surface = surface_of(w);
    if (!surface)
        return;
    POINT origin{0, 0};
    if (!w->is_top_level()) {
        POINT p = client_origin_on_surface(w->m_parent);
        origin = POINT{p.x + w->m_rect.left, p.y + w->m_rect.top};
    }
    RECT box{origin.x, origin.y, origin.x + rect_width(w->m_rect), origin.y + rect_height(w->m_rect)};
    // Clip to the ancestors' client areas.
    RECT clip = box;
    for (Window* a = w->m_parent; a; a = a->m_parent) {
        POINT ao = client_origin_on_surface(a);
        RECT ac = client_rect_in_window(a);
        RECT ar{ao.x, ao.y, ao.x + rect_width(ac), ao.y + rect_height(ac)};
        IntersectRect(&clip, &clip, &ar);
    }
    RECT whole{0, 0, surface->m_width, surface->m_height};
    IntersectRect(&clip, &clip, &whole);
    Dc dc;
    dc.m_surface = surface;
    dc.m_clip = {clip};
    uint32_t frame = w->is_top_level() ? 0x000000 : 0x7F7F7F;
    RECT edges[4] = {{box.left, box.top, box.right, box.top + 1},
                     {box.left, box.bottom - 1, box.right, box.bottom},
                     {box.left, box.top, box.left + 1, box.bottom},
                     {box.right - 1, box.top, box.right, box.bottom}};
    if (has_frame(w))
        for (const RECT& e : edges)
            fill_rect_pixels(dc, e, frame);
    if (has_vertical_bar(w))
        draw_vertical_bar(w, dc, box);
    if (has_caption(w)) {
        RECT bar{box.left + 1, box.top + 1, box.right - 1, box.top + 1 + caption_height};
        fill_rect_pixels(dc, bar, navy);
        RECT text_clip = bar;
        IntersectRect(&text_clip, &text_clip, &clip);
        int y = bar.top + (caption_height - (font_metrics().m_ascent + font_metrics().m_descent)) / 2;
        draw_text_on_surface(*surface, text_clip, bar.left + 4, y, w->m_text, 0xFFFFFF);
    }
}

Surface* surface_of(Window* w)
{
    Window* top = top_level_of(w);
    return top ? top->m_surface.get() : nullptr;
}

} // namespace platform

using namespace platform;

// ---- Classes ----------------------------------------------------------------------------------------

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) ||
        !*wc->lpszClassName || find_class(wc->lpszClassName))
        return 0;
    auto c = std::make_unique<WindowClass>();
    c->m_name = wc->lpszClassName;
    c->m_info = *wc;
    c->m_info.lpszClassName = nullptr;
    c->m_info.lpszMenuName = nullptr;
    auto& classes = class_list();
    classes.push_back(std::move(c));
    return static_cast<ATOM>(0xC000 + classes.size() - 1);
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    WindowClass* c = find_class(className);
    if (!c)
        return FALSE;
    bool used = false;
    window_table().for_each([&](Window* w) { used = used || (w->m_alive && w->m_class == c); });
    if (used)
        return FALSE;
    c->m_name.clear(); // the record stays: dead windows may still point at it
    return TRUE;
}

BOOL WINAPI GetClassInfoW(HINSTANCE, LPCWSTR className, LPWNDCLASSW wc)
{
    WindowClass* c = find_class(className);
    if (!c || !wc)
        return FALSE;
    *wc = c->m_info;
    wc->lpszClassName = c->m_name.c_str();
    return TRUE;
}

int WINAPI GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !buffer || maxCount <= 0)
        return 0;
    size_t n = std::min(w->m_class->m_name.size(), static_cast<size_t>(maxCount - 1));
    std::copy_n(w->m_class->m_name.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}

// ---- Creation and destruction --------------------------------------------------------------------------

namespace {

// A new record in the family of its parent (child) or among the top-level windows (at the bottom until
// shown). CW_USEDEFAULT places a top-level window on the work area below the navigation bar.
Window* new_window(WindowClass* c, Window* parent, DWORD style, DWORD ex_style, int x, int y, int width,
                   int height, HMENU menu, HINSTANCE instance)
{
    auto record = std::make_unique<Window>();
    Window* w = record.get();
    w->m_handle = reinterpret_cast<HWND>(window_table().add(std::move(record)));
    if (!w->m_handle)
        return nullptr; // the table is full and has freed the record
    w->m_class = c;
    w->m_proc = c->m_info.lpfnWndProc;
    w->m_style = style & ~WS_VISIBLE;
    w->m_ex_style = ex_style;
    w->m_instance = instance;
    w->m_extra.assign((std::max(0, c->m_info.cbWndExtra) + sizeof(LONG_PTR) - 1) / sizeof(LONG_PTR) + 1, 0);
    w->m_created_order = ++state().m_creation_counter;
    Device& d = device();
    if (style & WS_CHILD) {
        w->m_parent = parent;
        w->m_id = reinterpret_cast<LONG_PTR>(menu);
        if (x == CW_USEDEFAULT)
            x = y = 0;
        if (width == CW_USEDEFAULT)
            width = height = 0;
        parent->m_children.push_back(w);
    } else {
        w->m_owner = parent ? top_level_of(parent) : nullptr;
        if (x == CW_USEDEFAULT) {
            x = 0;
            y = nav_bar_height;
        }
        if (width == CW_USEDEFAULT) {
            width = d.m_width;
            height = d.m_height - nav_bar_height;
        }
        state().m_top_levels.push_back(w);
    }
    w->m_rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    resize_surface(w);
    invalidate_window(w, nullptr, true);
    return w;
}

} // namespace

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    WindowClass* c = find_class(className);
    Window* parent_window = parent ? window_from_handle(parent) : nullptr;
    if (!c || (parent && (!parent_window || parent_window->m_destroying)) || ((style & WS_CHILD) && !parent_window))
        return nullptr;
    Window* w = new_window(c, parent_window, style, exStyle, x, y, width, height, menu, instance);
    if (!w)
        return nullptr;
    w->m_text = windowName && !IS_INTRESOURCE(windowName) ? windowName : L"";
    HWND h = w->m_handle;
    // WM_CREATE sees the place and size given, CW_USEDEFAULT already resolved.
    const RECT& r = w->m_rect;
    CREATESTRUCTW cs{param, instance, menu, parent, rect_height(r), rect_width(r), static_cast<int>(r.top),
                     static_cast<int>(r.left), static_cast<LONG>(style), windowName, className, exStyle};
    if (!send(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) || !window_from_handle(h) ||
        send(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!window_from_handle(h))
        return nullptr;
    set_size_messages(w, true, true);
    if (window_from_handle(h) && (style & WS_VISIBLE))
        show(w, true, true);
    return window_from_handle(h) ? h : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    if (!w || w->m_destroying)
        return FALSE;
    destroy_recursive(w);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return window_from_handle(hwnd) != nullptr; }

// ---- Visibility and geometry ----------------------------------------------------------------------------

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return FALSE;
    BOOL was = (w->m_style & WS_VISIBLE) != 0;
    bool visible = cmdShow != SW_HIDE && cmdShow != SW_MINIMIZE;
    bool activate = cmdShow != SW_SHOWNA && cmdShow != SW_SHOWNOACTIVATE && cmdShow != SW_MINIMIZE;
    show(w, visible, activate);
    return was;
}

BOOL WINAPI IsWindowVisible(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    return w && is_really_visible(w);
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return FALSE;
    RECT old = w->m_rect;
    RECT next = old;
    if (!(flags & SWP_NOMOVE))
        OffsetRect(&next, x - old.left, y - old.top);
    if (!(flags & SWP_NOSIZE)) {
        next.right = next.left + std::max(0, cx);
        next.bottom = next.top + std::max(0, cy);
    }
    bool moved = next.left != old.left || next.top != old.top;
    bool sized = rect_width(next) != rect_width(old) || rect_height(next) != rect_height(old);
    bool frame = (flags & SWP_FRAMECHANGED) != 0;
    if (moved || sized || frame) {
        expose_parent_area(w);
        w->m_rect = next;
        resize_surface(w);
        if (sized || frame || !w->is_top_level())
            invalidate_tree(w);
        HWND h = w->m_handle;
        set_size_messages(w, moved, sized || frame);
        if (!window_from_handle(h))
            return TRUE;
    }
    if (!(flags & SWP_NOZORDER) && w->is_top_level() && !in_shell_layer(w) &&
        (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST))
        bring_to_top(w);
    if (flags & SWP_SHOWWINDOW)
        show(w, true, !(flags & SWP_NOACTIVATE));
    else if (flags & SWP_HIDEWINDOW)
        show(w, false, false);
    else if (!(flags & SWP_NOACTIVATE) && !(flags & SWP_NOZORDER) && w->is_top_level() &&
             (w->m_style & WS_VISIBLE) && insertAfter == HWND_TOP)
        activate_window(w, WA_ACTIVE);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !rect)
        return FALSE;
    RECT c = client_rect_in_window(w);
    *rect = RECT{0, 0, rect_width(c), rect_height(c)};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !rect)
        return FALSE;
    if (w->is_top_level()) {
        *rect = w->m_rect;
    } else {
        POINT o = client_origin_on_screen(w->m_parent);
        *rect = w->m_rect;
        OffsetRect(rect, o.x, o.y);
    }
    return TRUE;
}

// Moves `point` by the client origin on the screen, `sign` +1 (to the screen) or -1 (from it).
static BOOL shift_by_client_origin(HWND hwnd, LPPOINT point, int sign)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = client_origin_on_screen(w);
    point->x += sign * o.x;
    point->y += sign * o.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) { return shift_by_client_origin(hwnd, point, 1); }
BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) { return shift_by_client_origin(hwnd, point, -1); }

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    POINT a{0, 0}, b{0, 0};
    if (from) {
        Window* w = window_from_handle(from);
        if (!w)
            return 0;
        a = client_origin_on_screen(w);
    }
    if (to) {
        Window* w = window_from_handle(to);
        if (!w)
            return 0;
        b = client_origin_on_screen(w);
    }
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

