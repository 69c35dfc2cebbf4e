// SPDX-License-Identifier: GPL-3.0-or-later
// The menu bar: SHCreateMenuBar and the SHMENUBAR record it reads, the bar's window class and its
// handlers, the layout of the bar's buttons and of the input panel's button between them, and the stylus
// and the soft keys on them (shell/menu.cpp has the pop-up menu that a drop-down button opens).
#include "shell/menu_bar.h"

#include "controls/controls_common.h"
#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "resources/resources.h"
#include "shell/input_panel.h"
#include "text/text.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <aygshell.h>

#include <algorithm>

namespace platform {
namespace {

constexpr int panel_button_width = 36;
constexpr uint32_t bar_colour = 0xD6DFF0;
constexpr uint32_t bar_line_colour = 0x7F8FB0;
constexpr uint32_t highlight_colour = navy;

constexpr wchar_t bar_class[] = L"menu_worker";

constexpr controls::StateTable<MenuBarRecord> g_bars;

MenuBarState& menu_bar_state() { return device().m_menu_bar; }

// The record of a bar window; a bar past WM_NCDESTROY has none, and so no buttons.
const std::vector<MenuBarButton>& buttons_of(const Window* bar)
{
    static const std::vector<MenuBarButton> none;
    const MenuBarRecord* record = g_bars.find(bar->m_handle);
    return record ? record->m_buttons : none;
}

bool has_panel_button(const Window* bar)
{
    const MenuBarRecord* record = g_bars.find(bar->m_handle);
    return !record || record->m_panel_button;
}

MenuState& open_menu_state() { return menu_bar_state().m_menu; }

// ---- Layout ----------------------------------------------------------------------------------------------

RECT panel_button_rect(const Window* bar)
{
    Device& d = device();
    int width = has_panel_button(bar) ? panel_button_width : 0;
    int left = (d.m_width - width) / 2;
    return RECT{left, d.m_height - menu_bar_height, left + width, d.m_height};
}

// The first half of the buttons share the space left of the input panel's button, the others the right;
// a lone button of a bar without that button takes the whole width.
RECT button_rect(const Window* bar, int index)
{
    Device& d = device();
    RECT middle = panel_button_rect(bar);
    int count = static_cast<int>(buttons_of(bar).size());
    int left_count = (count + 1) / 2;
    bool on_left = index < left_count;
    int first = on_left ? 0 : left_count;
    int n = std::max(1, on_left ? left_count : count - left_count);
    int from = on_left ? 0 : static_cast<int>(middle.right);
    bool whole_width = count == 1 && !has_panel_button(bar);
    int to = on_left && !whole_width ? static_cast<int>(middle.left) : d.m_width;
    int w = (to - from) / n;
    int left = from + (index - first) * w;
    int right = index - first == n - 1 ? to : left + w;
    return RECT{left, d.m_height - menu_bar_height, right, d.m_height};
}

// The button under p, or -1; the buttons do not overlap.
int button_at(const Window* bar, POINT p)
{
    for (int i = 0; i < static_cast<int>(buttons_of(bar).size()); ++i) {
        RECT r = button_rect(bar, i);
        if (PtInRect(&r, p))
            return i;
    }
    return -1;
}

bool opens_menu(const MenuBarButton& b) { return b.m_dropdown && !b.m_menu.empty(); }

// The bar shown, when its owner takes input: not while a modal dialog has disabled it.
Window* usable_bar()
{
    Window* bar = menu_bar_shown();
    if (!bar || !bar->m_owner || !bar->m_owner->m_alive || (bar->m_owner->m_style & WS_DISABLED))
        return nullptr;
    return bar;
}

// ---- Pressing the buttons --------------------------------------------------------------------------------

// A button of a bar whose owner takes input: a command button posts its command, a drop-down opens its
// menu, or closes it when it is the one open.
void press_button(Window* bar, int index, bool by_key)
{
    if (index < 0 || index >= static_cast<int>(buttons_of(bar).size()))
        return;
    const MenuBarButton& b = buttons_of(bar)[index];
    if (!b.m_enabled)
        return;
    if (opens_menu(b)) {
        const MenuState& m = open_menu_state();
        if (menu_is_open() && m.m_bar == bar->m_handle && m.m_button == index)
            menu_close();
        else
            open_menu(bar, index, by_key);
        return;
    }
    menu_close();
    post_command(bar->m_owner, b.m_command);
}

// A stroke that begins on the bar shown; p in screen coordinates.
void on_lbuttondown(Window* shown, POINT p)
{
    BarPress& press = menu_bar_state().m_press;
    // The input panel's button belongs to the shell: it works behind a modal dialog too.
    RECT middle = panel_button_rect(shown);
    if (has_panel_button(shown) && PtInRect(&middle, p)) {
        press.m_panel_button = true;
        return;
    }
    Window* bar = usable_bar();
    if (!bar)
        return; // the bar of a window behind a modal dialog takes no taps
    int i = button_at(bar, p);
    if (i < 0)
        return;
    if (opens_menu(buttons_of(bar)[i])) {
        press_button(bar, i, false); // a drop-down opens at once, so a drag can reach an item
    } else {
        press.m_button = i;
        press.m_bar = bar->m_handle;
    }
}

// The end of a stroke that began on a bar: the button it began on acts if it ends there too.
void on_lbuttonup(POINT p)
{
    BarPress& press = menu_bar_state().m_press;
    Window* shown = menu_bar_shown();
    RECT middle = shown ? panel_button_rect(shown) : RECT{};
    if (press.m_panel_button && PtInRect(&middle, p))
        set_input_panel(!input_panel_is_up());
    Window* bar = window_from_handle(press.m_bar);
    if (bar && press.m_button >= 0) {
        RECT r = button_rect(bar, press.m_button);
        if (PtInRect(&r, p) && bar == usable_bar())
            press_button(bar, press.m_button, false);
    }
    menu_bar_state().m_press = BarPress{};
}

// F1 and F2 on the bar shown: its first or last button. F1 closes an open menu first.
void on_keydown(Window* bar, UINT vk)
{
    const int count = static_cast<int>(buttons_of(bar).size());
    if (count == 0) {
        menu_close();
        return;
    }
    if (vk == VK_F1 && menu_is_open())
        menu_close();
    press_button(bar, vk == VK_F1 ? 0 : count - 1, true);
}

// A bar that goes takes its open menu with it.
void on_destroy(HWND bar)
{
    if (open_menu_state().m_bar == bar)
        menu_close();
}

// The stylus messages carry the bar's client coordinates; the bar works in the screen's.
POINT screen_point(HWND bar, LPARAM lp)
{
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(bar, &p);
    return p;
}

LPARAM client_point(HWND bar, POINT screen)
{
    ScreenToClient(bar, &screen);
    return MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y));
}

