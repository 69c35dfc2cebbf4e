// SPDX-License-Identifier: GPL-3.0-or-later
// The window manager's public calls on existing windows: relations, long values, text, enabling,
// focus, activation, capture, FindWindowW, and the default window procedure.
#include "device/device.h"
#include "device/handles.h"
#include "gdi/surface.h"
#include "shell/instance_registry.h"
#include "wm/wm.h"
#include "wm/window_scroll_bar.h"

#include <algorithm>

using namespace platform;

// ---- Relations ------------------------------------------------------------------------------------

BOOL WINAPI IsChild(HWND parent, HWND hwnd)
{
    Window* p = window_from_handle(parent);
    Window* w = window_from_handle(hwnd);
    return p && w && w != p && is_inside(w, p);
}

HWND WINAPI GetParent(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return nullptr;
    if (w->m_parent)
        return w->m_parent->m_handle;
    return w->m_owner && w->m_owner->m_alive ? w->m_owner->m_handle : nullptr;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return nullptr;
    if (cmd == GW_CHILD)
        return w->m_children.empty() ? nullptr : w->m_children.front()->m_handle;
    if (cmd == GW_OWNER)
        return w->m_owner && w->m_owner->m_alive ? w->m_owner->m_handle : nullptr;
    std::vector<Window*>& siblings = w->m_parent ? w->m_parent->m_children : state().m_top_levels;
    auto it = std::find(siblings.begin(), siblings.end(), w);
    if (it == siblings.end())
        return nullptr;
    switch (cmd) {
    case GW_HWNDFIRST: return siblings.front()->m_handle;
    case GW_HWNDLAST: return siblings.back()->m_handle;
    case GW_HWNDNEXT: return it + 1 == siblings.end() ? nullptr : (*(it + 1))->m_handle;
    case GW_HWNDPREV: return it == siblings.begin() ? nullptr : (*(it - 1))->m_handle;
    default: return nullptr;
    }
}

HWND WINAPI GetDesktopWindow(void) { return nullptr; }

HWND WINAPI WindowFromPoint(POINT point)
{
    for (Window* top : state().m_top_levels) {
        if (!(top->m_style & WS_VISIBLE))
            continue;
        if (PtInRect(&top->m_rect, point))
            return find_deepest_child(top, point)->m_handle;
    }
    return nullptr;
}

HWND WINAPI ChildWindowFromPoint(HWND parent, POINT point)
{
    Window* p = window_from_handle(parent);
    if (!p)
        return nullptr;
    RECT c = client_rect_in_window(p);
    if (point.x < 0 || point.y < 0 || point.x >= rect_width(c) || point.y >= rect_height(c))
        return nullptr;
    for (Window* child : p->m_children)
        if (PtInRect(&child->m_rect, point))
            return child->m_handle;
    return parent;
}

// ---- Long values, text, ids ---------------------------------------------------------------------------

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->m_style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->m_ex_style);
    case GWL_ID: return w->m_id;
    case GWL_USERDATA: return w->m_user_data;
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->m_proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->m_instance);
    case GWL_HWNDPARENT: return reinterpret_cast<LONG_PTR>(GetParent(hwnd));
    default:
        if (index >= 0 && index % static_cast<int>(sizeof(LONG_PTR)) == 0 &&
            static_cast<size_t>(index) / sizeof(LONG_PTR) < w->m_extra.size())
            return w->m_extra[index / sizeof(LONG_PTR)];
        return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return 0;
    LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    switch (index) {
    case GWL_STYLE: {
        DWORD visible = w->m_style & WS_VISIBLE;
        w->m_style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | visible;
        break;
    }
    case GWL_EXSTYLE: w->m_ex_style = static_cast<DWORD>(value); break;
    case GWL_ID: w->m_id = value; break;
    case GWL_USERDATA: w->m_user_data = value; break;
    case GWL_WNDPROC:
        if (value)
            w->m_proc = reinterpret_cast<WNDPROC>(value);
        break;
    default:
        if (index >= 0 && index % static_cast<int>(sizeof(LONG_PTR)) == 0 &&
            static_cast<size_t>(index) / sizeof(LONG_PTR) < w->m_extra.size())
            w->m_extra[index / sizeof(LONG_PTR)] = value;
        else
            return 0;
    }
    return old;
}

