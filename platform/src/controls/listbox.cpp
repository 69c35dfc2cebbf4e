// The "LISTBOX" control: a single-selection list with its own vertical scroll bar inside the client area.
#include "controls/controls_common.h"

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

int scroll_bar_width()
{
    const int width = GetSystemMetrics(SM_CXVSCROLL);
    return width > 0 ? width : 13;
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

// Scroll bar geometry: arrow boxes at both ends, the track between, a thumb proportional to the view.
struct ScrollGeometry {
    RECT bar, up, down, thumb;
    int track_top, track_len, thumb_len;
};

ScrollGeometry scroll_geometry(HWND hwnd, const ListState& st)
{
    const RECT rc = client_rect(hwnd);
    const int w = scroll_bar_width();
    ScrollGeometry g{};
    g.bar = RECT{rc.right - w, rc.top, rc.right, rc.bottom};
    g.up = RECT{g.bar.left, rc.top, rc.right, rc.top + w};
    g.down = RECT{g.bar.left, rc.bottom - w, rc.right, rc.bottom};
    g.track_top = g.up.bottom;
    g.track_len = std::max(0, static_cast<int>(g.down.top - g.up.bottom));
    const int rows = visible_rows(hwnd);
    const int n = std::max(1, count(st));
    g.thumb_len = std::clamp(g.track_len * rows / n, std::min(8, g.track_len), g.track_len);
    const int range = std::max(1, max_top(hwnd, st));
    const int thumb_top = g.track_top + (g.track_len - g.thumb_len) * st.top / range;
    g.thumb = RECT{g.bar.left, thumb_top, rc.right, thumb_top + g.thumb_len};
    return g;
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
    const ScrollGeometry g = scroll_geometry(hwnd, st);
    if (PtInRect(&g.up, pt))
        set_top(hwnd, st, st.top - 1);
    else if (PtInRect(&g.down, pt))
        set_top(hwnd, st, st.top + 1);
    else if (pt.y < g.thumb.top)
        set_top(hwnd, st, st.top - visible_rows(hwnd));
    else if (pt.y >= g.thumb.bottom)
        set_top(hwnd, st, st.top + visible_rows(hwnd));
    else {
        st.dragging_thumb = true;
        st.drag_offset = pt.y - g.thumb.top;
        SetCapture(hwnd);
    }
}

void listbox_drag_thumb(HWND hwnd, ListState& st, int y)
{
    const ScrollGeometry g = scroll_geometry(hwnd, st);
    const int travel = g.track_len - g.thumb_len;
    if (travel <= 0)
        return;
    const int offset = std::clamp(y - st.drag_offset - g.track_top, 0, travel);
    set_top(hwnd, st, (offset * max_top(hwnd, st) + travel / 2) / travel);
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

void listbox_paint_arrow(HDC dc, const RECT& box, bool up, COLORREF ink)
{
    const int cx = (box.left + box.right) / 2;
    const int cy = (box.top + box.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        const int y = up ? cy - 2 + i : cy + 1 - i;
        fill_rect(dc, RECT{cx - i, y, cx + i + 1, y + 1}, ink);
    }
}

void listbox_paint_scroll_bar(HWND hwnd, HDC dc, const ListState& st)
{
    const ScrollGeometry g = scroll_geometry(hwnd, st);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    fill_rect(dc, g.bar, GetSysColor(COLOR_BTNFACE));
    for (const RECT* box : {&g.up, &g.down}) {
        fill_rect(dc, *box, GetSysColor(COLOR_WINDOW));
        frame_rect(dc, *box, ink, 1);
    }
    listbox_paint_arrow(dc, g.up, true, ink);
    listbox_paint_arrow(dc, g.down, false, ink);
    fill_rect(dc, g.thumb, GetSysColor(COLOR_BTNSHADOW));
    frame_rect(dc, g.thumb, ink, 1);
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
        draw_text_in_color(dc, st.items[static_cast<size_t>(i)], area.left + 2, y + kItemPadding / 2, ink);
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
