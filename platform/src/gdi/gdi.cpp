// SPDX-License-Identifier: GPL-3.0-or-later
// GDI: pens, brushes, fonts and bitmaps as handles; device contexts; the drawing primitives. Every
// primitive translates to the surface, clips to the DC's region and fills span by span.
#include "gdi/gdi.h"

#include "device/device.h"
#include "device/handles.h"
#include "gdi/surface.h"
#include "resources/resources.h"
#include "wm/wm.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace platform {
namespace {

HandleTable<GdiObject>& gdi_table() { return device().m_gdi.m_objects; }
HandleTable<Dc>& dc_table() { return device().m_gdi.m_dcs; }
GdiState& stock() { return device().m_gdi; }

HGDIOBJ add_object(GdiObject object)
{
    return reinterpret_cast<HGDIOBJ>(gdi_table().add(std::make_unique<GdiObject>(std::move(object))));
}

GdiObject* object_of(HGDIOBJ h) { return gdi_table().get(reinterpret_cast<uintptr_t>(h)); }

constexpr COLORREF sys_colors[32] = {
    RGB(200, 200, 200), RGB(255, 255, 255), to_colorref(navy), RGB(128, 128, 128), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),     RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(192, 192, 192), RGB(192, 192, 192), RGB(128, 128, 128), to_colorref(navy), RGB(255, 255, 255),
    RGB(222, 223, 222), RGB(132, 130, 132), RGB(148, 150, 148), RGB(0, 0, 0),     RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(230, 230, 230), RGB(0, 0, 0),     RGB(255, 255, 225),
    RGB(255, 255, 255), RGB(0, 0, 0),       to_colorref(navy), RGB(128, 128, 128), to_colorref(navy),
    RGB(255, 255, 255), RGB(0, 0, 0)};

} // namespace

void create_stock_objects()
{
    GdiState& s = stock();
    auto brush = [](COLORREF c, bool null) {
        GdiObject o;
        o.m_type = GdiType::Brush;
        o.m_color = c;
        o.m_null = null;
        o.m_stock = true;
        return add_object(o);
    };
    auto pen = [](COLORREF c, bool null) {
        GdiObject o;
        o.m_type = GdiType::Pen;
        o.m_color = c;
        o.m_null = null;
        o.m_style = null ? PS_NULL : PS_SOLID;
        o.m_stock = true;
        return add_object(o);
    };
    s.m_stock[WHITE_BRUSH] = brush(RGB(255, 255, 255), false);
    s.m_stock[LTGRAY_BRUSH] = brush(RGB(192, 192, 192), false);
    s.m_stock[GRAY_BRUSH] = brush(RGB(128, 128, 128), false);
    s.m_stock[DKGRAY_BRUSH] = brush(RGB(64, 64, 64), false);
    s.m_stock[BLACK_BRUSH] = brush(RGB(0, 0, 0), false);
    s.m_stock[NULL_BRUSH] = brush(0, true);
    s.m_stock[WHITE_PEN] = pen(RGB(255, 255, 255), false);
    s.m_stock[BLACK_PEN] = pen(RGB(0, 0, 0), false);
    s.m_stock[NULL_PEN] = pen(0, true);
    GdiObject font;
    font.m_type = GdiType::Font;
    font.m_stock = true;
    s.m_stock[SYSTEM_FONT] = add_object(font);
    s.m_stock[DEFAULT_GUI_FONT] = s.m_stock[SYSTEM_FONT];
    for (int i = 0; i < 32; ++i)
        s.m_sys_brushes[i] = static_cast<HBRUSH>(brush(sys_colors[i], false));
    s.m_dummy.resize(1, 1, 0xFFFFFF);
}

namespace {

Surface* dc_surface(Dc& dc)
{
    if (dc.m_memory) {
        GdiObject* b = object_of(dc.m_bitmap);
        return b && b->m_type == GdiType::Bitmap ? &b->m_bitmap : &stock().m_dummy;
    }
    if (dc.m_window) {
        // Looked up on every use: a DC kept after its window was destroyed draws nowhere.
        Window* w = window_from_handle(dc.m_window);
        Surface* s = w ? surface_of(w) : nullptr;
        return s ? s : &stock().m_dummy;
    }
    return dc.m_surface ? dc.m_surface : &stock().m_dummy;
}

const GdiObject* dc_pen(Dc& dc)
{
    GdiObject* p = object_of(dc.m_pen);
    return p && p->m_type == GdiType::Pen ? p : object_of(stock().m_stock[BLACK_PEN]);
}

void fill_span(Surface& s, const Region& clip, int y, int x0, int x1, uint32_t pixel)
{
    for (const RECT& r : clip) {
        if (y < r.top || y >= r.bottom)
            continue;
        int a = std::max<int>(x0, r.left), b = std::min<int>(x1, r.right);
        a = std::max(a, 0);
        b = std::min(b, s.m_width);
        if (a < b && y >= 0 && y < s.m_height)
            std::fill(s.row(y) + a, s.row(y) + b, pixel);
    }
}

void plot(Surface& s, const Region& clip, int x, int y, uint32_t pixel)
{
    if (!s.contains(x, y))
        return;
    for (const RECT& r : clip)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            s.row(y)[x] = pixel;
            return;
        }
}

