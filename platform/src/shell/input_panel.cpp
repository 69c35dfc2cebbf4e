// SPDX-License-Identifier: GPL-3.0-or-later
// The input panel: its state, raising and lowering it, the area it leaves to windows, the stylus on its
// keys, and the shell calls that ask for it (SHSipPreference, SHSipInfo, SipGetInfo, SipShowIM).
#include "shell/input_panel.h"

#include "device/device.h"
#include "gdi/surface.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <aygshell.h>
#include <kelvora_device.h>

#include <optional>

namespace platform {
namespace {

PanelState& panel() { return device().m_panel; }

// One layout of the screen: its size and whether the panel was up.
struct ScreenLayout {
    int m_width;
    int m_height;
    bool m_panel_up;
};

RECT panel_rect_for(int width, int height)
{
    const int bottom = height - menu_bar_height;
    return RECT{0, bottom - panel_height(width, height), width, bottom};
}

RECT filled_area(const ScreenLayout& l, bool below_menu_bar)
{
    int bottom = l.m_height - (below_menu_bar ? menu_bar_height : 0);
    if (l.m_panel_up)
        bottom = panel_rect_for(l.m_width, l.m_height).top;
    return RECT{0, nav_bar_height, l.m_width, bottom};
}

bool owns_menu_bar(const Window* window)
{
    for (const Window* bar : shell_windows())
        if (bar->m_owner == window)
            return true;
    return false;
}

int key_at(const std::vector<PanelKey>& keys, POINT p)
{
    for (size_t i = 0; i < keys.size(); ++i)
        if (PtInRect(&keys[i].m_rect, p))
            return static_cast<int>(i);
    return -1;
}

// The key goes in front of any input still queued, in the order a keyboard makes it: Shift held around it
// when latched, the key down, the character it types, the key up. Space, Enter, Backspace and Tab send no
// character of their own: TranslateMessage makes it from the key, as for the host keyboard.
void send_key(const PanelKey& key, bool shifted)
{
    std::vector<InputEvent> events;
    if (shifted)
        events.push_back({InputKind::KeyDown, 0, 0, VK_SHIFT});
    events.push_back({InputKind::KeyDown, 0, 0, key.m_vk});
    if (key.m_kind == KeyKind::Character) {
        wchar_t c = key.m_char;
        if (shifted && c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        events.push_back({InputKind::Char, 0, 0, 0, c});
    }
    events.push_back({InputKind::KeyUp, 0, 0, key.m_vk});
    if (shifted)
        events.push_back({InputKind::KeyUp, 0, 0, VK_SHIFT});
    auto& input = device().m_input;
    input.insert(input.begin(), events.begin(), events.end());
}

void release_on(const std::vector<PanelKey>& keys, int key)
{
    PanelState& s = panel();
    if (key < 0 || key != s.m_down_key)
        return;
    if (keys[key].m_kind == KeyKind::Shift) {
        s.m_shift = !s.m_shift;
        return;
    }
    send_key(keys[key], s.m_shift);
    s.m_shift = false;
}

} // namespace

bool input_panel_is_up() { return panel().m_up; }

RECT input_panel_rect() { return panel_rect_for(device().m_width, device().m_height); }

void set_input_panel(bool up)
{
    PanelState& s = panel();
    s.m_request.reset();
    if (s.m_up == up)
        return;
    Device& d = device();
    d.m_old_width = d.m_width;
    d.m_old_height = d.m_height;
    s.m_was_up = s.m_up;
    s.m_up = up;
    s.m_down_key = s.m_pressed = -1;
    s.m_stroke = false;
    send_setting_change(SPI_SETSIPINFO);
    keep_popups_on_screen();
}

void request_input_panel(bool up)
{
    PanelState& s = panel();
    if (!up && s.m_input_dialog && active_window() && active_window()->m_handle == s.m_input_dialog)
        return;
    s.m_request = up;
}

void cancel_input_panel_request() { panel().m_request.reset(); }

bool settle_input_panel()
{
    PanelState& s = panel();
    if (!s.m_request)
        return false;
    const bool up = *s.m_request;
    const bool change = up != s.m_up;
    set_input_panel(up);
    return change;
}

bool input_panel_info(SIPINFO* info)
{
    // No input method of ours keeps data of its own, so a request for it fails, as documented.
    if (!info || info->cbSize != sizeof(SIPINFO) || info->dwImDataSize != 0)
        return false;
    info->fdwFlags = SIPF_DOCKED | (input_panel_is_up() ? SIPF_ON : SIPF_OFF);
    info->rcVisibleDesktop = visible_desktop();
    info->rcSipRect = input_panel_rect();
    return true;
}

void set_input_dialog(HWND window) { panel().m_input_dialog = window; }
HWND input_dialog() { return panel().m_input_dialog; }

bool work_area_fill_now(const Window* window, RECT* now)
{
    const Device& d = device();
    const PanelState& s = panel();
    const ScreenLayout current{d.m_width, d.m_height, s.m_up};
    const ScreenLayout before{d.m_old_width, d.m_old_height, s.m_was_up};
    for (bool below_menu_bar : {false, true}) {
        for (const ScreenLayout& l : {before, current}) {
            const RECT area = filled_area(l, below_menu_bar);
            if (!EqualRect(&window->m_rect, &area))
                continue;
            // Above a raised panel the menu-bar shortening leaves no trace; whether the window has a bar
            // of its own tells where it ends once the panel is down.
            const bool keep_bar = l.m_panel_up ? owns_menu_bar(window) : below_menu_bar;
            *now = filled_area(current, keep_bar);
            return true;
        }
    }
    return false;
}

RECT visible_desktop()
{
    const Device& d = device();
    return RECT{0, nav_bar_height, d.m_width, input_panel_is_up() ? input_panel_rect().top : d.m_height};
}

bool input_panel_stylus(InputKind kind, POINT p)
{
    PanelState& s = panel();
    if (kind == InputKind::Down) {
        const RECT r = input_panel_rect();
        s.m_stroke = s.m_up && PtInRect(&r, p);
        s.m_down_key = s.m_stroke ? key_at(panel_keys(r), p) : -1;
        s.m_pressed = s.m_down_key;
        return s.m_stroke;
    }
    if (!s.m_stroke)
        return false;
    const std::vector<PanelKey> keys = panel_keys(input_panel_rect());
    // Sliding off the key lets it go; coming back presses it again, so the stroke can still be taken back.
    const int under = key_at(keys, p);
    s.m_pressed = under == s.m_down_key ? under : -1;
    if (kind == InputKind::Up) {
        release_on(keys, under);
        s.m_down_key = s.m_pressed = -1;
        s.m_stroke = false;
    }
    return true;
}

void draw_input_panel(Surface& screen)
{
    const PanelState& s = panel();
    if (s.m_up) {
        const RECT r = input_panel_rect();
        draw_panel_keys(screen, r, panel_keys(r), s.m_pressed, s.m_shift);
    }
}

void input_panel_on_rotate()
{
    PanelState& s = panel();
    s.m_was_up = s.m_up;
    s.m_down_key = s.m_pressed = -1;
    s.m_stroke = false;
}

} // namespace platform

using namespace platform;

BOOL WINAPI SHSipPreference(HWND hwnd, SIPSTATE state)
{
    if (!IsWindow(hwnd))
        return FALSE;
    switch (state) {
    case SIP_UP: request_input_panel(true); return TRUE;
    case SIP_DOWN: request_input_panel(false); return TRUE;
    case SIP_FORCEDOWN: set_input_panel(false); return TRUE;
    case SIP_UNCHANGED: cancel_input_panel_request(); return TRUE;
    case SIP_INPUTDIALOG: set_input_dialog(hwnd); return TRUE;
    }
    return FALSE;
}

BOOL WINAPI SHSipInfo(UINT action, UINT param, PVOID value, UINT winIni)
{
    if (action != SPI_GETSIPINFO && action != SPI_SETSIPINFO)
        return FALSE;
    return SystemParametersInfoW(action, param, value, winIni);
}

BOOL WINAPI SipGetInfo(SIPINFO* info) { return input_panel_info(info); }

BOOL WINAPI SipShowIM(DWORD flags)
{
    set_input_panel((flags & SIPF_ON) != 0);
    return TRUE;
}

bool kelvora::device::input_panel(RECT* rect)
{
    if (rect)
        *rect = input_panel_rect();
    return input_panel_is_up();
}
