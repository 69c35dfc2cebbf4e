// SPDX-License-Identifier: GPL-3.0-or-later
// The "LISTBOX" control: a single-selection list with its own vertical scroll bar inside the client area,
// drawn and worked like the window manager's bar.
#include "controls/controls_common.h"
#include "wm/scroll_bar.h"

#include <algorithm>

namespace platform::controls {
namespace {

constexpr int kItemPadding = 2;

struct ListState {
    std::vector<std::wstring> items;
    int selected = LB_ERR;
    int top = 0; // first visible item
    bool focused = false;
    bool dragging_thumb = false;
    int drag_offset = 0; // stylus y minus thumb top while the thumb is dragged
};

constexpr StateTable<ListState> g_lists;

int item_height(HWND hwnd)
{
    MeasureDc dc(hwnd);
    return line_height(dc.get()) + kItemPadding;
}

RECT client_rect(HWND hwnd)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc;
}

int visible_rows(HWND hwnd)
{
    const RECT rc = client_rect(hwnd);
    return std::max(1, static_cast<int>(rc.bottom - rc.top) / item_height(hwnd));
}

int count(const ListState& st)
{
    return static_cast<int>(st.items.size());
}

bool has_scroll_bar(HWND hwnd, const ListState& st)
{
    return count(st) > visible_rows(hwnd);
}

int max_top(HWND hwnd, const ListState& st)
{
    return std::max(0, count(st) - visible_rows(hwnd));
}

void set_top(HWND hwnd, ListState& st, int top)
{
    top = std::clamp(top, 0, max_top(hwnd, st));
    if (top != st.top) {
        st.top = top;
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

void scroll_into_view(HWND hwnd, ListState& st, int index)
{
    if (index < 0)
        return;
    if (index < st.top)
        set_top(hwnd, st, index);
    else if (index >= st.top + visible_rows(hwnd))
        set_top(hwnd, st, index - visible_rows(hwnd) + 1);
}

bool notifies(HWND hwnd)
{
    return (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOTIFY) != 0;
}

// The bar at the client area's right edge, the thumb at the first visible row.
ScrollGeometry list_scroll_geometry(HWND hwnd, const ListState& st)
{
    const RECT rc = client_rect(hwnd);
    const RECT bar{rc.right - scroll_bar_width(), rc.top, rc.right, rc.bottom};
    return scroll_geometry(bar, st.top, max_top(hwnd, st), visible_rows(hwnd), count(st));
}

LRESULT listbox_on_insert_string(HWND hwnd, ListState& st, WPARAM index, LPARAM text)
{
    // Inserts at the index given and never sorts, whatever the style says.
    const auto at = static_cast<int>(static_cast<INT_PTR>(index));
    if (at > count(st))
        return LB_ERR;
    const int pos = at < 0 ? count(st) : at; // -1 appends
    st.items.insert(st.items.begin() + pos, text_from(text));
    if (st.selected >= pos)
        ++st.selected;
    InvalidateRect(hwnd, nullptr, TRUE);
    return pos;
}

LRESULT listbox_on_delete_string(HWND hwnd, ListState& st, WPARAM index)
{
    const auto at = static_cast<int>(static_cast<INT_PTR>(index));
    if (at < 0 || at >= count(st))
        return LB_ERR;
    st.items.erase(st.items.begin() + at);
    if (st.selected == at)
        st.selected = LB_ERR;
    else if (st.selected > at)
        --st.selected;
    st.top = std::clamp(st.top, 0, max_top(hwnd, st));
    InvalidateRect(hwnd, nullptr, TRUE);
    return count(st);
}

LRESULT listbox_on_reset_content(HWND hwnd, ListState& st)
{
    st.items.clear();
    st.selected = LB_ERR;
    st.top = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT listbox_on_set_cur_sel(HWND hwnd, ListState& st, WPARAM index)
{
    const auto at = static_cast<int>(static_cast<INT_PTR>(index));
    if (at < 0 || at >= count(st)) {
        st.selected = LB_ERR;
        InvalidateRect(hwnd, nullptr, TRUE);
        return LB_ERR; // -1 clears the selection and also answers LB_ERR
    }
    st.selected = at;
    scroll_into_view(hwnd, st, at);
    InvalidateRect(hwnd, nullptr, TRUE);
    return at;
}

LRESULT listbox_on_get_text(const ListState& st, WPARAM index, LPARAM buffer)
{
    const auto at = static_cast<int>(static_cast<INT_PTR>(index));
    if (at < 0 || at >= count(st))
        return LB_ERR;
    // The caller's buffer must hold LB_GETTEXTLEN + 1 characters, as in Win32.
    const std::wstring& item = st.items[static_cast<size_t>(at)];
    return copy_text_out(item, item.size() + 1, buffer);
}

LRESULT listbox_on_get_text_len(const ListState& st, WPARAM index)
{
    const auto at = static_cast<int>(static_cast<INT_PTR>(index));
    if (at < 0 || at >= count(st))
        return LB_ERR;
    return static_cast<LRESULT>(st.items[static_cast<size_t>(at)].size());
}

// Selects by user action and tells the parent when the selection changed.
void listbox_select_by_user(HWND hwnd, ListState& st, int index)
{
    index = std::clamp(index, 0, count(st) - 1);
    if (count(st) == 0 || index == st.selected) {
        if (index >= 0)
            scroll_into_view(hwnd, st, index);
        return;
    }
    st.selected = index;
    scroll_into_view(hwnd, st, index);
    InvalidateRect(hwnd, nullptr, TRUE);
    if (notifies(hwnd))
        notify_parent(hwnd, LBN_SELCHANGE); // may destroy the list: nothing may follow
}

void listbox_scroll_bar_tap(HWND hwnd, ListState& st, POINT pt)
{
    const ScrollGeometry g = list_scroll_geometry(hwnd, st);
    switch (scroll_part_at(g, pt)) {
    case ScrollPart::LineUp: set_top(hwnd, st, st.top - 1); break;
    case ScrollPart::LineDown: set_top(hwnd, st, st.top + 1); break;
    case ScrollPart::PageUp: set_top(hwnd, st, st.top - visible_rows(hwnd)); break;
    case ScrollPart::PageDown: set_top(hwnd, st, st.top + visible_rows(hwnd)); break;
    case ScrollPart::Thumb:
        st.dragging_thumb = true;
        st.drag_offset = pt.y - g.m_thumb.top;
        SetCapture(hwnd);
        break;
    }
}

void listbox_drag_thumb(HWND hwnd, ListState& st, int y)
{
    const ScrollGeometry g = list_scroll_geometry(hwnd, st);
    if (g.m_track_len - g.m_thumb_len <= 0)
        return;
    set_top(hwnd, st, scroll_pos_for_thumb(g, y - st.drag_offset, max_top(hwnd, st)));
}

int item_at(HWND hwnd, const ListState& st, int y)
{
    return st.top + y / item_height(hwnd);
}

LRESULT listbox_on_lbutton_down(HWND hwnd, LPARAM pos)
{
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    ListState* st = g_lists.find(hwnd);
    if (!st)
        return 0;
    const POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    if (has_scroll_bar(hwnd, *st) && pt.x >= client_rect(hwnd).right - scroll_bar_width()) {
        listbox_scroll_bar_tap(hwnd, *st, pt);
        return 0;
    }
    if (pt.x < 0 || pt.y < 0)
        return 0; // on the border: no row
    const int index = item_at(hwnd, *st, pt.y);
    if (index >= count(*st))
        return 0;
    SetCapture(hwnd);
    listbox_select_by_user(hwnd, *st, index);
    return 0;
}

LRESULT listbox_on_mouse_move(HWND hwnd, ListState& st, LPARAM pos)
{
    if (GetCapture() != hwnd)
        return 0;
    const int y = GET_Y_LPARAM(pos);
    if (st.dragging_thumb) {
        listbox_drag_thumb(hwnd, st, y);
        return 0;
    }
    const int rows_px = visible_rows(hwnd) * item_height(hwnd);
    const int index = item_at(hwnd, st, std::clamp(y, 0, std::max(0, rows_px - 1)));
    if (index < count(st))
        listbox_select_by_user(hwnd, st, index);
    return 0;
}

LRESULT listbox_on_lbutton_up(HWND hwnd, ListState& st)
{
    st.dragging_thumb = false;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    return 0;
}

LRESULT listbox_on_double_click(HWND hwnd, ListState& st, LPARAM pos)
{
    const int index = item_at(hwnd, st, GET_Y_LPARAM(pos));
    if (index < count(st) && index == st.selected && notifies(hwnd))
        notify_parent(hwnd, LBN_DBLCLK);
    return 0;
}

LRESULT listbox_on_key_down(HWND hwnd, ListState& st, WPARAM key)
{
    if (count(st) == 0)
        return 0;
    const int current = st.selected < 0 ? st.top : st.selected;
    switch (key) {
    case VK_UP: listbox_select_by_user(hwnd, st, st.selected < 0 ? current : current - 1); break;
    case VK_DOWN: listbox_select_by_user(hwnd, st, st.selected < 0 ? current : current + 1); break;
    case VK_PRIOR: listbox_select_by_user(hwnd, st, current - visible_rows(hwnd)); break;
    case VK_NEXT: listbox_select_by_user(hwnd, st, current + visible_rows(hwnd)); break;
    case VK_HOME: listbox_select_by_user(hwnd, st, 0); break;
    case VK_END: listbox_select_by_user(hwnd, st, count(st) - 1); break;
    default: break;
    }
    return 0;
}

void listbox_paint_scroll_bar(HWND hwnd, HDC dc, const ListState& st)
{
    paint_scroll_bar(list_scroll_geometry(hwnd, st), [dc](const RECT& r, COLORREF color) {
        fill_rect(dc, r, color);
    });
}

void listbox_paint_items(HWND hwnd, HDC dc, const ListState& st, const RECT& area)
{
    const int height = item_height(hwnd);
    const bool enabled = IsWindowEnabled(hwnd);
    for (int i = st.top, y = area.top; i < count(st) && y < area.bottom; ++i, y += height) {
        const RECT row{area.left, y, area.right, y + height};
        const bool selected = i == st.selected;
        if (selected)
            fill_rect(dc, row, GetSysColor(COLOR_HIGHLIGHT));
        const COLORREF ink = !enabled  ? GetSysColor(COLOR_GRAYTEXT)
                             : selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                        : GetSysColor(COLOR_WINDOWTEXT);
        // An item wider than the row ends with an ellipsis where it is cut.
        const std::wstring shown = end_with_ellipsis(st.items[static_cast<size_t>(i)], area.right - area.left - 2,
                                                     dc_measure(dc));
        draw_text_in_color(dc, shown, area.left + 2, y + kItemPadding / 2, ink);
        if (selected && st.focused)
            DrawFocusRect(dc, &row);
    }
}

LRESULT listbox_on_paint(HWND hwnd, const ListState& st)
{
    return paint_window(hwnd, [&](HDC dc, RECT area) {
        fill_rect(dc, area, GetSysColor(COLOR_WINDOW));
        if (has_scroll_bar(hwnd, st)) {
            listbox_paint_scroll_bar(hwnd, dc, st);
            area.right -= scroll_bar_width();
        }
        IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
        listbox_paint_items(hwnd, dc, st, area);
    });
}

LRESULT listbox_on_focus(HWND hwnd, ListState& st, bool focused)
{
    st.focused = focused;
    InvalidateRect(hwnd, nullptr, TRUE);
    if (notifies(hwnd))
        notify_parent(hwnd, focused ? LBN_SETFOCUS : LBN_KILLFOCUS);
    return 0;
}

// Without LBS_NOINTEGRALHEIGHT the list shows whole rows only, as in Win32: it gives back the part of a
// row at its bottom. The resize sends WM_SIZE again, with a height that leaves nothing over.
void listbox_trim_to_whole_rows(HWND hwnd)
{
    if (GetWindowLongW(hwnd, GWL_STYLE) & LBS_NOINTEGRALHEIGHT)
        return;
    const int height = item_height(hwnd);
    const RECT client = client_rect(hwnd);
    const int client_height = client.bottom - client.top;
    const int over = client_height % height;
    if (client_height <= height || over == 0)
        return;
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top - over,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT listbox_on_size(HWND hwnd, ListState& st)
{
    listbox_trim_to_whole_rows(hwnd);
    st.top = std::clamp(st.top, 0, max_top(hwnd, st));
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT listbox_dispatch(HWND hwnd, ListState& st, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case LB_ADDSTRING: return listbox_on_insert_string(hwnd, st, static_cast<WPARAM>(-1), lp);
    case LB_INSERTSTRING: return listbox_on_insert_string(hwnd, st, wp, lp);
    case LB_DELETESTRING: return listbox_on_delete_string(hwnd, st, wp);
    case LB_RESETCONTENT: return listbox_on_reset_content(hwnd, st);
    case LB_SETCURSEL: return listbox_on_set_cur_sel(hwnd, st, wp);
    case LB_GETCURSEL: return st.selected;
    case LB_GETSEL: return static_cast<int>(static_cast<INT_PTR>(wp)) == st.selected && st.selected >= 0;
    case LB_GETTEXT: return listbox_on_get_text(st, wp, lp);
    case LB_GETTEXTLEN: return listbox_on_get_text_len(st, wp);
    case LB_GETCOUNT: return count(st);
    case LB_GETTOPINDEX: return st.top;
    case LB_SETTOPINDEX: set_top(hwnd, st, static_cast<int>(static_cast<INT_PTR>(wp))); return LB_OKAY;
    case LB_GETITEMHEIGHT: return item_height(hwnd);
    case WM_LBUTTONDOWN: return listbox_on_lbutton_down(hwnd, lp);
    case WM_LBUTTONDBLCLK: return listbox_on_double_click(hwnd, st, lp);
    case WM_MOUSEMOVE: return listbox_on_mouse_move(hwnd, st, lp);
    case WM_LBUTTONUP: return listbox_on_lbutton_up(hwnd, st);
    case WM_CAPTURECHANGED: st.dragging_thumb = false; return 0;
    case WM_KEYDOWN: return listbox_on_key_down(hwnd, st, wp);
    case WM_SETFOCUS: return listbox_on_focus(hwnd, st, true);
    case WM_KILLFOCUS: return listbox_on_focus(hwnd, st, false);
    case WM_SIZE: return listbox_on_size(hwnd, st);
    case WM_PAINT: return listbox_on_paint(hwnd, st);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK listbox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return route_to_state(g_lists, hwnd, msg, wp, lp, listbox_dispatch);
}

} // namespace

void register_listbox_class()
{
    register_control_class(L"LISTBOX", listbox_proc, CS_DBLCLKS);
}

} // namespace platform::controls