// A pen of width w covers a w x w square centred on each point of the line.
void stamp(Dc& dc, Surface& s, int x, int y, int width, uint32_t pixel)
{
    if (width <= 1) {
        plot(s, dc.m_clip, x, y, pixel);
        return;
    }
    int x0 = x - width / 2, y0 = y - width / 2;
    for (int yy = y0; yy < y0 + width; ++yy)
        fill_span(s, dc.m_clip, yy, x0, x0 + width, pixel);
}

// The pixels of a line are those of Bresenham's walk from the first end towards the second, the second end
// excluded as LineTo does. Step i of a line whose major axis runs `major` pixels and minor axis `minor`
// lies `i` along the major axis and floor((2 * minor * i + major) / (2 * major)) along the minor one:
// the walk's own rounding, in closed form, so any stretch of the walk can be drawn without the rest.
struct StepPoint {
    int64_t x, y;
};

struct LineWalk {
    int64_t x0, y0;   // first end, surface coordinates
    int64_t major, minor;
    int sx, sy;       // direction of each axis: +1 or -1
    bool x_major;

    int64_t steps() const { return major; }
    int64_t minor_at(int64_t i) const
    {
        const auto num = static_cast<__int128>(2) * minor * i + major;
        return static_cast<int64_t>(num / (2 * static_cast<__int128>(major)));
    }
    StepPoint at(int64_t i) const
    {
        const int64_t a = i, b = minor_at(i);
        return x_major ? StepPoint{x0 + sx * a, y0 + sy * b} : StepPoint{x0 + sx * b, y0 + sy * a};
    }
};

LineWalk line_walk(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    const int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const bool x_major = dx >= dy;
    return LineWalk{x0, y0, x_major ? dx : dy, x_major ? dy : dx, x0 < x1 ? 1 : -1, y0 < y1 ? 1 : -1, x_major};
}

// The first step in [lo, hi) whose coordinate `coord(i)` (monotone in i) has passed `bound` in the
// direction `dir`, or hi when none has.
template <class Coord>
int64_t first_step_past(int64_t lo, int64_t hi, Coord coord, int64_t bound, int dir)
{
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if ((coord(mid) - bound) * dir > 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The steps of the walk that can touch `box` (the surface widened by the pen): the walk is clipped to
// the box on its parameter, so a line from the screen to a far-away point costs only its visible part.
std::pair<int64_t, int64_t> visible_steps(const LineWalk& walk, const RECT& box)
{
    int64_t lo = 0, hi = walk.steps();
    for (bool x_axis : {true, false}) {
        const int dir = x_axis ? walk.sx : walk.sy;
        const int64_t low = x_axis ? box.left : box.top, high = x_axis ? box.right : box.bottom;
        auto coord = [&](int64_t i) { return x_axis ? walk.at(i).x : walk.at(i).y; };
        // Entering: the first step no longer before the box; leaving: the first step beyond it.
        const int64_t before = dir > 0 ? low - 1 : high;
        const int64_t beyond = dir > 0 ? high - 1 : low;
        lo = std::max(lo, first_step_past(0, walk.steps(), coord, before, dir));
        hi = std::min(hi, first_step_past(0, walk.steps(), coord, beyond, dir));
    }
    return {lo, hi};
}

void draw_line(Dc& dc, int x0, int y0, int x1, int y1)
{
    const GdiObject* pen = dc_pen(dc);
    if (!pen || pen->m_null || pen->m_style == PS_NULL)
        return;
    Surface& s = *dc_surface(dc);
    uint32_t pixel = to_pixel(pen->m_color);
    // Dashes and dots for thin pens; wide pens are always solid, as in Win32.
    int on = 0, period = 0;
    if (pen->m_width <= 1 && pen->m_style == PS_DASH) {
        on = 18;
        period = 24;
    } else if (pen->m_width <= 1 && pen->m_style == PS_DOT) {
        on = 3;
        period = 6;
    }
    const LineWalk walk = line_walk(int64_t{x0} + dc.m_origin.x, int64_t{y0} + dc.m_origin.y,
                                    int64_t{x1} + dc.m_origin.x, int64_t{y1} + dc.m_origin.y);
    const int reach = std::max(1, pen->m_width);
    const RECT box{-reach, -reach, s.m_width + reach, s.m_height + reach};
    const auto [first, last] = visible_steps(walk, box);
    for (int64_t step = first; step < last; ++step) {
        if (period == 0 || step % period < on) {
            const StepPoint p = walk.at(step);
            stamp(dc, s, static_cast<int>(p.x), static_cast<int>(p.y), pen->m_width, pixel);
        }
    }
}

} // namespace

void Surface::resize(int width, int height, uint32_t fill)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    m_pixels.assign(static_cast<size_t>(m_width) * m_height, fill);
}

