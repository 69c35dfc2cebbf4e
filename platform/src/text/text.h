// SPDX-License-Identifier: GPL-3.0-or-later
// Text in the device font: measuring, mnemonic prefixes, drawing on a DC or straight on a surface.
#pragma once
#include <windows.h>

#include "gdi/gdi.h"
#include "gdi/surface.h"
#include <memory>
#include <string>
#include <string_view>

namespace platform {

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

} // namespace platform
