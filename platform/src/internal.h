// Internal records of the emulated device: windows, classes, surfaces, GDI objects, the input queue.
// Shared by the sources of the window manager, the painter, the shell and the backends; never by programs.
#pragma once
#include <windows.h>

#include "device/handles.h"
#include "wm/scroll_bar_state.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

constexpr int nav_bar_height = 26;
constexpr int menu_bar_height = 26;
constexpr int caption_height = 16;

// ---- Pixels ------------------------------------------------------------------------------------------

// 0x00RRGGBB pixels, row by row.
struct Surface {
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;

    void resize(int width, int height, uint32_t fill);
    uint32_t* row(int y) { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    const uint32_t* row(int y) const { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
};

inline uint32_t to_pixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
inline int rect_width(const RECT& r) { return r.right - r.left; }
inline int rect_height(const RECT& r) { return r.bottom - r.top; }
inline COLORREF to_colorref(uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

// A clip region: disjoint rectangles in surface coordinates.
using Region = std::vector<RECT>;
Region region_subtract(const Region& region, const RECT& cut);
Region region_intersect(const Region& region, const RECT& rect);

// ---- Windows ------------------------------------------------------------------------------------------

struct WindowClass {
    std::wstring m_name;
    WNDCLASSW m_info{};
    bool m_system = false; // registered by the platform: survives nothing, re-registered at start
};

struct MenuItem {
    std::wstring m_text;
    UINT m_id = 0;
    bool m_separator = false;
    bool m_popup = false;
    std::vector<MenuItem> m_children;
};

struct MenuBarButton {
    UINT m_command = 0;
    std::wstring m_caption;
    bool m_dropdown = false;
    bool m_enabled = true;
    std::vector<MenuItem> m_menu; // items of the pop-up opened by a drop-down button
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

    // Shell: a menu bar is a window of its own, owned by the window it serves.
    bool m_is_menu_bar = false;
    std::vector<MenuBarButton> m_bar_buttons;
    bool m_bar_panel_button = true; // the input panel's button in the middle of the bar

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
    std::vector<Window*> m_menu_bars;
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
std::vector<Window*>& menu_bars();
Window* active_window();
void activate_window(Window* w, WORD how);
void invalidate_window(Window* w, const RECT* client_rect, bool erase);
void invalidate_all();
LRESULT send(Window* w, UINT msg, WPARAM wp, LPARAM lp);
void draw_non_client(Window* w);
Window* find_deepest_child(Window* top, POINT screen_point);
Window* menu_bar_shown(); // the bar at the bottom of the screen: of the topmost window that has one
void destroy_all_windows();
// Frees the records of destroyed windows when no window procedure runs (the message functions call it):
// only then can no caller still hold their Window*.
void release_destroyed_windows();
size_t window_record_count(); // records held, destroyed ones not yet released among them

// ---- Painting ---------------------------------------------------------------------------------------

struct Dc {
    Surface* m_surface = nullptr;
    HBITMAP m_bitmap = nullptr;   // memory DCs: the selected bitmap
    bool m_memory = false;
    HWND m_window = nullptr;      // window DCs: looked up on use, as the window may be gone
    POINT m_origin{};             // logical (0, 0) on the surface
    Region m_clip;                // surface coordinates
    HPEN m_pen = nullptr;
    HBRUSH m_brush = nullptr;
    HFONT m_font = nullptr;
    COLORREF m_text_color = RGB(0, 0, 0);
    COLORREF m_bk_color = RGB(255, 255, 255);
    int m_bk_mode = OPAQUE;
    POINT m_position{};
};

HDC make_window_dc(Window* w, const RECT* limit_client, bool clip_children);
void release_dc(HDC dc);
Dc* dc_from_handle(HDC dc);
Surface* surface_of(Window* w); // the top-level's backing surface
void fill_rect_pixels(Dc& dc, RECT surface_rect, uint32_t pixel);
Dc screen_dc(Surface& screen); // draws anywhere on the screen: the shell's bars, the panel, the menu
bool brush_color(HBRUSH brush, COLORREF* color); // false for a null brush or a bad handle
void draw_icon_pixels(Dc& dc, int x, int y, HICON icon);

// The GDI's objects: pens, brushes, fonts and bitmaps, and the device contexts.
enum class GdiType { Pen, Brush, Font, Bitmap };

struct GdiObject {
    GdiType m_type = GdiType::Pen;
    COLORREF m_color = 0;
    int m_style = PS_SOLID;
    int m_width = 1;
    bool m_null = false;  // NULL_PEN, NULL_BRUSH
    bool m_stock = false; // never deleted
    Surface m_bitmap;
};

struct GdiState {
    explicit GdiState(uint32_t generation) : m_objects(tag_gdi, generation), m_dcs(tag_dc, generation) {}

    HandleTable<GdiObject> m_objects;
    HandleTable<Dc> m_dcs;
    HGDIOBJ m_stock[18] = {};
    HBRUSH m_sys_brushes[32] = {};
    Surface m_dummy; // the surface of a DC that draws nowhere
};
void create_stock_objects(); // once the device exists

// Text with the device font.
struct FontMetrics {
    int m_ascent = 10;
    int m_descent = 3;
    int m_average_width = 6;
    int m_max_width = 10;
};
const FontMetrics& font_metrics();
int device_text_width(std::wstring_view text); // in the device font, whatever a DC holds
// Text as shown with mnemonic prefixes: "&x" shows x (the underline is not drawn), "&&" one ampersand.
std::wstring strip_prefixes(std::wstring_view text);
int char_advance(wchar_t ch);
void draw_device_text(Dc& dc, int x, int y, std::wstring_view text); // (x, y) top-left, logical coords
void draw_text_on_surface(Surface& surface, const RECT& clip, int x, int y, std::wstring_view text,
                          uint32_t color);

// The device font, loaded on first use and closed with the device (text.cpp).
struct Font;
struct FontRelease {
    void operator()(Font* font) const;
};
using FontPointer = std::unique_ptr<Font, FontRelease>;

// ---- Resources --------------------------------------------------------------------------------------

struct Icon {
    Surface m_color;
    std::vector<uint8_t> m_mask; // 1 = transparent
};
Icon* icon_from_handle(HICON icon);
std::vector<MenuItem> load_menu_items(HINSTANCE instance, UINT id, bool* ok);

// What the device has loaded from the program's resources.
struct ResourceState {
    explicit ResourceState(uint32_t generation) : m_icons(tag_icon, generation), m_accelerators(tag_accel, generation)
    {
    }

    HandleTable<Icon> m_icons;
    HandleTable<std::vector<ACCEL>> m_accelerators;
    std::map<uint16_t, HICON> m_icon_cache; // LoadIcon: one handle per icon
};

// ---- Input and the device -----------------------------------------------------------------------------

enum class InputKind { Down, Move, Up, KeyDown, KeyUp, Char, Rotate, HostClose };
struct InputEvent {
    InputKind m_kind;
    int m_x = 0;
    int m_y = 0;
    UINT m_key = 0;
    wchar_t m_char = 0;
};

// What shows the device and feeds it input: the headless backend (memory only) or SDL (a desktop window).
// The device owns it and calls it from the message loop.
class Backend {
public:
    virtual ~Backend() = default;
    // Called once the device exists, before any window: open what the backend shows the device in. False
    // when that cannot be done; the device is then stopped again.
    virtual bool start() { return true; }
    // Called when the device stops, after every window is gone: close what start opened.
    virtual void stop() {}
    // Called when the program waits and nothing is due: get input into the device. False when no input
    // will ever come (the headless device at the end of its input), which ends the waiting loop.
    virtual bool wait() = 0;
    virtual void present() {}
    // A backend with a clipboard of its own (the host's) keeps the device's; otherwise the device does.
    virtual bool has_clipboard() const { return false; }
    virtual std::wstring clipboard_text() { return {}; }
    virtual void set_clipboard_text(std::wstring_view) {}
};

// The stylus as the window manager sees it: where the present stroke began.
struct StylusState {
    bool m_down = false;
    bool m_on_shell = false; // the stroke began on a bar or on the open menu
    bool m_on_panel = false; // the stroke began on the input panel
    HWND m_on_scroll_bar = nullptr; // the stroke began on this window's vertical scroll bar
};

struct Device;
Device& device();
void push_input(const InputEvent& event);
bool process_one_input(); // false when the input queue is empty
void rotate_screen();
void compose_screen();
// WM_SETTINGCHANGE with `what` (SETTINGCHANGE_RESET after a turn, SPI_SETSIPINFO) to every top-level window.
void send_setting_change(WPARAM what);
void keep_popups_on_screen();

// Shell: the navigation bar at the top and the menu bar at the bottom (menu_bar.h has the bar's own calls).
struct NavBarState {
    bool m_pressed_ok = false; // a stylus held on the navigation bar's "ok" button
};
void draw_shell_bars(Surface& screen);
bool shell_stylus(InputKind kind, POINT p); // navigation bar and menu bar: true when taken

HBITMAP make_bitmap(Surface pixels);
size_t gdi_object_count(); // pens, brushes, fonts and bitmaps held, stock objects among them
size_t dc_count();
Surface* surface_for_dc(Dc& dc);

// Starts a new device on a backend (the headless one, or SDL), after stopping the one running, then the
// backend's own start. False when the backend could not start.
bool start_device(std::unique_ptr<Backend> backend);
// Destroys every window, stops the backend and destroys the device with all it holds.
void stop_device();
bool write_png(const Surface& surface, const std::string& path); // RGB, 8 bits a channel
} // namespace platform