LONG WINAPI GetWindowLongW(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hwnd, index)); }
LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value)
{
    if (index == GWL_WNDPROC) // a procedure pointer does not fit in 32 bits here
        return 0;
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

int WINAPI GetDlgCtrlID(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    return w && w->m_parent ? static_cast<int>(w->m_id) : 0;
}

BOOL WINAPI SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return FALSE;
    return static_cast<BOOL>(send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")));
}

int WINAPI GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount)
{
    if (buffer && maxCount > 0)
        buffer[0] = 0;
    Window* w = window_from_handle(hwnd);
    if (!w || !buffer || maxCount <= 0)
        return 0;
    return static_cast<int>(send(w, WM_GETTEXT, maxCount, reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthW(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    return w ? static_cast<int>(send(w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

// ---- Enabling, focus, activation, capture ----------------------------------------------------------------

BOOL WINAPI IsWindowEnabled(HWND hwnd)
{
    Window* w = window_from_handle(hwnd);
    return w && !(w->m_style & WS_DISABLED);
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return FALSE;
    BOOL was_disabled = (w->m_style & WS_DISABLED) != 0;
    if (was_disabled == !enable)
        return was_disabled;
    if (enable) {
        w->m_style &= ~WS_DISABLED;
    } else {
        w->m_style |= WS_DISABLED;
        WindowState& s = state();
        if (s.m_focus && is_inside(s.m_focus, w) && !w->is_top_level())
            SetFocus(nullptr);
        if (s.m_capture && is_inside(s.m_capture, w))
            s.m_capture = nullptr;
    }
    send(w, WM_ENABLE, enable ? TRUE : FALSE, 0);
    if (window_from_handle(hwnd))
        invalidate_window(w, nullptr, true);
    return was_disabled;
}

HWND WINAPI SetFocus(HWND hwnd)
{
    WindowState& s = state();
    Window* w = nullptr;
    if (hwnd) {
        w = window_from_handle(hwnd);
        if (!w || in_shell_layer(w))
            return nullptr;
    }
    Window* old = s.m_focus;
    HWND old_handle = old ? old->m_handle : nullptr;
    if (old == w)
        return old_handle;
    if (w) {
        // Focus inside a window that is shown but not active activates it first, as in Win32.
        Window* top = top_level_of(w);
        if (top != s.m_active && (top->m_style & WS_VISIBLE) && !(top->m_style & WS_DISABLED)) {
            activate_window(top, WA_ACTIVE);
            if (!window_from_handle(hwnd))
                return nullptr;
            if (s.m_focus == w)
                return old_handle;
            old = s.m_focus;
        }
    }
    s.m_focus = w;
    if (old && old->m_alive)
        send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (w && window_from_handle(hwnd) && s.m_focus == w)
        send(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(old && old->m_alive ? old->m_handle : nullptr), 0);
    if (w && window_from_handle(hwnd) && s.m_focus == w)
        scroll_focus_into_view(w);
    return old_handle && window_from_handle(old_handle) ? old_handle : nullptr;
}

HWND WINAPI GetFocus(void)
{
    Window* f = state().m_focus;
    return f && f->m_alive ? f->m_handle : nullptr;
}

HWND WINAPI GetActiveWindow(void)
{
    Window* a = state().m_active;
    return a && a->m_alive ? a->m_handle : nullptr;
}

HWND WINAPI SetActiveWindow(HWND hwnd)
{
    HWND old = GetActiveWindow();
    Window* w = window_from_handle(hwnd);
    if (!w || !w->is_top_level() || in_shell_layer(w))
        return nullptr;
    activate_window(w, WA_ACTIVE);
    return old;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd)
{
    // The program passes "handle | 1" for a window found by FindWindowW, as the shell expects.
    uintptr_t value = reinterpret_cast<uintptr_t>(hwnd) & ~static_cast<uintptr_t>(1);
    if ((value & 0xFF) == tag_remote_window)
        return instances::request_raise(remote_window_pid(value)) ? TRUE : FALSE;
    Window* w = window_from_handle(reinterpret_cast<HWND>(value));
    if (!w)
        return FALSE;
    w = top_level_of(w);
    if (!(w->m_style & WS_VISIBLE) || in_shell_layer(w))
        return FALSE;
    // A window disabled by its modal dialog comes forward with the dialog active on top of it.
    if (w->m_style & WS_DISABLED) {
        bring_to_top(w);
        for (Window* o : state().m_top_levels)
            if (o->m_owner == w && (o->m_style & WS_VISIBLE) && !(o->m_style & WS_DISABLED)) {
                w = o;
                break;
            }
    }
    activate_window(w, WA_ACTIVE);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) { return GetActiveWindow(); }

HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    for (Window* w : state().m_top_levels) {
        if (className && (IS_INTRESOURCE(className) || !same_name(w->m_class->m_name, className)))
            continue;
        if (windowName && w->m_text != windowName)
            continue;
        return w->m_handle;
    }
    std::optional<int> pid = instances::find(className ? std::wstring_view(className) : std::wstring_view(),
                                             windowName ? std::wstring_view(windowName) : std::wstring_view());
    if (pid)
        return reinterpret_cast<HWND>(remote_window_handle(*pid));
    return nullptr;
}

HWND WINAPI SetCapture(HWND hwnd)
{
    HWND old = GetCapture();
    Window* w = window_from_handle(hwnd);
    state().m_capture = w;
    return old;
}

BOOL WINAPI ReleaseCapture(void)
{
    state().m_capture = nullptr;
    return TRUE;
}

HWND WINAPI GetCapture(void)
{
    Window* c = state().m_capture;
    return c && c->m_alive ? c->m_handle : nullptr;
}

short WINAPI GetKeyState(int virtualKey)
{
    Device& d = device();
    bool down = (virtualKey == VK_SHIFT && d.m_shift) || (virtualKey == VK_CONTROL && d.m_control);
    return down ? static_cast<short>(0x8000) : 0;
}

// ---- The default window procedure --------------------------------------------------------------------------

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = window_from_handle(hwnd);
    if (!w)
        return 0;
    switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_VSCROLL: scroll_shortened_popup(w, wParam); return 0;
    case WM_ERASEBKGND: {
        HBRUSH brush = w->m_class->m_info.hbrBackground;
        if (!brush)
            return 0;
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETTEXT: {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        bool published = w->is_top_level() && (w->m_style & WS_VISIBLE);
        if (published)
            publish_if_shown(w, false);
        w->m_text = text ? text : L"";
        if (published)
            publish_if_shown(w, true);
        w->m_frame_dirty = true;
        return TRUE;
    }
    case WM_GETTEXT: {
        wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        size_t n = std::min(w->m_text.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(w->m_text.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->m_text.size());
    case WM_SETFONT:
        w->m_font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            invalidate_window(w, nullptr, true);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->m_font);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != hwnd && !IsChild(hwnd, focus))
                SetFocus(hwnd);
        }
        return 0;
    default: return 0;
    }
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!proc || !window_from_handle(hwnd))
        return 0;
    return proc(hwnd, msg, wParam, lParam);
}
