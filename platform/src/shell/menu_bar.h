// SPDX-License-Identifier: GPL-3.0-or-later
// The menu bar at the bottom of the screen: the bar windows that SHCreateMenuBar makes, a control class
// of the shell's layer with a state record of its own, their buttons and soft keys, the input panel's
// button in the bar's middle, and the pop-up menu that a drop-down opens.
#pragma once
#include "gdi/surface.h"
#include "resources/resources.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <string>
#include <vector>

namespace platform {

struct MenuBarButton {
    UINT m_command = 0;
    std::wstring m_caption;
    bool m_dropdown = false;
    bool m_enabled = true;
    std::vector<MenuItem> m_menu; // items of the pop-up opened by a drop-down button
};

// The state record of one bar window.
struct MenuBarRecord {
    std::vector<MenuBarButton> m_buttons;
    bool m_panel_button = true; // the input panel's button in the middle of the bar
};

// The pop-up menu of one drop-down button; no bar when none is open.
struct MenuState {
    HWND m_bar = nullptr;
    int m_button = -1;
    int m_highlight = -1;
    RECT m_rect{};
};

// A stylus held on the bar: a command button lights until the stroke ends, and acts only if it ends there.
struct BarPress {
    HWND m_bar = nullptr;
    int m_button = -1;
    bool m_panel_button = false;
};

// What the shell keeps of all bars: the one menu open, the one press of the stylus.
struct MenuBarState {
    MenuState m_menu;
    BarPress m_press;
};

// ---- The bar ---------------------------------------------------------------------------------------------

// The bar at the bottom of the screen: of the topmost window that has one.
Window* menu_bar_shown();
// The stylus while no menu is open, delivered to the bar as WM_LBUTTONDOWN and WM_LBUTTONUP. Down forgets
// the press of an earlier stroke, and is true when the new one begins on the bar shown; Up presses the
// button that the stroke began and ends on.
bool menu_bar_stylus(InputKind kind, POINT p);
// F1 and F2 (which 0 left, 1 right), delivered to the bar shown as WM_KEYDOWN: its first or last button.
void press_soft_key(int which);
// The command of the first button of the bar that `owner` has; false when it has none.
bool left_soft_key_command(const Window* owner, UINT* command);
// The bar of the topmost window that has one, and the menu open above it.
void draw_menu_bar(Surface& screen);

// ---- Between the bar and its menu ----------------------------------------------------------------------------

const std::vector<MenuBarButton>& menu_bar_buttons(const Window* bar); // none once the bar is destroyed
RECT menu_bar_button_rect(const Window* bar, int index);                // screen coordinates
// Opens the pop-up of a drop-down button above the bar; opened by a key, its first item is highlighted.
void open_menu(Window* bar, int button, bool highlight_first);
// WM_COMMAND to the window a bar serves, posted: a button's or an item's command.
void post_command(Window* owner, UINT id);
void draw_menu(Surface& screen);

// ---- The open menu (shell/menu.cpp) ------------------------------------------------------------------------

bool menu_is_open();
bool menu_handle_tap(InputKind kind, POINT p); // true when the menu took the stylus
bool menu_handle_key(UINT vk);                 // true when the menu took the key
void menu_close();

} // namespace platform