LRESULT bar_dispatch(HWND hwnd, MenuBarRecord&, UINT msg, WPARAM wp, LPARAM lp)
{
    Window* bar = window_from_handle(hwnd);
    if (!bar)
        return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_DESTROY: on_destroy(hwnd); return 0;
    case WM_LBUTTONDOWN: on_lbuttondown(bar, screen_point(hwnd, lp)); return 0;
    case WM_LBUTTONUP: on_lbuttonup(screen_point(hwnd, lp)); return 0;
    case WM_KEYDOWN: on_keydown(bar, static_cast<UINT>(wp)); return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK menu_bar_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return controls::route_to_state(g_bars, hwnd, msg, wp, lp, bar_dispatch);
}

// ---- Drawing ---------------------------------------------------------------------------------------------

bool is_lit(const Window* bar, int index)
{
    const MenuBarState& s = menu_bar_state();
    return (s.m_press.m_bar == bar->m_handle && s.m_press.m_button == index) ||
           (s.m_menu.m_bar == bar->m_handle && s.m_menu.m_button == index);
}

void draw_bar_button(Surface& screen, Dc& dc, const Window* bar, int index)
{
    const MenuBarButton& b = buttons_of(bar)[index];
    RECT r = button_rect(bar, index);
    uint32_t ink = b.m_enabled ? 0x000000 : 0x808080;
    if (is_lit(bar, index)) {
        fill_rect_pixels(dc, RECT{r.left + 1, r.top + 2, r.right - 1, r.bottom - 1}, highlight_colour);
        ink = 0xFFFFFF;
    }
    // A line between neighbours; the panel's button has lines of its own.
    if (index > 0 && r.left != panel_button_rect(bar).right)
        fill_rect_pixels(dc, RECT{r.left, r.top + 5, r.left + 1, r.bottom - 5}, bar_line_colour);
    int line = font_metrics().m_ascent + font_metrics().m_descent;
    int w = device_text_width(b.m_caption);
    draw_text_on_surface(screen, r, (r.left + r.right - w) / 2, r.top + 1 + (menu_bar_height - 1 - line) / 2,
                         b.m_caption, ink);
}

void draw_bar(Surface& screen, const Window* bar)
{
    Device& d = device();
    Dc dc = screen_dc(screen);
    RECT area{0, d.m_height - menu_bar_height, d.m_width, d.m_height};
    fill_rect_pixels(dc, area, bar_colour);
    fill_rect_pixels(dc, RECT{area.left, area.top, area.right, area.top + 1}, bar_line_colour);
    for (int i = 0; i < static_cast<int>(buttons_of(bar).size()); ++i)
        draw_bar_button(screen, dc, bar, i);
    if (has_panel_button(bar)) {
        RECT middle = panel_button_rect(bar);
        for (LONG x : {middle.left, middle.right - 1})
            fill_rect_pixels(dc, RECT{x, middle.top + 5, x + 1, middle.bottom - 5}, bar_line_colour);
        draw_input_panel_button(screen, middle, menu_bar_state().m_press.m_panel_button);
    }
}

} // namespace

// ---- The bar ---------------------------------------------------------------------------------------------

const std::vector<MenuBarButton>& menu_bar_buttons(const Window* bar) { return buttons_of(bar); }
RECT menu_bar_button_rect(const Window* bar, int index) { return button_rect(bar, index); }

