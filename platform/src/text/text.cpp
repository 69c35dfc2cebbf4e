// SPDX-License-Identifier: GPL-3.0-or-later
// Text: the device font (DejaVu Sans, 10 pixels, grey-scale anti-aliased) through fontconfig and FreeType;
// DrawTextW, ExtTextOutW, extents and metrics.
#include "text/text.h"

#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "text/line_breaking.h"

#ifndef KELVORA_FONT_FILE
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <unordered_map>

namespace platform {
Surface* surface_for_dc(Dc& dc);

namespace {

constexpr int font_pixels = 10;

struct Glyph {
    int m_left = 0;    // bitmap offset from the pen position
    int m_top = 0;     // bitmap rows above the baseline
    int m_width = 0;
    int m_rows = 0;
    int m_advance = 0;
    std::vector<uint8_t> m_coverage;
};

} // namespace

struct Font {
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
    FontMetrics m_metrics;
    std::unordered_map<wchar_t, Glyph> m_glyphs;
};

void FontRelease::operator()(Font* font) const
{
    if (font->m_face)
        FT_Done_Face(font->m_face);
    if (font->m_library)
        FT_Done_FreeType(font->m_library);
    delete font;
}

namespace {

const Glyph& glyph(wchar_t ch);

std::string find_font_file()
{
#ifdef KELVORA_FONT_FILE
    return KELVORA_FONT_FILE; // a build that carries its own copy of the font (the web page)
#else
    std::string path;
    if (FcInit()) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcChar8* file = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        if (match)
            FcPatternDestroy(match);
        FcPatternDestroy(pattern);
        FcFini(); // the path is all we keep: fontconfig's tables go now
    }
    if (path.empty())
        path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    return path;
#endif
}

// The device's font, loaded at the first use of text on this device.
Font& font()
{
    FontPointer& loaded = device().m_font;
    if (loaded)
        return *loaded;
    loaded.reset(new Font);
    Font& f = *loaded;
    // Where the font is does not change while the program runs: fontconfig is asked once.
    static const std::string path = find_font_file();
    if (FT_Init_FreeType(&f.m_library) != 0) {
        std::fprintf(stderr, "kelvora device: FreeType failed to start; text is not drawn\n");
        return f;
    }
    if (FT_New_Face(f.m_library, path.c_str(), 0, &f.m_face) != 0 ||
        FT_Set_Pixel_Sizes(f.m_face, 0, font_pixels) != 0) {
        std::fprintf(stderr, "kelvora device: no usable font at %s; text is not drawn\n", path.c_str());
        if (f.m_face)
            FT_Done_Face(f.m_face);
        f.m_face = nullptr;
        return f;
    }
    const FT_Size_Metrics& m = f.m_face->size->metrics;
    f.m_metrics.m_ascent = static_cast<int>((m.ascender + 63) >> 6);
    f.m_metrics.m_descent = static_cast<int>((-m.descender + 63) >> 6);
    f.m_metrics.m_max_width = static_cast<int>((m.max_advance + 63) >> 6);
    f.m_metrics.m_average_width = glyph(L'x').m_advance; // Win32's average width: that of the "x"
    return f;
}

const Glyph& glyph(wchar_t ch)
{
    Font& f = font();
    auto it = f.m_glyphs.find(ch);
    if (it != f.m_glyphs.end())
        return it->second;
    Glyph g;
    g.m_advance = f.m_metrics.m_average_width;
    if (f.m_face && FT_Load_Char(f.m_face, static_cast<FT_ULong>(ch), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
        FT_GlyphSlot slot = f.m_face->glyph;
        g.m_advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.m_left = slot->bitmap_left;
        g.m_top = slot->bitmap_top;
        const FT_Bitmap& b = slot->bitmap;
        if (b.pixel_mode == FT_PIXEL_MODE_GRAY && b.buffer) {
            g.m_width = static_cast<int>(b.width);
            g.m_rows = static_cast<int>(b.rows);
            g.m_coverage.resize(static_cast<size_t>(g.m_width) * g.m_rows);
            for (int y = 0; y < g.m_rows; ++y)
                for (int x = 0; x < g.m_width; ++x)
                    g.m_coverage[static_cast<size_t>(y) * g.m_width + x] =
                        b.buffer[static_cast<ptrdiff_t>(y) * b.pitch + x];
        }
    }
    return f.m_glyphs.emplace(ch, std::move(g)).first->second;
}

uint32_t blend(uint32_t under, uint32_t over, unsigned alpha)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        unsigned a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        unsigned c = (a * (255 - alpha) + b * alpha + 127) / 255;
        out |= c << shift;
    }
    return out;
}

void draw_glyphs(Surface& s, const Region& clip, int x, int y, std::wstring_view text, uint32_t color)
{
    int baseline = y + font_metrics().m_ascent;
    for (wchar_t ch : text) {
        const Glyph& g = glyph(ch);
        for (int gy = 0; gy < g.m_rows; ++gy) {
            int py = baseline - g.m_top + gy;
            for (int gx = 0; gx < g.m_width; ++gx) {
                unsigned a = g.m_coverage[static_cast<size_t>(gy) * g.m_width + gx];
                int px = x + g.m_left + gx;
                if (a == 0 || !s.contains(px, py))
                    continue;
                for (const RECT& r : clip)
                    if (px >= r.left && px < r.right && py >= r.top && py < r.bottom) {
                        s.row(py)[px] = blend(s.row(py)[px], color, a);
                        break;
                    }
            }
        }
        x += g.m_advance;
    }
}

