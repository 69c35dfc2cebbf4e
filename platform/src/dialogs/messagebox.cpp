// SPDX-License-Identifier: GPL-3.0-or-later
// MessageBoxW: a modal box with a caption, a drawn icon, wrapped text and a row of buttons.
#include "controls/controls_common.h"
#include "dialogs/dialogs.h"

#include <algorithm>
#include <cmath>

namespace platform::controls {
namespace {

constexpr int kMargin = 8;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 56;
constexpr int kButtonHeight = 20;
constexpr int kButtonGap = 6;
constexpr int kMaxWidth = 232;

struct BoxButton {
    int id;
    const wchar_t* label;
};

struct MessageBoxState {
    std::wstring text;
    UINT type = 0;
    std::vector<BoxButton> buttons;
    std::vector<std::wstring> lines;
    int text_x = kMargin;
};

constexpr StateTable<MessageBoxState> g_boxes;

std::vector<BoxButton> buttons_for(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, L"Abort"}, {IDRETRY, L"Retry"}, {IDIGNORE, L"Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, L"Yes"}, {IDNO, L"No"}, {IDCANCEL, L"Cancel"}};
    case MB_YESNO: return {{IDYES, L"Yes"}, {IDNO, L"No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, L"Retry"}, {IDCANCEL, L"Cancel"}};
    default: return {{IDOK, L"OK"}};
    }
}

bool has_icon(UINT type)
{
    return (type & MB_ICONMASK) != 0;
}

// What Esc and closing answer: Cancel, else No, else the only button.
int cancel_answer(const MessageBoxState& st)
{
    for (int wanted : {IDCANCEL, IDNO})
        for (const BoxButton& b : st.buttons)
            if (b.id == wanted)
                return wanted;
    return st.buttons.size() == 1 ? st.buttons.front().id : 0;
}

void fill_row(HDC dc, int left, int right, int y, COLORREF color)
{
    if (right > left)
        fill_rect(dc, RECT{left, y, right, y + 1}, color);
}

void draw_disc(HDC dc, int x, int y, COLORREF color)
{
    const double r = kIconSize / 2.0;
    for (int row = 0; row < kIconSize; ++row) {
        const double dy = row + 0.5 - r;
        const int half = static_cast<int>(std::lround(std::sqrt(std::max(0.0, r * r - dy * dy))));
        fill_row(dc, x + kIconSize / 2 - half, x + kIconSize / 2 + half, y + row, color);
    }
}

void draw_triangle(HDC dc, int x, int y, COLORREF fill, COLORREF edge)
{
    for (int row = 1; row < kIconSize - 1; ++row) {
        const int half = (row - 1) * (kIconSize / 2 - 1) / (kIconSize - 3);
        fill_row(dc, x + kIconSize / 2 - half - 1, x + kIconSize / 2 + half + 1, y + row, edge);
        if (row > 2 && row < kIconSize - 2)
            fill_row(dc, x + kIconSize / 2 - half + 1, x + kIconSize / 2 + half - 1, y + row, fill);
    }
}

void draw_glyph(HDC dc, int x, int y, const wchar_t* glyph, COLORREF color)
{
    const int width = dc_text_width(dc, glyph);
    draw_text_in_color(dc, glyph, x + (kIconSize - width) / 2, y + (kIconSize - line_height(dc)) / 2 + 2, color);
}

void draw_cross(HDC dc, int x, int y)
{
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x + 10, y + 10, nullptr);
    LineTo(dc, x + 22, y + 22);
    MoveToEx(dc, x + 22, y + 10, nullptr);
    LineTo(dc, x + 10, y + 22);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The warning sign's mark, drawn in pixels rather than with the small text font: a bar and a dot,
// three pixels wide, centred in the lower part of the triangle where it is widest.
void draw_exclamation(HDC dc, int x, int y, COLORREF color)
{
    const int left = x + kIconSize / 2 - 1;
    fill_rect(dc, RECT{left, y + 11, left + 3, y + 22}, color);
    fill_rect(dc, RECT{left, y + 24, left + 3, y + 27}, color);
}

void draw_icon(HDC dc, UINT type, int x, int y)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        draw_disc(dc, x, y, RGB(208, 0, 0));
        draw_cross(dc, x, y);
        break;
    case MB_ICONQUESTION:
        draw_disc(dc, x, y, RGB(0, 80, 200));
        draw_glyph(dc, x, y, L"?", RGB(255, 255, 255));
        break;
    case MB_ICONEXCLAMATION:
        draw_triangle(dc, x, y, RGB(255, 204, 0), RGB(0, 0, 0));
        draw_exclamation(dc, x, y, RGB(0, 0, 0));
        break;
    case MB_ICONASTERISK:
        draw_disc(dc, x, y, RGB(0, 80, 200));
        draw_glyph(dc, x, y, L"i", RGB(255, 255, 255));
        break;
    default: break;
    }
}

int box_width()
{
    const RECT area = work_area();
    return std::min<int>(kMaxWidth, area.right - area.left - 2 * kMargin);
}

void place_buttons(HWND box, const MessageBoxState& st, int width, int y, size_t default_index)
{
    const int count = static_cast<int>(st.buttons.size());
    int x = (width - count * kButtonWidth - (count - 1) * kButtonGap) / 2;
    for (size_t i = 0; i < st.buttons.size(); ++i, x += kButtonWidth + kButtonGap) {
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == default_index ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        CreateWindowExW(0, L"Button", st.buttons[i].label, style, x, y, kButtonWidth, kButtonHeight, box,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(st.buttons[i].id)), nullptr, nullptr);
    }
}

