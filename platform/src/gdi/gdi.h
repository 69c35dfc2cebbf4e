// SPDX-License-Identifier: GPL-3.0-or-later
// GDI: pens, brushes, fonts and bitmaps behind handles, device contexts, and the drawing that the shell
// and the controls do on a surface directly.
#pragma once
#include <windows.h>

#include "device/handles.h"
#include "gdi/surface.h"
namespace platform {

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

void release_dc(HDC dc);
Dc* dc_from_handle(HDC dc);
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
HBITMAP make_bitmap(Surface pixels);
size_t gdi_object_count(); // pens, brushes, fonts and bitmaps held, stock objects among them
size_t dc_count();
Surface* surface_for_dc(Dc& dc);

} // namespace platform