Dc* dc_from_handle(HDC dc) { return dc_table().get(reinterpret_cast<uintptr_t>(dc)); }

void release_dc(HDC dc) { dc_table().remove(reinterpret_cast<uintptr_t>(dc)); }

void fill_rect_pixels(Dc& dc, RECT r, uint32_t pixel)
{
    Surface& s = *dc_surface(dc);
    for (const RECT& c : dc.m_clip) {
        RECT inter;
        if (!IntersectRect(&inter, &r, &c))
            continue;
        for (int y = inter.top; y < inter.bottom; ++y)
            fill_span(s, {inter}, y, inter.left, inter.right, pixel);
    }
}

Dc screen_dc(Surface& screen)
{
    Dc dc;
    dc.m_surface = &screen;
    dc.m_clip = {RECT{0, 0, screen.m_width, screen.m_height}};
    return dc;
}

bool brush_color(HBRUSH brush, COLORREF* color)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value > 0 && value <= 32) { // (HBRUSH)(COLOR_xxx + 1), as class backgrounds allow
        *color = sys_colors[value - 1];
        return true;
    }
    GdiObject* o = object_of(brush);
    if (!o || o->m_type != GdiType::Brush || o->m_null)
        return false;
    *color = o->m_color;
    return true;
}

void draw_icon_pixels(Dc& dc, int x, int y, HICON icon)
{
    Icon* ic = icon_from_handle(icon);
    if (!ic)
        return;
    Surface& s = *dc_surface(dc);
    for (int yy = 0; yy < ic->m_color.m_height; ++yy)
        for (int xx = 0; xx < ic->m_color.m_width; ++xx) {
            size_t i = static_cast<size_t>(yy) * ic->m_color.m_width + xx;
            if (i < ic->m_mask.size() && ic->m_mask[i])
                continue;
            plot(s, dc.m_clip, dc.m_origin.x + x + xx, dc.m_origin.y + y + yy, ic->m_color.row(yy)[xx]);
        }
}

size_t gdi_object_count() { return gdi_table().size(); }
size_t dc_count() { return dc_table().size(); }

// Text drawing needs the DC's surface and colours.
Surface* surface_for_dc(Dc& dc) { return dc_surface(dc); }

} // namespace platform

using namespace platform;

// ---- Objects ------------------------------------------------------------------------------------------

HPEN WINAPI CreatePen(int style, int width, COLORREF color)
{
    GdiObject o;
    o.m_type = GdiType::Pen;
    o.m_style = style;
    o.m_width = std::max(1, width);
    o.m_color = color;
    o.m_null = style == PS_NULL;
    return static_cast<HPEN>(add_object(o));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    GdiObject o;
    o.m_type = GdiType::Brush;
    o.m_color = color;
    return static_cast<HBRUSH>(add_object(o));
}

HGDIOBJ WINAPI GetStockObject(int object)
{
    if (object < 0 || object >= 18)
        return nullptr;
    return stock().m_stock[object];
}

DWORD WINAPI GetSysColor(int index) { return index >= 0 && index < 32 ? sys_colors[index] : 0; }

HBRUSH WINAPI GetSysColorBrush(int index) { return index >= 0 && index < 32 ? stock().m_sys_brushes[index] : nullptr; }

BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    GdiObject* o = object_of(object);
    if (!o)
        return FALSE;
    if (o->m_stock)
        return TRUE;
    return gdi_table().remove(reinterpret_cast<uintptr_t>(object));
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ object)
{
    Dc* dc = dc_from_handle(hdc);
    GdiObject* o = object_of(object);
    if (!dc || !o)
        return nullptr;
    HGDIOBJ old = nullptr;
    switch (o->m_type) {
    case GdiType::Pen:
        old = dc->m_pen;
        dc->m_pen = static_cast<HPEN>(object);
        break;
    case GdiType::Brush:
        old = dc->m_brush;
        dc->m_brush = static_cast<HBRUSH>(object);
        break;
    case GdiType::Font:
        old = dc->m_font;
        dc->m_font = static_cast<HFONT>(object);
        break;
    case GdiType::Bitmap:
        if (!dc->m_memory)
            return nullptr;
        old = dc->m_bitmap;
        dc->m_bitmap = static_cast<HBITMAP>(object);
        dc->m_clip = {RECT{0, 0, o->m_bitmap.m_width, o->m_bitmap.m_height}};
        break;
    }
    return old;
}

HBITMAP platform::make_bitmap(Surface pixels)
{
    GdiObject o;
    o.m_type = GdiType::Bitmap;
    o.m_bitmap = std::move(pixels);
    return static_cast<HBITMAP>(add_object(std::move(o)));
}

int WINAPI GetObjectW(HGDIOBJ object, int size, LPVOID buffer)
{
    GdiObject* o = object_of(object);
    if (!o || o->m_type != GdiType::Bitmap)
        return 0;
    if (!buffer)
        return static_cast<int>(sizeof(BITMAP));
    if (size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    BITMAP* b = static_cast<BITMAP*>(buffer);
    *b = BITMAP{};
    b->bmWidth = o->m_bitmap.m_width;
    b->bmHeight = o->m_bitmap.m_height;
    b->bmWidthBytes = o->m_bitmap.m_width * 4;
    b->bmPlanes = 1;
    b->bmBitsPixel = 32;
    return static_cast<int>(sizeof(BITMAP));
}

// ---- Device contexts ------------------------------------------------------------------------------------

HDC WINAPI CreateCompatibleDC(HDC)
{
    auto dc = std::make_unique<Dc>();
    dc->m_memory = true;
    dc->m_pen = static_cast<HPEN>(stock().m_stock[BLACK_PEN]);
    dc->m_brush = static_cast<HBRUSH>(stock().m_stock[WHITE_BRUSH]);
    dc->m_font = static_cast<HFONT>(stock().m_stock[SYSTEM_FONT]);
    dc->m_clip = {RECT{0, 0, 1, 1}};
    return reinterpret_cast<HDC>(dc_table().add(std::move(dc)));
}

BOOL WINAPI DeleteDC(HDC dc) { return dc_table().remove(reinterpret_cast<uintptr_t>(dc)); }

int WINAPI SetBkMode(HDC hdc, int mode)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc || (mode != OPAQUE && mode != TRANSPARENT))
        return 0;
    int old = dc->m_bk_mode;
    dc->m_bk_mode = mode;
    return old;
}

int WINAPI GetBkMode(HDC hdc)
{
    Dc* dc = dc_from_handle(hdc);
    return dc ? dc->m_bk_mode : 0;
}

namespace {

constexpr COLORREF invalid_color = 0xFFFFFFFF;

// Replaces one colour of a DC and returns the old one; invalid_color for a bad handle.
COLORREF exchange_color(HDC hdc, COLORREF Dc::*field, COLORREF color)
{
    Dc* dc = dc_from_handle(hdc);
    return dc ? std::exchange(dc->*field, color) : invalid_color;
}

COLORREF read_color(HDC hdc, COLORREF Dc::*field)
{
    Dc* dc = dc_from_handle(hdc);
    return dc ? dc->*field : invalid_color;
}

} // namespace

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) { return exchange_color(hdc, &Dc::m_bk_color, color); }
COLORREF WINAPI GetBkColor(HDC hdc) { return read_color(hdc, &Dc::m_bk_color); }
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) { return exchange_color(hdc, &Dc::m_text_color, color); }
COLORREF WINAPI GetTextColor(HDC hdc) { return read_color(hdc, &Dc::m_text_color); }

int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return 0;
    RECT r{left + dc->m_origin.x, top + dc->m_origin.y, right + dc->m_origin.x, bottom + dc->m_origin.y};
    dc->m_clip = region_intersect(dc->m_clip, r);
    return dc->m_clip.empty() ? 1 /* NULLREGION */ : dc->m_clip.size() == 1 ? 2 : 3;
}