// Sizes the box around its client area and centres it in the work area.
void size_and_centre(HWND box, int width, int height)
{
    const SIZE outer = outer_size_for_client(box, width, height);
    const int cx = outer.cx, cy = outer.cy;
    const RECT area = work_area();
    const int x = area.left + std::max(0, static_cast<int>(area.right - area.left - cx) / 2);
    const int y = area.top + std::max(0, static_cast<int>(area.bottom - area.top - cy) / 2);
    SetWindowPos(box, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR message_box_on_init(HWND box, const MessageBoxState& request)
{
    MessageBoxState& st = g_boxes.create(box);
    st = request;
    const int width = box_width();
    st.text_x = has_icon(st.type) ? 2 * kMargin + kIconSize : kMargin;
    int text_height = 0;
    {
        MeasureDc dc(box);
        // A long word (a file's path) is cut rather than clipped: the whole message stays readable.
        st.lines = break_lines(st.text, width - st.text_x - kMargin, dc_measure(dc.get()), LongWords::Split);
        text_height = static_cast<int>(st.lines.size()) * line_height(dc.get());
    }
    const int content = std::max(has_icon(st.type) ? kIconSize : 0, text_height);
    const int buttons_y = kMargin + content + 2 * kMargin;
    const size_t default_index = std::min<size_t>((st.type & MB_DEFMASK) >> 8, st.buttons.size() - 1);
    place_buttons(box, st, width, buttons_y, default_index);
    size_and_centre(box, width, buttons_y + kButtonHeight + kMargin);
    HWND def = GetDlgItem(box, st.buttons[default_index].id);
    set_dialog_focus(box, def, false);
    return FALSE; // the focus is set: the default button, not the first one
}

void message_box_paint(HWND box, const MessageBoxState& st)
{
    paint_window(box, [&](HDC dc, const RECT& rc) {
        fill_rect(dc, rc, RGB(255, 255, 255));
        const int top = -GetScrollPos(box, SB_VERT); // a box taller than the space above the panel scrolls
        if (has_icon(st.type))
            draw_icon(dc, st.type, kMargin, top + kMargin);
        int y = top + kMargin;
        for (const std::wstring& line : st.lines) {
            draw_text_in_color(dc, line, st.text_x, y, GetSysColor(COLOR_WINDOWTEXT));
            y += line_height(dc);
        }
    });
}

INT_PTR message_box_on_command(HWND box, const MessageBoxState& st, int id)
{
    const bool is_button = std::any_of(st.buttons.begin(), st.buttons.end(), [&](const BoxButton& b) { return b.id == id; });
    const int answer = is_button ? id : id == IDCANCEL ? cancel_answer(st) : 0;
    if (answer)
        EndDialog(box, answer);
    return TRUE;
}

INT_PTR CALLBACK message_box_proc(HWND box, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG)
        return message_box_on_init(box, *reinterpret_cast<const MessageBoxState*>(lp));
    const MessageBoxState* st = g_boxes.find(box);
    if (!st)
        return FALSE;
    switch (msg) {
    case WM_PAINT: message_box_paint(box, *st); return TRUE;
    case WM_COMMAND: return message_box_on_command(box, *st, LOWORD(wp));
    case WM_DESTROY: g_boxes.erase(box); return FALSE;
    default: return FALSE;
    }
}

} // namespace
} // namespace platform::controls

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    using namespace platform::controls;
    MessageBoxState request;
    request.text = text ? text : L"";
    request.type = type;
    request.buttons = buttons_for(type);
    const std::vector<WORD> tpl = empty_dialog_template(WS_POPUP | WS_CAPTION, caption ? caption : L"Error");
    const INT_PTR answer = DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(tpl.data()), owner,
                                                   message_box_proc, reinterpret_cast<LPARAM>(&request));
    return answer < 0 ? 0 : static_cast<int>(answer);
}
