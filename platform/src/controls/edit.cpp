// SPDX-License-Identifier: GPL-3.0-or-later
// The "Edit" control: a single-line text field with caret, selection, clipboard and EN_CHANGE.
#include "controls/clipboard.h"
#include "controls/controls_common.h"

#include <algorithm>
#include <cwctype>

namespace platform::controls {
namespace {

constexpr int kMargin = 2;
constexpr size_t kInitialLimit = 32767;       // what the user may type into a new field, as in Win32
constexpr size_t kLargestLimit = 0x7FFFFFFE;  // EM_LIMITTEXT 0 on a single-line field
// Of a run of zero-width characters (combining marks, format controls) at one place, this many are
// drawn: more only stack on the same pixels (Unicode's stream-safe text holds at most 30 combining
// marks in a row), and a field holding thousands of them paints as fast as one holding a few.
constexpr size_t kMostZeroWidthDrawn = 30;

struct EditState {
    std::wstring text;
    // x of each caret position 0..text.size() from the text's start, kept in step with the text by
    // set_text and replace_text: typing, scrolling, hit-testing and painting read it instead of
    // measuring the whole text again on every character.
    std::vector<int> edges{0};
    size_t anchor = 0; // the fixed end of the selection
    size_t caret = 0;  // the moving end; the caret stands here
    size_t limit = kInitialLimit;
    int scroll = 0; // pixels of text hidden at the left
    bool focused = false;
};

constexpr StateTable<EditState> g_edits;

LONG style_of(HWND hwnd)
{
    return GetWindowLongW(hwnd, GWL_STYLE);
}

bool is_read_only(HWND hwnd)
{
    return (style_of(hwnd) & ES_READONLY) != 0;
}

size_t sel_start(const EditState& st)
{
    return std::min(st.anchor, st.caret);
}

size_t sel_end(const EditState& st)
{
    return std::max(st.anchor, st.caret);
}

int inner_width(HWND hwnd)
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return std::max(0, static_cast<int>(rc.right - rc.left) - 2 * kMargin - 1);
}

// The caret edges of text measured on its own, from 0.
std::vector<int> measure_edges(HWND hwnd, std::wstring_view text)
{
    MeasureDc dc(hwnd);
    if (dc.get())
        return caret_edges(dc.get(), text);
    std::vector<int> edges(text.size() + 1);
    for (size_t i = 0; i < edges.size(); ++i)
        edges[i] = static_cast<int>(i) * 6;
    return edges;
}

void set_text(HWND hwnd, EditState& st, std::wstring text)
{
    st.text = std::move(text);
    st.edges = measure_edges(hwnd, st.text);
}

// Replaces text[start, end) and moves the edges after it by the change of width (widths add up in the
// device font): only the replaced part is measured and only what follows it is touched, so typing at
// the end costs the same whatever the length of the text.
void replace_text(HWND hwnd, EditState& st, size_t start, size_t end, std::wstring_view insert)
{
    std::vector<int> inserted = measure_edges(hwnd, insert);
    const int shift = st.edges[start] + inserted.back() - st.edges[end];
    for (size_t i = end + 1; i < st.edges.size(); ++i)
        st.edges[i] += shift;
    for (int& edge : inserted)
        edge += st.edges[start];
    st.edges.erase(st.edges.begin() + static_cast<ptrdiff_t>(start) + 1, st.edges.begin() + static_cast<ptrdiff_t>(end) + 1);
    st.edges.insert(st.edges.begin() + static_cast<ptrdiff_t>(start) + 1, inserted.begin() + 1, inserted.end());
    st.text.replace(start, end - start, insert);
}

int text_width(const EditState& st)
{
    return st.edges.back();
}

// Offset of the text's first character from the inner left edge when it fits (alignment).
int align_offset(HWND hwnd, int text_px, int avail)
{
    if (text_px >= avail)
        return 0;
    const LONG style = style_of(hwnd);
    if (style & ES_RIGHT)
        return avail - text_px;
    if (style & ES_CENTER)
        return (avail - text_px) / 2;
    return 0;
}

// Scrolls horizontally just enough to keep the caret inside the field.
void edit_ensure_caret_visible(HWND hwnd, EditState& st)
{
    const int avail = inner_width(hwnd);
    const int total = text_width(st);
    if (total <= avail) {
        st.scroll = 0;
        return;
    }
    const int caret_x = st.edges[std::min(st.caret, st.text.size())];
    if (caret_x - st.scroll > avail)
        st.scroll = caret_x - avail;
    if (caret_x < st.scroll)
        st.scroll = caret_x;
    st.scroll = std::clamp(st.scroll, 0, total - avail);
}

// `whole_text_set`: the program set the text, rather than an edit changing part of it.
void edit_changed(HWND hwnd, EditState& st, bool whole_text_set = false)
{
    edit_ensure_caret_visible(hwnd, st);
    InvalidateRect(hwnd, nullptr, TRUE);
    // The window manager's copy names top-level windows (captions, FindWindowW); nothing reads a
    // child field's, and copying the whole text on every typed character would make typing slow with
    // the square of its length.
    if (whole_text_set || !(style_of(hwnd) & WS_CHILD))
        sync_window_text(hwnd, st.text);
    notify_parent(hwnd, EN_CHANGE); // may destroy the control: nothing may follow
}

void edit_moved_caret(HWND hwnd, EditState& st)
{
    edit_ensure_caret_visible(hwnd, st);
    InvalidateRect(hwnd, nullptr, TRUE);
}

// How much of `insert` the user may put in place of the selection: the text limit, and without
// ES_AUTOHSCROLL the field's width.
size_t allowed_insert_length(HWND hwnd, const EditState& st, std::wstring_view insert)
{
    const size_t kept = st.text.size() - (sel_end(st) - sel_start(st));
    size_t n = std::min(insert.size(), st.limit > kept ? st.limit - kept : 0);
    if (style_of(hwnd) & ES_AUTOHSCROLL)
        return n;
    const int avail = inner_width(hwnd);
    const int kept_width = text_width(st) - (st.edges[sel_end(st)] - st.edges[sel_start(st)]);
    const std::vector<int> inserted = measure_edges(hwnd, insert.substr(0, n));
    while (n > 0 && kept_width + inserted[n] > avail)
        --n;
    return n;
}

// Replaces the selection; `typed` applies the limits that only user input obeys.
bool edit_replace_selection(HWND hwnd, EditState& st, std::wstring_view insert, bool typed)
{
    size_t n = insert.size();
    if (typed) {
        n = allowed_insert_length(hwnd, st, insert);
        if (n == 0 && !insert.empty())
            return false;
        if (n == 0 && sel_start(st) == sel_end(st))
            return false;
    }
    const size_t start = sel_start(st);
    replace_text(hwnd, st, start, sel_end(st), insert.substr(0, n));
    st.caret = st.anchor = start + n;
    edit_changed(hwnd, st);
    return true;
}

void edit_copy(const EditState& st)
{
    if (sel_end(st) > sel_start(st))
        set_clipboard_text(std::wstring_view(st.text).substr(sel_start(st), sel_end(st) - sel_start(st)));
}

void edit_cut(HWND hwnd, EditState& st)
{
    if (is_read_only(hwnd) || sel_end(st) == sel_start(st))
        return;
    edit_copy(st);
    edit_replace_selection(hwnd, st, L"", false);
}

bool accepts_char(HWND hwnd, wchar_t ch)
{
    if (ch < 0x20 || ch == 0x7f)
        return false;
    return !(style_of(hwnd) & ES_NUMBER) || (ch >= L'0' && ch <= L'9');
}

void edit_paste(HWND hwnd, EditState& st)
{
    if (is_read_only(hwnd))
        return;
    std::wstring text = clipboard_text();
    text = text.substr(0, text.find_first_of(L"\r\n")); // a single-line field takes the first line
    if (!std::all_of(text.begin(), text.end(), [&](wchar_t ch) { return accepts_char(hwnd, ch); }))
        return;
    edit_replace_selection(hwnd, st, text, true);
}

wchar_t apply_case(HWND hwnd, wchar_t ch)
{
    const LONG style = style_of(hwnd);
    if (style & ES_UPPERCASE)
        return static_cast<wchar_t>(std::towupper(ch));
    if (style & ES_LOWERCASE)
        return static_cast<wchar_t>(std::towlower(ch));
    return ch;
}

void edit_backspace(HWND hwnd, EditState& st)
{
    if (is_read_only(hwnd))
        return;
    if (sel_start(st) == sel_end(st)) {
        if (st.caret == 0)
            return;
        st.anchor = st.caret - 1;
    }
    edit_replace_selection(hwnd, st, L"", false);
}

void edit_delete(HWND hwnd, EditState& st)
{
    if (is_read_only(hwnd))
        return;
    if (sel_start(st) == sel_end(st)) {
        if (st.caret >= st.text.size())
            return;
        st.anchor = st.caret + 1;
    }
    edit_replace_selection(hwnd, st, L"", false);
}

LRESULT edit_on_char(HWND hwnd, EditState& st, wchar_t ch)
{
    switch (ch) {
    case 1: // Ctrl+A
        st.anchor = 0;
        st.caret = st.text.size();
        edit_moved_caret(hwnd, st);
        return 0;
    case 3: // Ctrl+C
        edit_copy(st);
        return 0;
    case 22: // Ctrl+V
        edit_paste(hwnd, st);
        return 0;
    case 24: // Ctrl+X
        edit_cut(hwnd, st);
        return 0;
    case VK_BACK:
        edit_backspace(hwnd, st);
        return 0;
    default:
        break;
    }
    if (is_read_only(hwnd) || !accepts_char(hwnd, ch))
        return 0;
    const wchar_t typed = apply_case(hwnd, ch);
    edit_replace_selection(hwnd, st, std::wstring_view(&typed, 1), true);
    return 0;
}

void edit_move_caret(HWND hwnd, EditState& st, size_t to, bool extend)
{
    const bool had_selection = sel_start(st) != sel_end(st);
    st.caret = std::min(to, st.text.size());
    if (!extend)
        st.anchor = st.caret;
    if (!extend && had_selection)
        InvalidateRect(hwnd, nullptr, TRUE);
    edit_moved_caret(hwnd, st);
}

LRESULT edit_on_key_down(HWND hwnd, EditState& st, WPARAM key)
{
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (key) {
    case VK_LEFT:
        if (!shift && sel_start(st) != sel_end(st))
            edit_move_caret(hwnd, st, sel_start(st), false);
        else
            edit_move_caret(hwnd, st, st.caret > 0 ? st.caret - 1 : 0, shift);
        break;
    case VK_RIGHT:
        if (!shift && sel_start(st) != sel_end(st))
            edit_move_caret(hwnd, st, sel_end(st), false);
        else
            edit_move_caret(hwnd, st, st.caret + 1, shift);
        break;
    case VK_HOME:
        edit_move_caret(hwnd, st, 0, shift);
        break;
    case VK_END:
        edit_move_caret(hwnd, st, st.text.size(), shift);
        break;
    case VK_DELETE:
        edit_delete(hwnd, st);
        break;
    default:
        break;
    }
    return 0;
}

// The caret position nearest to client x; of positions equally near, the first.
size_t edit_hit(HWND hwnd, const EditState& st, int x)
{
    const std::vector<int>& edges = st.edges;
    const int target = x - (kMargin + align_offset(hwnd, text_width(st), inner_width(hwnd)) - st.scroll);
    const auto after = std::lower_bound(edges.begin(), edges.end(), target);
    if (after == edges.begin())
        return 0;
    const int before = *std::prev(after);
    if (after != edges.end() && *after - target < target - before)
        return static_cast<size_t>(after - edges.begin());
    return static_cast<size_t>(std::lower_bound(edges.begin(), edges.end(), before) - edges.begin());
}

LRESULT edit_on_lbutton_down(HWND hwnd, LPARAM pos)
{
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    EditState* st = g_edits.find(hwnd); // the focus notifications may have run any code
    if (!st)
        return 0;
    SetCapture(hwnd);
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    edit_move_caret(hwnd, *st, edit_hit(hwnd, *st, GET_X_LPARAM(pos)), shift);
    return 0;
}

LRESULT edit_on_mouse_move(HWND hwnd, EditState& st, LPARAM pos)
{
    if (GetCapture() == hwnd)
        edit_move_caret(hwnd, st, edit_hit(hwnd, st, GET_X_LPARAM(pos)), true);
    return 0;
}

LRESULT edit_on_set_sel(HWND hwnd, EditState& st, WPARAM from, LPARAM to)
{
    const auto start = static_cast<int>(static_cast<INT_PTR>(from));
    const auto end = static_cast<int>(to);
    if (start < 0) { // -1 removes the selection and keeps the caret
        st.anchor = st.caret;
    } else {
        st.anchor = std::min<size_t>(static_cast<size_t>(start), st.text.size());
        st.caret = end < 0 ? st.text.size() : std::min<size_t>(static_cast<size_t>(end), st.text.size());
    }
    edit_moved_caret(hwnd, st);
    return 0;
}

LRESULT edit_on_get_sel(const EditState& st, WPARAM start_out, LPARAM end_out)
{
    const auto start = static_cast<DWORD>(sel_start(st));
    const auto end = static_cast<DWORD>(sel_end(st));
    if (auto* p = reinterpret_cast<DWORD*>(start_out))
        *p = start;
    if (auto* p = reinterpret_cast<DWORD*>(end_out))
        *p = end;
    return MAKELRESULT(std::min<DWORD>(start, 0xFFFF), std::min<DWORD>(end, 0xFFFF));
}

LRESULT edit_on_set_text(HWND hwnd, EditState& st, LPARAM text)
{
    // Text set by the program is kept whole (no width or length limit) and always notifies, even
    // when it equals the old text: the owner relies on that to re-read its fields.
    set_text(hwnd, st, text_from(text));
    st.anchor = st.caret = 0;
    st.scroll = 0;
    edit_changed(hwnd, st, true);
    return TRUE;
}

LRESULT edit_on_set_read_only(HWND hwnd, WPARAM read_only)
{
    const LONG style = style_of(hwnd);
    SetWindowLongW(hwnd, GWL_STYLE, read_only ? (style | ES_READONLY) : (style & ~ES_READONLY));
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

// The characters of a field that can show, and the x of the first from the text's start.
struct ShownPart {
    int x = 0;
    std::wstring text;
};

// Of characters [from, to) of the text drawn at `origin`, the ones that can show between client x 0
// and `right`: those wholly outside are left out (with a margin of the widest glyph for glyphs that
// overhang their cell), and so is a zero-width run's part beyond kMostZeroWidthDrawn. Each step goes
// to the next x where a character starts, so the cost follows the field's width, not the text's length.
ShownPart shown_part(HDC dc, const EditState& st, size_t from, size_t to, int origin, int right)
{
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const std::vector<int>& edges = st.edges;
    const int left_x = -origin - tm.tmMaxCharWidth, right_x = right - origin + tm.tmMaxCharWidth;
    auto index_of = [&](std::vector<int>::const_iterator at) { return static_cast<size_t>(at - edges.begin()); };
    const size_t first_cut = index_of(std::upper_bound(edges.begin(), edges.end(), left_x));
    const size_t first = std::max(from, first_cut > 0 ? first_cut - 1 : 0);
    const size_t end = std::min(to, index_of(std::lower_bound(edges.begin(), edges.end(), right_x)));
    ShownPart part{edges[std::min(first, st.text.size())], {}};
    for (size_t i = first; i < end;) {
        // Characters i .. advancing - 1 have no width: they stand at edges[i], as does the one after them.
        const size_t advancing = std::min(end, index_of(std::upper_bound(edges.begin() + static_cast<ptrdiff_t>(i), edges.end(), edges[i])) - 1);
        part.text.append(st.text, i, std::min(advancing - i, kMostZeroWidthDrawn));
        if (advancing < end)
            part.text.push_back(st.text[advancing]);
        i = advancing + 1;
    }
    return part;
}

void draw_shown(HDC dc, const EditState& st, size_t from, size_t to, int origin, int top, int right, COLORREF color)
{
    const ShownPart part = shown_part(dc, st, from, to, origin, right);
    draw_text_in_color(dc, part.text, origin + part.x, top, color);
}

void edit_paint_text(HWND hwnd, HDC dc, const EditState& st, const RECT& rc)
{
    const std::vector<int>& edges = st.edges;
    const int avail = inner_width(hwnd);
    const int origin = kMargin + align_offset(hwnd, text_width(st), avail) - st.scroll;
    const int top = std::max(0, static_cast<int>(rc.bottom - line_height(dc)) / 2);
    const bool enabled = IsWindowEnabled(hwnd);
    draw_shown(dc, st, 0, st.text.size(), origin, top, rc.right,
               GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    if (!st.focused)
        return;
    const size_t s = sel_start(st), e = sel_end(st);
    if (e > s) {
        RECT sel{origin + edges[s], top, origin + edges[e], top + line_height(dc)};
        fill_rect(dc, sel, GetSysColor(COLOR_HIGHLIGHT));
        draw_shown(dc, st, s, e, origin, top, rc.right, GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    const int x = origin + edges[std::min(st.caret, st.text.size())];
    fill_rect(dc, RECT{x, top, x + 1, top + line_height(dc)}, GetSysColor(COLOR_WINDOWTEXT));
}

LRESULT edit_on_paint(HWND hwnd, const EditState& st)
{
    return paint_window(hwnd, [&](HDC dc, const RECT& rc) {
        // A read-only or disabled field is greyed so the user sees it takes no typing.
        const bool grey = is_read_only(hwnd) || !IsWindowEnabled(hwnd);
        fill_rect(dc, rc, GetSysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW));
        IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
        edit_paint_text(hwnd, dc, st, rc);
    });
}

LRESULT edit_on_focus(HWND hwnd, EditState& st, bool focused)
{
    st.focused = focused;
    InvalidateRect(hwnd, nullptr, TRUE);
    notify_parent(hwnd, focused ? EN_SETFOCUS : EN_KILLFOCUS);
    return 0;
}

LRESULT edit_on_create(HWND hwnd, EditState& st, const CREATESTRUCTW* cs)
{
    if (cs && cs->lpszName)
        set_text(hwnd, st, cs->lpszName);
    sync_window_text(hwnd, st.text);
    return 0;
}

LRESULT edit_dispatch(HWND hwnd, EditState& st, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: return edit_on_create(hwnd, st, reinterpret_cast<const CREATESTRUCTW*>(lp));
    case WM_SETTEXT: return edit_on_set_text(hwnd, st, lp);
    case WM_GETTEXT: return copy_text_out(st.text, wp, lp);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(st.text.size());
    case WM_CHAR: return edit_on_char(hwnd, st, static_cast<wchar_t>(wp));
    case WM_KEYDOWN: return edit_on_key_down(hwnd, st, wp);
    case WM_LBUTTONDOWN: return edit_on_lbutton_down(hwnd, lp);
    case WM_MOUSEMOVE: return edit_on_mouse_move(hwnd, st, lp);
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd)
            ReleaseCapture();
        return 0;
    case WM_SETFOCUS: return edit_on_focus(hwnd, st, true);
    case WM_KILLFOCUS: return edit_on_focus(hwnd, st, false);
    case WM_PAINT: return edit_on_paint(hwnd, st);
    case WM_ERASEBKGND: return 1; // the paint fills the whole field
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SIZE: edit_moved_caret(hwnd, st); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case EM_GETSEL: return edit_on_get_sel(st, wp, lp);
    case EM_SETSEL: return edit_on_set_sel(hwnd, st, wp, lp);
    case EM_REPLACESEL: edit_replace_selection(hwnd, st, text_from(lp), false); return 0;
    case EM_LIMITTEXT: st.limit = wp ? static_cast<size_t>(wp) : kLargestLimit; return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(st.limit);
    case EM_SETREADONLY: return edit_on_set_read_only(hwnd, wp);
    case WM_COPY: edit_copy(st); return 0;
    case WM_CUT: edit_cut(hwnd, st); return 0;
    case WM_PASTE: edit_paste(hwnd, st); return 0;
    case WM_CLEAR:
        if (!is_read_only(hwnd))
            edit_replace_selection(hwnd, st, L"", false);
        return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return route_to_state(g_edits, hwnd, msg, wp, lp, edit_dispatch);
}

} // namespace

void register_edit_class()
{
    register_control_class(L"Edit", edit_proc);
}

} // namespace platform::controls