Window* menu_bar_shown()
{
    for (Window* top : top_level_order()) {
        if (!(top->m_style & WS_VISIBLE))
            continue;
        for (Window* bar : shell_windows())
            if (bar->m_alive && bar->m_owner == top && (bar->m_style & WS_VISIBLE))
                return bar;
    }
    return nullptr;
}

bool menu_bar_stylus(InputKind kind, POINT p)
{
    BarPress& press = menu_bar_state().m_press;
    Window* shown = menu_bar_shown();
    if (kind == InputKind::Down) {
        press = BarPress{};
        if (!shown || p.y < device().m_height - menu_bar_height)
            return false;
        SendMessageW(shown->m_handle, WM_LBUTTONDOWN, MK_LBUTTON, client_point(shown->m_handle, p));
        return true;
    }
    if (kind == InputKind::Up) {
        Window* bar = shown ? shown : window_from_handle(press.m_bar);
        if (bar)
            SendMessageW(bar->m_handle, WM_LBUTTONUP, 0, client_point(bar->m_handle, p));
        else
            press = BarPress{};
    }
    return true;
}

void press_soft_key(int which)
{
    if (Window* bar = usable_bar())
        SendMessageW(bar->m_handle, WM_KEYDOWN, which == 0 ? VK_F1 : VK_F2, 0);
    else
        menu_close();
}

bool left_soft_key_command(const Window* owner, UINT* command)
{
    const Window* bar = nullptr;
    for (const Window* b : shell_windows())
        if (b->m_owner == owner)
            bar = b;
    if (!bar || buttons_of(bar).empty())
        return false;
    *command = buttons_of(bar)[0].m_command;
    return true;
}

void draw_menu_bar(Surface& screen)
{
    if (Window* bar = menu_bar_shown())
        draw_bar(screen, bar);
    draw_menu(screen);
}

} // namespace platform

using namespace platform;

namespace {

// The buttons of an SHMENUBAR record: words menu id, button count, then seven words per button (image,
// command, state, style, caption string, reserved, pop-up index or NOMENU). False when it is missing
// or shorter than it says.
bool read_menu_bar_record(HINSTANCE instance, UINT id, std::vector<MenuBarButton>* buttons)
{
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    const uint8_t* p = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
    DWORD size = SizeofResource(instance, found);
    if (!p || size < 4)
        return false;
    auto word = [&](size_t i) { return static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)); };
    size_t count = word(1);
    if (size / 2 < 2 + count * 7)
        return false;
    bool menu_ok = false;
    std::vector<MenuItem> menu = load_menu_items(instance, word(0), &menu_ok);
    for (size_t i = 0; i < count; ++i) {
        size_t at = 2 + i * 7;
        MenuBarButton b;
        b.m_command = word(at + 1);
        b.m_enabled = (word(at + 2) & TBSTATE_ENABLED) != 0;
        b.m_dropdown = (word(at + 3) & TBSTYLE_DROPDOWN) != 0;
        wchar_t caption[64] = {};
        if (LoadStringW(instance, word(at + 4), caption, 64) > 0)
            b.m_caption = caption;
        uint16_t sub = word(at + 6);
        if (menu_ok && sub != NOMENU && sub < menu.size() && menu[sub].m_popup)
            b.m_menu = menu[sub].m_children;
        buttons->push_back(std::move(b));
    }
    return true;
}

// The bar is a window of its own class, owned by the window it serves, kept out of the z-order of
// ordinary windows: the screen draws it at the bottom for the topmost window that has one.
HWND create_bar_window(HWND owner, HINSTANCE instance, std::vector<MenuBarButton> buttons, bool panel_button)
{
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, bar_class, &wc)) {
        wc.lpfnWndProc = menu_bar_proc;
        wc.lpszClassName = bar_class;
        RegisterClassW(&wc);
    }
    Device& d = device();
    HWND h = CreateWindowExW(0, bar_class, L"", WS_POPUP, 0, d.m_height - menu_bar_height, d.m_width,
                             menu_bar_height, owner, nullptr, instance, nullptr);
    Window* bar = window_from_handle(h);
    MenuBarRecord* record = g_bars.find(h);
    if (!bar || !record)
        return nullptr;
    move_to_shell_layer(bar);
    record->m_buttons = std::move(buttons);
    record->m_panel_button = panel_button;
    return h;
}

} // namespace

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info)
{
    if (!info)
        return FALSE;
    info->hwndMB = nullptr;
    Window* owner = window_from_handle(info->hwndParent);
    if (!owner || !owner->is_top_level() || in_shell_layer(owner))
        return FALSE;
    std::vector<MenuBarButton> buttons;
    if (!(info->dwFlags & SHCMBF_EMPTYBAR) && !read_menu_bar_record(info->hInstRes, info->nToolBarId, &buttons))
        return FALSE;
    info->hwndMB = create_bar_window(info->hwndParent, info->hInstRes, std::move(buttons),
                                     !(info->dwFlags & SHCMBF_HIDESIPBUTTON));
    return info->hwndMB != nullptr;
}
