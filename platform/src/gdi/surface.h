// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels: the surfaces that windows and the screen are drawn on, colours, rectangles and clip regions.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

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

constexpr uint32_t to_pixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
inline int rect_width(const RECT& r) { return r.right - r.left; }
inline int rect_height(const RECT& r) { return r.bottom - r.top; }
constexpr COLORREF to_colorref(uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

// The device's navy: the navigation bar, window captions, highlighted items and pressed keys.
constexpr uint32_t navy = 0x0A3D8F;

// A clip region: disjoint rectangles in surface coordinates.
using Region = std::vector<RECT>;
Region region_subtract(const Region& region, const RECT& cut);
Region region_intersect(const Region& region, const RECT& rect);

bool write_png(const Surface& surface, const std::string& path); // RGB, 8 bits a channel

} // namespace platform
