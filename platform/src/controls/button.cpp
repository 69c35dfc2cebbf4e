// SPDX-License-Identifier: GPL-3.0-or-later
// The "Button" control: push and default push buttons that send BN_CLICKED when released inside.
#include "controls/controls_common.h"

namespace platform::controls {
namespace {

struct ButtonState {
    std::wstring text;
    bool pressed = false; // drawn pushed: the stylus is down inside
    bool tracking = false;
    bool focused = false;
    bool checked = false;
};

constexpr StateTable<ButtonState> g_buttons;

LONG button_type(HWND hwnd)
{
    return GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
}

bool is_default(HWND hwnd)
{
    return button_type(hwnd) == BS_DEFPUSHBUTTON;
}

bool point_inside(HWND hwnd, LPARAM pos)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return PtInRect(&rc, POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)});
}

void button_set_pressed(HWND hwnd, ButtonState& st, bool pressed)
{
    if (st.pressed == pressed)
        return;
    st.pressed = pressed;
    InvalidateRect(hwnd, nullptr, TRUE);
}

void button_click(HWND hwnd)
{
    notify_parent(hwnd, BN_CLICKED); // the parent may destroy the button
}

LRESULT button_on_lbutton_down(HWND hwnd)
{
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    ButtonState* st = g_buttons.find(hwnd);
    if (!st)
        return 0;
    SetCapture(hwnd);
    st->tracking = true;
    button_set_pressed(hwnd, *st, true);
    return 0;
}

LRESULT button_on_mouse_move(HWND hwnd, ButtonState& st, LPARAM pos)
{
    if (st.tracking)
        button_set_pressed(hwnd, st, point_inside(hwnd, pos));
    return 0;
}

LRESULT button_on_lbutton_up(HWND hwnd, ButtonState& st, LPARAM pos)
{
    if (!st.tracking)
        return 0;
    st.tracking = false;
    button_set_pressed(hwnd, st, false);
    if (GetCapture() == hwnd)
        ReleaseCapture();
    if (point_inside(hwnd, pos))
        button_click(hwnd);
    return 0;
}

void button_paint_face(HWND hwnd, HDC dc, const ButtonState& st, const RECT& rc)
{
    const bool enabled = IsWindowEnabled(hwnd);
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    fill_rect(dc, rc, st.pressed ? ink : GetSysColor(COLOR_WINDOW));
    // The default button wears a thicker frame, so Enter's target is visible.
    frame_rect(dc, rc, ink, is_default(hwnd) ? 2 : 1);
    RECT text_rc = rc;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, !enabled ? GetSysColor(COLOR_GRAYTEXT) : st.pressed ? GetSysColor(COLOR_WINDOW) : ink);
    const int width = dc_text_width(dc, st.text);
    const int x = rc.left + (rc.right - rc.left - width) / 2;
    const int y = rc.top + (rc.bottom - rc.top - line_height(dc)) / 2;
    IntersectClipRect(dc, rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1);
    if (!st.text.empty())
        ExtTextOutW(dc, x, y, 0, &text_rc, st.text.data(), static_cast<UINT>(st.text.size()), nullptr);
    if (st.focused && !st.pressed) {
        RECT focus = rc;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

LRESULT button_on_paint(HWND hwnd, const ButtonState& st)
{
    return paint_window(hwnd, [&](HDC dc, const RECT& rc) { button_paint_face(hwnd, dc, st, rc); });
}

LRESULT button_on_set_style(HWND hwnd, WPARAM style, LPARAM redraw)
{
    const LONG old = GetWindowLongW(hwnd, GWL_STYLE);
    SetWindowLongW(hwnd, GWL_STYLE, (old & ~BS_TYPEMASK) | (static_cast<LONG>(style) & BS_TYPEMASK));
    if (redraw)
        InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT button_on_get_dlg_code(HWND hwnd)
{
    return DLGC_BUTTON | (is_default(hwnd) ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

LRESULT button_on_set_text(HWND hwnd, ButtonState& st, UINT msg, WPARAM wp, LPARAM lp)
{
    st.text = text_from(lp);
    InvalidateRect(hwnd, nullptr, TRUE);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT button_on_focus(HWND hwnd, ButtonState& st, bool focused)
{
    st.focused = focused;
    if (!focused && st.tracking) {
        st.tracking = false;
        st.pressed = false;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT button_dispatch(HWND hwnd, ButtonState& st, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        if (cs && cs->lpszName)
            st.text = cs->lpszName;
        return 0;
    }
    case WM_SETTEXT: return button_on_set_text(hwnd, st, msg, wp, lp);
    case WM_GETTEXT: return copy_text_out(st.text, wp, lp);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(st.text.size());
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return button_on_lbutton_down(hwnd);
    case WM_MOUSEMOVE: return button_on_mouse_move(hwnd, st, lp);
    case WM_LBUTTONUP: return button_on_lbutton_up(hwnd, st, lp);
    case WM_CAPTURECHANGED:
        st.tracking = false;
        button_set_pressed(hwnd, st, false);
        return 0;
    case WM_CHAR:
        if (wp == L' ')
            button_click(hwnd);
        return 0;
    case WM_SETFOCUS: return button_on_focus(hwnd, st, true);
    case WM_KILLFOCUS: return button_on_focus(hwnd, st, false);
    case WM_PAINT: return button_on_paint(hwnd, st);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_GETDLGCODE: return button_on_get_dlg_code(hwnd);
    case BM_SETSTYLE: return button_on_set_style(hwnd, wp, lp);
    case BM_CLICK: button_click(hwnd); return 0;
    case BM_GETSTATE: return (st.pressed ? BST_PUSHED : 0) | (st.focused ? BST_FOCUS : 0) | (st.checked ? 1 : 0);
    case BM_SETSTATE: button_set_pressed(hwnd, st, wp != 0); return 0;
    case BM_GETCHECK: return st.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK: st.checked = wp == BST_CHECKED; InvalidateRect(hwnd, nullptr, TRUE); return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK button_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return route_to_state(g_buttons, hwnd, msg, wp, lp, button_dispatch);
}

} // namespace

void register_button_class()
{
    register_control_class(L"Button", button_proc);
}

} // namespace platform::controls
