// SPDX-License-Identifier: GPL-3.0-or-later
// The window manager: window records and classes, z-order, activation, focus, capture, the window
// procedure calls, and the device contexts of windows.
#pragma once
#include <windows.h>

#include "device/handles.h"
#include "gdi/surface.h"
#include "wm/scroll_bar_state.h"
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct WindowClass {
    std::wstring m_name;
    WNDCLASSW m_info{};
    bool m_system = false; // registered by the platform: survives nothing, re-registered at start
};

struct Window {
    HWND m_handle = nullptr;
    bool m_alive = true;
    bool m_destroying = false;
    WindowClass* m_class = nullptr; // classes are never freed while the device runs
    WNDPROC m_proc = nullptr;
    std::wstring m_text;
    DWORD m_style = 0;
    DWORD m_ex_style = 0;
    RECT m_rect{};                  // window rectangle: in the parent's client coordinates, screen for top-level
    Window* m_parent = nullptr;
    Window* m_owner = nullptr;
    std::vector<Window*> m_children; // z-order: first = top
    LONG_PTR m_id = 0;
    LONG_PTR m_user_data = 0;
    HINSTANCE m_instance = nullptr;
    std::vector<LONG_PTR> m_extra; // cbWndExtra, in LONG_PTR cells
    RECT m_update{};               // client coordinates; empty = nothing to paint
    bool m_erase = false;
    bool m_frame_dirty = true;
    HFONT m_font = nullptr;
    std::unique_ptr<Surface> m_surface; // top-level windows only
    uint64_t m_created_order = 0;
    ScrollBarState m_vscroll; // the standard vertical bar of a WS_VSCROLL window

    bool is_top_level() const { return m_parent == nullptr; }
};

// The window manager's own record: the window records and classes, the z-order, the bars, who is active,
// has the keyboard and the stylus.
struct WindowState {
    explicit WindowState(uint32_t generation) : m_table(tag_window, generation) {}

    // A destroyed window is first only marked dead, so code that holds a Window* across a window
    // procedure call never touches freed memory. Its record is freed at the next safe point: see
    // release_destroyed_windows.
    HandleTable<Window> m_table;
    std::vector<HWND> m_destroyed; // destroyed since the last release, their records still allocated
    int m_send_depth = 0;          // window procedure calls in progress: some caller may hold a Window*
    std::vector<std::unique_ptr<WindowClass>> m_classes;
    std::vector<Window*> m_top_levels; // top first
    // Windows of the shell's layer (the menu bars): owned by a program's window, drawn by the shell at the
    // screen's edge, outside the z-order of the program's windows, never active, never published.
    std::vector<Window*> m_shell_windows;
    Window* m_active = nullptr;
    Window* m_focus = nullptr;
    Window* m_capture = nullptr;
    uint64_t m_creation_counter = 0;
};
WindowState& state();
bool same_name(std::wstring_view a, std::wstring_view b); // class names: case-insensitive
bool is_inside(const Window* w, const Window* ancestor);   // w is ancestor or one of its descendants
void publish_if_shown(Window* w, bool shown);              // the registry seen by other processes
void bring_to_top(Window* w);                              // its owned windows stay above it

Window* window_from_handle(HWND hwnd);      // nullptr for stale or made-up handles
Window* top_level_of(Window* w);
RECT client_rect_in_window(const Window* w); // client area relative to the window's own top-left
POINT client_origin_on_surface(const Window* w);
POINT client_origin_on_screen(const Window* w);
bool is_really_visible(const Window* w);    // itself and every ancestor visible
std::vector<Window*>& top_level_order();    // top first; menu bars excluded
std::vector<Window*>& shell_windows();
bool in_shell_layer(const Window* w);
// Takes a new top-level window out of the program's z-order into the shell's layer, and shows it.
void move_to_shell_layer(Window* w);
Window* active_window();
void activate_window(Window* w, WORD how);
void invalidate_window(Window* w, const RECT* client_rect, bool erase);
void invalidate_all();
LRESULT send(Window* w, UINT msg, WPARAM wp, LPARAM lp);
void draw_non_client(Window* w);
Window* find_deepest_child(Window* top, POINT screen_point);
void destroy_all_windows();
// Frees the records of destroyed windows when no window procedure runs (the message functions call it):
// only then can no caller still hold their Window*.
void release_destroyed_windows();
size_t window_record_count(); // records held, destroyed ones not yet released among them

HDC make_window_dc(Window* w, const RECT* limit_client, bool clip_children);
Surface* surface_of(Window* w); // the top-level's backing surface

} // namespace platform
