// SPDX-License-Identifier: GPL-3.0-or-later
// The input panel: a soft keyboard docked above the menu bar. Raising or lowering it changes the part of
// the screen that top-level windows fill; taps on its keys reach the focused control as key presses.
#pragma once
#include "gdi/surface.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <sipapi.h>

#include <optional>
#include <vector>

namespace platform {

struct PanelState {
    bool m_up = false;
    bool m_was_up = false;         // before the last turn of the screen or move of the panel
    std::optional<bool> m_request; // a raise or lower waiting for the queue to be handled
    HWND m_input_dialog = nullptr;
    int m_down_key = -1;           // the key the stroke began on
    int m_pressed = -1;            // that key while the stylus is on it: drawn pressed
    bool m_stroke = false;         // a stroke that began on the panel
    bool m_shift = false;          // Shift tapped: the next key is sent shifted
};

// ---- Raising and lowering ------------------------------------------------------------------------------

bool input_panel_is_up();
// Where the panel is on the present screen, or would be when raised.
RECT input_panel_rect();
// Raises or lowers it now: every top-level window gets WM_SETTINGCHANGE (SPI_SETSIPINFO), and a smaller
// window that the panel would cover moves into the space left free.
void set_input_panel(bool up);
// A request that takes effect once the messages already due have been handled, so that a window that
// lowers it and another that raises it right after do not make it flash.
void request_input_panel(bool up);
void cancel_input_panel_request();
// Applies a pending request; true when that changed the panel.
bool settle_input_panel();
// SIPINFO of the panel as it is now.
bool input_panel_info(SIPINFO* info);
// A window that has asked for its requests to lower the panel to be ignored while it is active.
void set_input_dialog(HWND window);
HWND input_dialog();

// ---- The part of the screen that a top-level window fills ------------------------------------------------

// A window that fills the work area, before or after the last turn of the screen or move of the panel,
// gets the rectangle it should have now: between the navigation bar and the panel when that is up,
// otherwise down to the screen's bottom, less the menu bar for a window that was shortened by it.
// False when the window does not fill the work area in any of those layouts.
bool work_area_fill_now(const Window* window, RECT* now);
// The part of the screen below the navigation bar that the panel leaves free.
RECT visible_desktop();

// ---- Device hooks ------------------------------------------------------------------------------------------

// The stylus on the panel: true when the panel takes the stroke (it began on the panel while up).
bool input_panel_stylus(InputKind kind, POINT p);
void draw_input_panel(Surface& screen);
// The panel's button in the middle of a menu bar.
void draw_input_panel_button(Surface& screen, const RECT& slot, bool pressed);
void input_panel_on_rotate();

// ---- Keys (input_panel_keys.cpp) -------------------------------------------------------------------------

enum class KeyKind { Character, Shift, Command, Arrow };
struct PanelKey {
    RECT m_rect{};               // screen pixels, the 1-pixel gap to its neighbours included
    KeyKind m_kind = KeyKind::Character;
    UINT m_vk = 0;
    wchar_t m_char = 0;          // the character it types, lower case for letters
    const wchar_t* m_label = L""; // the name shown on a command key
};
// The keys for the present screen: a five-row layout in portrait, a three-row one in landscape.
std::vector<PanelKey> panel_keys(const RECT& panel);
int panel_height(int screen_width, int screen_height);
void draw_panel_keys(Surface& screen, const RECT& panel, const std::vector<PanelKey>& keys, int pressed,
                     bool shift);

} // namespace platform