// The lines DrawText lays out: the whole text for DT_SINGLELINE, else its paragraphs, broken at words
// for DT_WORDBREAK (and inside a word too long for the line with DT_EDITCONTROL).
std::vector<std::wstring> drawn_lines(std::wstring_view text, UINT format, int width)
{
    if (format & DT_SINGLELINE)
        return {std::wstring(text)};
    if (!(format & DT_WORDBREAK))
        return paragraphs(text);
    const LongWords long_words = (format & DT_EDITCONTROL) ? LongWords::Split : LongWords::Overflow;
    return break_lines(text, width, device_text_width, long_words);
}

} // namespace

std::wstring strip_prefixes(std::wstring_view text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == L'&')
            continue;
        out.push_back(text[i]);
    }
    return out;
}

const FontMetrics& font_metrics() { return font().m_metrics; }

int char_advance(wchar_t ch) { return glyph(ch).m_advance; }

int device_text_width(std::wstring_view text)
{
    int w = 0;
    for (wchar_t ch : text)
        w += glyph(ch).m_advance;
    return w;
}

void draw_text_on_surface(Surface& surface, const RECT& clip, int x, int y, std::wstring_view text, uint32_t color)
{
    draw_glyphs(surface, {clip}, x, y, text, color);
}

void draw_device_text(Dc& dc, int x, int y, std::wstring_view text)
{
    Surface& s = *surface_for_dc(dc);
    int sx = x + dc.m_origin.x, sy = y + dc.m_origin.y;
    if (dc.m_bk_mode == OPAQUE) {
        RECT cell{sx, sy, sx + device_text_width(text), sy + font_metrics().m_ascent + font_metrics().m_descent};
        fill_rect_pixels(dc, cell, to_pixel(dc.m_bk_color));
    }
    draw_glyphs(s, dc.m_clip, sx, sy, text, to_pixel(dc.m_text_color));
}

} // namespace platform

using namespace platform;

int WINAPI DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc || !text || !rect)
        return 0;
    size_t length = count < 0 ? std::wcslen(text) : static_cast<size_t>(count);
    std::wstring shown(text, length);
    if (!(format & DT_NOPREFIX))
        shown = strip_prefixes(shown);
    int width = rect->right - rect->left;
    std::vector<std::wstring> lines = drawn_lines(shown, format, width);
    int line_height = font_metrics().m_ascent + font_metrics().m_descent;
    int total = line_height * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const auto& l : lines)
            widest = std::max(widest, device_text_width(l));
        if (!(format & DT_WORDBREAK) || widest > width)
            rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - line_height) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - line_height;
    }
    Region saved = dc->m_clip;
    if (!(format & DT_NOCLIP)) {
        RECT r = *rect;
        OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
        dc->m_clip = region_intersect(dc->m_clip, r);
    }
    for (const auto& line : lines) {
        int w = device_text_width(line);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        draw_device_text(*dc, x, y, line);
        y += line_height;
    }
    dc->m_clip = std::move(saved);
    return total;
}

BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT*)
{
    Dc* dc = dc_from_handle(hdc);
    if (!dc)
        return FALSE;
    Region saved = dc->m_clip;
    if (rect && (options & ETO_OPAQUE)) {
        RECT r = *rect;
        OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
        fill_rect_pixels(*dc, r, to_pixel(dc->m_bk_color));
    }
    if (rect && (options & ETO_CLIPPED)) {
        RECT r = *rect;
        OffsetRect(&r, dc->m_origin.x, dc->m_origin.y);
        dc->m_clip = region_intersect(dc->m_clip, r);
    }
    if (text)
        draw_device_text(*dc, x, y, std::wstring_view(text, count));
    dc->m_clip = std::move(saved);
    return TRUE;
}

BOOL WINAPI GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size)
{
    if (!dc_from_handle(hdc) || (!text && count > 0) || count < 0)
        return FALSE;
    int total = 0, fitted = 0;
    for (int i = 0; i < count; ++i) {
        total += char_advance(text[i]);
        if (dx)
            dx[i] = total;
        if (total <= maxExtent)
            fitted = i + 1;
    }
    if (fit)
        *fit = fitted;
    if (size)
        *size = SIZE{total, font_metrics().m_ascent + font_metrics().m_descent};
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size)
{
    return GetTextExtentExPointW(hdc, text, count, 0, nullptr, nullptr, size);
}

BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm)
{
    if (!dc_from_handle(hdc) || !tm)
        return FALSE;
    const FontMetrics& m = font_metrics();
    *tm = TEXTMETRICW{};
    tm->tmAscent = m.m_ascent;
    tm->tmDescent = m.m_descent;
    tm->tmHeight = m.m_ascent + m.m_descent;
    tm->tmAveCharWidth = m.m_average_width;
    tm->tmMaxCharWidth = m.m_max_width;
    tm->tmWeight = 400;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 32;
    tm->tmLastChar = 0xFFFD;
    tm->tmDefaultChar = L'?';
    tm->tmBreakChar = L' ';
    return TRUE;
}
