// SPDX-License-Identifier: GPL-3.0-or-later
// Registration of the predefined control classes, and the helpers the controls share.
#include "controls/control_classes.h"

#include "controls/controls_common.h"
#include "shell/shell.h"

#include <sipapi.h>

#include <algorithm>

namespace platform {

void register_control_classes()
{
    // RegisterClassW refuses a second registration of a name, so calling this twice is harmless.
    controls::register_edit_class();
    controls::register_button_class();
    controls::register_listbox_class();
    controls::register_static_class();
    controls::register_dialog_class();
}

} // namespace platform

namespace platform::controls {

void register_control_class(const wchar_t* name, WNDPROC proc, UINT style, HBRUSH background)
{
    WNDCLASSW wc{};
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

void notify_parent(HWND control, int code)
{
    HWND parent = GetParent(control);
    if (!parent)
        return;
    const int id = GetDlgCtrlID(control);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT copy_text_out(const std::wstring& text, WPARAM max, LPARAM buffer)
{
    auto* out = reinterpret_cast<wchar_t*>(buffer);
    if (!out || max == 0)
        return 0;
    const size_t count = std::min<size_t>(text.size(), max - 1);
    std::copy_n(text.data(), count, out);
    out[count] = L'\0';
    return static_cast<LRESULT>(count);
}

std::wstring text_from(LPARAM text)
{
    const auto* p = reinterpret_cast<const wchar_t*>(text);
    return p ? std::wstring(p) : std::wstring();
}

void sync_window_text(HWND hwnd, const std::wstring& text)
{
    DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

SavedDcState::SavedDcState(HDC dc)
    : m_dc(dc), m_pen(SelectObject(dc, GetStockObject(BLACK_PEN))),
      m_brush(SelectObject(dc, GetStockObject(WHITE_BRUSH))), m_text(GetTextColor(dc)), m_back(GetBkColor(dc)),
      m_mode(GetBkMode(dc))
{
}

SavedDcState::~SavedDcState()
{
    if (m_pen)
        SelectObject(m_dc, m_pen);
    if (m_brush)
        SelectObject(m_dc, m_brush);
    SetTextColor(m_dc, m_text);
    SetBkColor(m_dc, m_back);
    if (m_mode)
        SetBkMode(m_dc, m_mode);
}

int dc_text_width(HDC dc, std::wstring_view text)
{
    if (text.empty())
        return 0;
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int line_height(HDC dc)
{
    TEXTMETRICW tm{};
    if (!dc || !GetTextMetricsW(dc, &tm) || tm.tmHeight <= 0)
        return 13;
    return tm.tmHeight;
}

std::vector<int> caret_edges(HDC dc, std::wstring_view text)
{
    std::vector<int> edges(text.size() + 1, 0);
    if (text.empty())
        return edges;
    std::vector<INT> partial(text.size(), 0);
    SIZE size{};
    INT fit = 0;
    GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), 0x7fffffff, &fit, partial.data(), &size);
    for (size_t i = 0; i < text.size(); ++i)
        edges[i + 1] = std::max(edges[i], static_cast<int>(partial[i]));
    return edges;
}

TextMeasure dc_measure(HDC dc)
{
    return [dc](std::wstring_view text) { return dc_text_width(dc, text); };
}

void fill_rect(HDC dc, const RECT& rect, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void frame_rect(HDC dc, const RECT& rect, COLORREF color, int thickness)
{
    HBRUSH brush = CreateSolidBrush(color);
    RECT r = rect;
    for (int i = 0; i < thickness && r.right > r.left && r.bottom > r.top; ++i) {
        FrameRect(dc, &r, brush);
        InflateRect(&r, -1, -1);
    }
    DeleteObject(brush);
}

void draw_text_in_color(HDC dc, std::wstring_view text, int x, int y, COLORREF color)
{
    if (text.empty())
        return;
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
}

SIZE outer_size_for_client(HWND hwnd, int width, int height)
{
    // Measured on a provisional size large enough to hold any frame: a window smaller than its frame
    // has an empty client area, which would hide the frame's size.
    SetWindowPos(hwnd, nullptr, 0, 0, width + 64, height + 64, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer{}, client{};
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    return SIZE{width + (outer.right - outer.left) - (client.right - client.left),
                height + (outer.bottom - outer.top) - (client.bottom - client.top)};
}

RECT work_area()
{
    RECT area{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || IsRectEmpty(&area))
        SetRect(&area, 0, nav_bar_height, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    SIPINFO panel{};
    panel.cbSize = sizeof panel;
    if (SipGetInfo(&panel) && (panel.fdwFlags & SIPF_ON))
        area.bottom = std::min(area.bottom, panel.rcVisibleDesktop.bottom);
    return area;
}

} // namespace platform::controls
