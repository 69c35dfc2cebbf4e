// SPDX-License-Identifier: GPL-3.0-or-later
// The Pocket PC shell: the navigation bar at the top with the active window's title and "ok" button, the
// stylus and drawing of both bars (menu_bar.cpp has the menu bar's own), the SH* helpers for activation
// and setting changes, and the screen's metrics.
#include "shell/shell.h"

#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "shell/input_panel.h"
#include "shell/menu_bar.h"
#include "text/text.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <aygshell.h>

namespace platform {
namespace {

constexpr uint32_t nav_colour = navy;

NavBarState& shell() { return device().m_nav_bar; }

RECT ok_button_rect()
{
    Device& d = device();
    return RECT{d.m_width - 30, 3, d.m_width - 4, nav_bar_height - 3};
}

bool active_has_ok()
{
    Window* a = active_window();
    return a && (a->m_ex_style & WS_EX_CAPTIONOKBTN);
}

// True when the stroke begins on the navigation bar; the "ok" button lights until it ends.
bool press_nav_bar(POINT p)
{
    RECT ok = ok_button_rect();
    shell().m_pressed_ok = p.y < nav_bar_height && active_has_ok() && PtInRect(&ok, p);
    return p.y < nav_bar_height;
}

// The "ok" button acts only if the stroke ends on it too, and the window still has it.
void release_nav_bar(POINT p)
{
    RECT ok = ok_button_rect();
    if (shell().m_pressed_ok && PtInRect(&ok, p) && active_has_ok())
        PostMessageW(active_window()->m_handle, WM_COMMAND, IDOK, 0);
    shell().m_pressed_ok = false;
}

void draw_ok_button(Surface& screen, Dc& dc, const RECT& ok)
{
    bool pressed = shell().m_pressed_ok;
    uint32_t face = pressed ? 0xFFFFFF : nav_colour;
    uint32_t ink = pressed ? nav_colour : 0xFFFFFF;
    fill_rect_pixels(dc, ok, 0xFFFFFF);
    fill_rect_pixels(dc, RECT{ok.left + 1, ok.top + 1, ok.right - 1, ok.bottom - 1}, face);
    int line = font_metrics().m_ascent + font_metrics().m_descent;
    int w = device_text_width(L"ok");
    draw_text_on_surface(screen, ok, (ok.left + ok.right - w) / 2, ok.top + (ok.bottom - ok.top - line) / 2, L"ok", ink);
}

// The active window's title, and its "ok" button when it has one.
void draw_nav_bar(Surface& screen)
{
    Device& d = device();
    Dc dc = screen_dc(screen);
    fill_rect_pixels(dc, RECT{0, 0, d.m_width, nav_bar_height}, nav_colour);
    int title_right = d.m_width - 4;
    if (active_has_ok()) {
        RECT ok = ok_button_rect();
        title_right = ok.left - 2;
        draw_ok_button(screen, dc, ok);
    }
    int line = font_metrics().m_ascent + font_metrics().m_descent;
    if (Window* active = active_window())
        draw_text_on_surface(screen, RECT{0, 0, title_right, nav_bar_height}, 6, (nav_bar_height - line) / 2,
                             active->m_text, 0xFFFFFF);
}

} // namespace

bool shell_stylus(InputKind kind, POINT p)
{
    // An open menu takes every stroke: one outside it closes it.
    if (menu_is_open())
        return menu_handle_tap(kind, p);
    // The menu bar goes first, so that every new stroke makes it forget a press left from an earlier one.
    bool on_menu_bar = menu_bar_stylus(kind, p);
    if (kind == InputKind::Down)
        return press_nav_bar(p) || on_menu_bar;
    if (kind == InputKind::Up)
        release_nav_bar(p);
    return true;
}

bool shell_key(UINT vk, bool down)
{
    if (vk == VK_F1 || vk == VK_F2) {
        if (down)
            press_soft_key(vk == VK_F1 ? 0 : 1);
        return true;
    }
    if (menu_is_open()) {
        if (down)
            menu_handle_key(vk);
        return true;
    }
    return false;
}

void draw_shell_bars(Surface& screen)
{
    draw_input_panel(screen);
    draw_nav_bar(screen);
    draw_menu_bar(screen);
}

} // namespace platform

using namespace platform;

BOOL WINAPI SHInitExtraControls(void) { return TRUE; }

BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD)
{
    if (!IsWindow(hwnd))
        return FALSE;
    HWND focus = GetFocus();
    if (LOWORD(wParam) == WA_INACTIVE) {
        if (info) {
            info->hwndLastFocus = focus && (focus == hwnd || IsChild(hwnd, focus)) ? focus : nullptr;
            info->fActive = 0;
            info->fSipUp = info->fSipOnDeactivation = input_panel_is_up();
        }
        return TRUE;
    }
    if (info) {
        info->fActive = 1;
        // The panel goes back to where it was when the window was left; a window never left yet had it down.
        request_input_panel(info->fSipOnDeactivation);
    }
    // Back to the control that had the keyboard when the window was left.
    if (info && info->hwndLastFocus && IsChild(hwnd, info->hwndLastFocus) && IsWindowVisible(info->hwndLastFocus)) {
        if (focus != info->hwndLastFocus)
            SetFocus(info->hwndLastFocus);
    } else if (!focus || (focus != hwnd && !IsChild(hwnd, focus))) {
        SetFocus(hwnd);
    }
    return TRUE;
}

BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM, LPARAM, SHACTIVATEINFO* info)
{
    Window* w = window_from_handle(hwnd);
    if (!w || !w->is_top_level())
        return FALSE;
    if (info)
        info->fSipUp = input_panel_is_up();
    // A window that covered the work area covers it after the turn of the screen or the move of the panel.
    RECT now;
    if (work_area_fill_now(w, &now) && !EqualRect(&now, &w->m_rect))
        MoveWindow(hwnd, now.left, now.top, now.right - now.left, now.bottom - now.top, TRUE);
    return TRUE;
}

int WINAPI GetSystemMetrics(int index)
{
    Device& d = device();
    switch (index) {
    case SM_CXSCREEN: return d.m_width;
    case SM_CYSCREEN: return d.m_height;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 13;
    case SM_CYCAPTION: return caption_height;
    case SM_CXBORDER:
    case SM_CYBORDER:
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 1;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CYMENU: return menu_bar_height;
    default: return 0;
    }
}

BOOL WINAPI SystemParametersInfoW(UINT action, UINT, PVOID value, UINT)
{
    if (!value)
        return FALSE;
    Device& d = device();
    switch (action) {
    case SPI_GETWORKAREA: *static_cast<RECT*>(value) = RECT{0, nav_bar_height, d.m_width, d.m_height}; return TRUE;
    case SPI_GETSIPINFO: return input_panel_info(static_cast<SIPINFO*>(value));
    case SPI_SETSIPINFO:
        if (static_cast<SIPINFO*>(value)->cbSize != sizeof(SIPINFO))
            return FALSE;
        set_input_panel((static_cast<SIPINFO*>(value)->fdwFlags & SIPF_ON) != 0);
        return TRUE;
    default: return FALSE;
    }
}