// ---- Primitives -------------------------------------------------------------------------------------

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Dc* dc = dc_from_handle(hdc);
    COLORREF color;
    if (!dc || !rect)
        return 0;
    if (!brush_color(brush, &color))
        return 0;
    RECT r = *rect;
    OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
    fill_rect_pixels(*dc, r, to_pixel(color));
    return 1;
}

int WINAPI FrameRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Dc* dc = dc_from_handle(hdc);
    COLORREF color;
    if (!dc || !rect || !brush_color(brush, &color) || IsRectEmpty(rect))
        return 0;
    RECT r = *rect;
    OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
    uint32_t p = to_pixel(color);
    fill_rect_pixels(*dc, RECT{r.left, r.top, r.right, r.top + 1}, p);
    fill_rect_pixels(*dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, p);
    fill_rect_pixels(*dc, RECT{r.left, r.top, r.left + 1, r.bottom}, p);
    fill_rect_pixels(*dc, RECT{r.right - 1, r.top, r.right, r.bottom}, p);
    return 1;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return FALSE;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    const GdiObject* pen = dc_pen(*dc);
    bool outlined = pen && !pen->m_null && pen->m_style != PS_NULL;
    COLORREF fill;
    if (brush_color(dc->m_brush, &fill)) {
        // With a null pen Win32 fills one pixel less on the right and bottom.
        RECT inner = outlined ? RECT{left + 1, top + 1, right - 1, bottom - 1} : RECT{left, top, right - 1, bottom - 1};
        OffsetRect(&inner, dc->m_origin.x, dc->m_origin.y);
        fill_rect_pixels(*dc, inner, to_pixel(fill));
    }
    if (outlined && right - left >= 1 && bottom - top >= 1) {
        POINT saved = dc->m_position;
        int r = right - 1, b = bottom - 1;
        draw_line(*dc, left, top, r, top);
        draw_line(*dc, r, top, r, b);
        draw_line(*dc, r, b, left, b);
        draw_line(*dc, left, b, left, top);
        dc->m_position = saved;
    }
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT previous)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->m_position;
    dc->m_position = POINT{x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return FALSE;
    // Far-away end points (a fit gone to infinity) are clipped, so only the visible part is walked.
    draw_line(*dc, dc->m_position.x, dc->m_position.y, x, y);
    dc->m_position = POINT{x, y};
    return TRUE;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return static_cast<COLORREF>(-1);
    plot(*dc_surface(*dc), dc->m_clip, x + dc->m_origin.x, y + dc->m_origin.y, to_pixel(color));
    return color;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return 0xFFFFFFFF;
    Surface& s = *dc_surface(*dc);
    x += dc->m_origin.x;
    y += dc->m_origin.y;
    return s.contains(x, y) ? to_colorref(s.row(y)[x]) : 0xFFFFFFFF;
}

BOOL WINAPI DrawFocusRect(HDC hdc, const RECT* rect)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc || !rect)
        return FALSE;
    Surface& s = *dc_surface(*dc);
    RECT r = *rect;
    OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
    auto flip = [&](int x, int y) {
        if (!s.contains(x, y))
            return;
        for (const RECT& c : dc->m_clip)
            if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) {
                s.row(y)[x] ^= 0xFFFFFF;
                return;
            }
    };
    // A dotted outline drawn by inverting, so drawing it twice removes it.
    for (int x = r.left; x < r.right; x += 2) {
        flip(x, r.top);
        if (r.bottom - 1 > r.top)
            flip(x, r.bottom - 1);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        flip(r.left, y);
        if (r.right - 1 > r.left)
            flip(r.right - 1, y);
    }
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC hdc, int x, int y, HICON icon)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc || !icon_from_handle(icon))
        return FALSE;
    draw_icon_pixels(*dc, x, y, icon);
    return TRUE;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD)
{
    Dc* d = dc_from_handle(dest);
    Dc* s = dc_from_handle(src);
    if (!d || !s)
        return FALSE;
    Surface& from = *dc_surface(*s);
    Surface& to = *dc_surface(*d);
    for (int yy = 0; yy < height; ++yy) {
        int sy = srcY + s->m_origin.y + yy;
        for (int xx = 0; xx < width; ++xx) {
            int sx = srcX + s->m_origin.x + xx;
            if (!from.contains(sx, sy))
                continue;
            plot(to, d->m_clip, d->m_origin.x + x + xx, d->m_origin.y + y + yy, from.row(sy)[sx]);
        }
    }
    return TRUE;
}
