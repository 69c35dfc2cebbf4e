// The menu bar at the bottom of the screen: the bar windows that SHCreateMenuBar makes, their buttons and
// soft keys, the input panel's button in the bar's middle, and the pop-up menu that a drop-down opens.
#pragma once
#include "gdi/surface.h"
#include "wm/input.h"
#include "wm/wm.h"

namespace platform {

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

struct MenuBarState {
    MenuState m_menu;
    BarPress m_press;
};

// ---- The bar ---------------------------------------------------------------------------------------------

// The stylus while no menu is open. Down forgets the press of an earlier stroke, and is true when the new
// one begins on the bar shown; Up presses the button that the stroke began and ends on.
bool menu_bar_stylus(InputKind kind, POINT p);
// F1 and F2: the first and the last button of the bar shown (which 0 left, 1 right).
void press_soft_key(int which);
// A bar that goes takes its open menu with it.
void on_menu_bar_destroyed(Window* bar);
// The bar of the topmost window that has one, and the menu open above it.
void draw_menu_bar(Surface& screen);

// ---- The open menu -----------------------------------------------------------------------------------------

bool menu_is_open();
bool menu_handle_tap(InputKind kind, POINT p); // true when the menu took the stylus
bool menu_handle_key(UINT vk);                 // true when the menu took the key
void menu_close();

} // namespace platform
