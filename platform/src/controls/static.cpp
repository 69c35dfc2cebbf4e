// SPDX-License-Identifier: GPL-3.0-or-later
// The "Static" control: wrapped text drawn over its parent's background, or an icon or bitmap.
#include "controls/controls_common.h"
#include "resources/resources.h"
#include "text/text.h"

namespace platform::controls {
namespace {

struct StaticState {
    std::wstring text;
    HICON icon = nullptr;
    HBITMAP bitmap = nullptr;
    HBITMAP loaded = nullptr; // the bitmap the control loaded from its title: its own to delete
};

constexpr StateTable<StaticState> g_statics;

LONG static_type(HWND hwnd)
{
    return GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK;
}

// Statics paint no background of their own; a change repaints the parent's area beneath them.
void static_invalidate(HWND hwnd)
{
    HWND parent = GetParent(hwnd);
    if (parent) {
        RECT rc{};
        GetWindowRect(hwnd, &rc);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
        InvalidateRect(parent, &rc, TRUE);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

// A title naming a resource arrives as 0xFFFF followed by the ordinal (as the dialog manager passes it).
LPCWSTR resource_name(const std::wstring& title)
{
    if (title.size() >= 2 && title[0] == 0xFFFF)
        return MAKEINTRESOURCEW(title[1]);
    return title.empty() ? nullptr : title.c_str();
}

void static_load_image(HWND hwnd, StaticState& st, const CREATESTRUCTW* cs)
{
    LPCWSTR name = resource_name(st.text);
    if (!name)
        return;
    if (static_type(hwnd) == SS_ICON)
        st.icon = LoadIconW(cs->hInstance, name);
    else if (static_type(hwnd) == SS_BITMAP)
        st.bitmap = st.loaded = LoadBitmapW(cs->hInstance, name);
}

// A bitmap the control loaded and still shows dies with it; one handed out by STM_SETIMAGE is the
// program's to delete. Icons from resources are shared and stay.
LRESULT static_on_destroy(StaticState& st)
{
    if (st.loaded && st.loaded == st.bitmap)
        DeleteObject(st.loaded);
    st.bitmap = st.loaded = nullptr;
    return 0;
}

// An icon static takes the size of its icon, as in Win32, unless it centres the image in the size it was
// given (SS_CENTERIMAGE) or scales the image to it (SS_REALSIZECONTROL).
void static_fit_icon(HWND hwnd, const StaticState& st)
{
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const Icon* icon = icon_from_handle(st.icon);
    if ((style & SS_TYPEMASK) != SS_ICON || (style & (SS_CENTERIMAGE | SS_REALSIZECONTROL)) || !icon)
        return;
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    if (rc.right - rc.left != icon->m_color.m_width || rc.bottom - rc.top != icon->m_color.m_height)
        SetWindowPos(hwnd, nullptr, 0, 0, icon->m_color.m_width, icon->m_color.m_height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT static_on_create(HWND hwnd, StaticState& st, const CREATESTRUCTW* cs)
{
    if (!cs)
        return 0;
    if (cs->lpszName) {
        // An ordinal title is 0xFFFF plus one word and need not be zero-terminated after it.
        st.text = cs->lpszName[0] == 0xFFFF ? std::wstring(cs->lpszName, 2) : std::wstring(cs->lpszName);
    }
    static_load_image(hwnd, st, cs);
    static_fit_icon(hwnd, st);
    return 0;
}

LRESULT static_on_set_image(HWND hwnd, StaticState& st, WPARAM type, LPARAM image)
{
    LRESULT old = 0;
    if (type == IMAGE_ICON) {
        old = reinterpret_cast<LRESULT>(st.icon);
        st.icon = reinterpret_cast<HICON>(image);
    } else if (type == IMAGE_BITMAP) {
        old = reinterpret_cast<LRESULT>(st.bitmap);
        st.bitmap = reinterpret_cast<HBITMAP>(image);
    } else {
        return 0;
    }
    static_invalidate(hwnd);
    static_fit_icon(hwnd, st);
    return old;
}

LRESULT static_on_get_image(const StaticState& st, WPARAM type)
{
    if (type == IMAGE_ICON)
        return reinterpret_cast<LRESULT>(st.icon);
    if (type == IMAGE_BITMAP)
        return reinterpret_cast<LRESULT>(st.bitmap);
    return 0;
}

// The text without its "&" prefixes unless SS_NOPREFIX, as lines: SS_LEFT, SS_CENTER and SS_RIGHT
// break it at words, and with SS_EDITCONTROL also inside a word too long for the line; the other text
// types break only at "\n". SS_ENDELLIPSIS keeps it on one line, ended with an ellipsis when cut.
std::vector<std::wstring> static_lines(HWND hwnd, HDC dc, std::wstring_view text, int width)
{
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const std::wstring shown = (style & SS_NOPREFIX) ? std::wstring(text) : strip_prefixes(text);
    if ((style & SS_ELLIPSISMASK) == SS_ENDELLIPSIS)
        return {end_with_ellipsis(shown.substr(0, shown.find(L'\n')), width, dc_measure(dc))};
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
        return paragraphs(shown);
    const bool split = style & SS_EDITCONTROL;
    return break_lines(shown, width, dc_measure(dc), split ? LongWords::Split : LongWords::Overflow);
}

void static_paint_text(HWND hwnd, HDC dc, const StaticState& st, const RECT& rc)
{
    const LONG type = static_type(hwnd);
    const COLORREF ink = IsWindowEnabled(hwnd) ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT);
    const int height = line_height(dc);
    int y = rc.top;
    for (const std::wstring& line : static_lines(hwnd, dc, st.text, rc.right - rc.left)) {
        const int width = dc_text_width(dc, line);
        int x = rc.left;
        if (type == SS_CENTER)
            x += (rc.right - rc.left - width) / 2;
        else if (type == SS_RIGHT)
            x = rc.right - width;
        draw_text_in_color(dc, line, x, y, ink);
        y += height;
        if (y >= rc.bottom)
            break;
    }
}

void static_paint_bitmap(HDC dc, HBITMAP bitmap, const RECT& rc)
{
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        return;
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

LRESULT static_on_paint(HWND hwnd, const StaticState& st)
{
    return paint_window(hwnd, [&](HDC dc, const RECT& rc) {
        IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
        const LONG type = static_type(hwnd);
        if (type == SS_ICON) {
            if (st.icon)
                DrawIcon(dc, 0, 0, st.icon);
        } else if (type == SS_BITMAP) {
            if (st.bitmap)
                static_paint_bitmap(dc, st.bitmap, rc);
        } else if (type == SS_BLACKRECT) {
            fill_rect(dc, rc, RGB(0, 0, 0));
        } else {
            static_paint_text(hwnd, dc, st, rc);
        }
    });
}

LRESULT static_dispatch(HWND hwnd, StaticState& st, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: return static_on_create(hwnd, st, reinterpret_cast<const CREATESTRUCTW*>(lp));
    case WM_DESTROY: return static_on_destroy(st);
    case WM_SETTEXT:
        st.text = text_from(lp);
        static_invalidate(hwnd);
        return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_GETTEXT: return copy_text_out(st.text, wp, lp);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(st.text.size());
    case WM_PAINT: return static_on_paint(hwnd, st);
    case WM_SIZE: static_fit_icon(hwnd, st); return 0; // a move to another size, a relayout's among them
    case WM_ERASEBKGND: return 1; // transparent: the parent's background shows through
    case WM_ENABLE: static_invalidate(hwnd); return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_LBUTTONDOWN:
        if (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY)
            notify_parent(hwnd, 0); // STN_CLICKED
        return 0;
    case STM_SETIMAGE: return static_on_set_image(hwnd, st, wp, lp);
    case STM_GETIMAGE: return static_on_get_image(st, wp);
    case STM_SETICON: return static_on_set_image(hwnd, st, IMAGE_ICON, static_cast<LPARAM>(wp));
    case STM_GETICON: return static_on_get_image(st, IMAGE_ICON);
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK static_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return route_to_state(g_statics, hwnd, msg, wp, lp, static_dispatch);
}

} // namespace

void register_static_class()
{
    register_control_class(L"Static", static_proc);
}

} // namespace platform::controls
