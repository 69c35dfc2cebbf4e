// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the input panel: their layout for portrait and landscape, and how they are drawn.
#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "shell/input_panel.h"
#include "text/text.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace platform {
namespace {

// A row is written in grid units: each key takes `m_units` of them; a key without a virtual key is a gap.
struct KeyDef {
    int m_units;
    KeyKind m_kind;
    UINT m_vk;
    wchar_t m_char;
    const wchar_t* m_label;
};
using Row = std::vector<KeyDef>;

struct Layout {
    int m_grid_units; // across the whole width
    int m_row_height;
    std::vector<Row> m_rows;
};

constexpr KeyDef ch(wchar_t c)
{
    UINT vk = c >= L'a' && c <= L'z' ? static_cast<UINT>(c - L'a' + 'A')
              : c == L'.'            ? VK_OEM_PERIOD
              : c == L'-'            ? VK_OEM_MINUS
              : c == L'+'            ? VK_OEM_PLUS
                                     : static_cast<UINT>(c);
    return KeyDef{2, KeyKind::Character, vk, c, L""};
}
constexpr KeyDef gap(int units) { return KeyDef{units, KeyKind::Command, 0, 0, L""}; }
constexpr KeyDef command(int units, UINT vk, const wchar_t* label) { return KeyDef{units, KeyKind::Command, vk, 0, label}; }
constexpr KeyDef shift(int units) { return KeyDef{units, KeyKind::Shift, VK_SHIFT, 0, L"Shift"}; }
constexpr KeyDef arrow(UINT vk) { return KeyDef{2, KeyKind::Arrow, vk, 0, L""}; }

Row chars(std::wstring_view text)
{
    Row row;
    for (wchar_t c : text)
        row.push_back(ch(c));
    return row;
}

Row join(std::initializer_list<Row> parts)
{
    Row row;
    for (const Row& p : parts)
        row.insert(row.end(), p.begin(), p.end());
    return row;
}

// Portrait: 24 units of 10 pixels, five rows of 16: 80 pixels, keys 20 pixels wide.
const Layout& portrait()
{
    static const Layout layout{
        24, 16,
        {chars(L"1234567890-+"),
         join({chars(L"qwertyuiop"), {command(4, VK_BACK, L"Bksp")}}),
         join({{gap(1)}, chars(L"asdfghjkl"), {command(5, VK_RETURN, L"Enter")}}),
         join({{shift(4)}, chars(L"zxcvbnm."), {shift(4)}}),
         {command(4, VK_TAB, L"Tab"), command(12, VK_SPACE, L""), arrow(VK_LEFT), arrow(VK_UP), arrow(VK_DOWN),
          arrow(VK_RIGHT)}}};
    return layout;
}

// Landscape: 40 units of 8 pixels, three rows of 15: 45 pixels, so a dialog still fits above the panel.
// Letters on the left, a digit pad on the right, the arrows as an inverted T in the corner.
const Layout& landscape()
{
    static const Layout layout{
        40, 15,
        {join({chars(L"qwertyuiop"), {command(6, VK_BACK, L"Bksp")}, chars(L"789-+"), {command(4, VK_TAB, L"Tab")}}),
         join({{gap(1)}, chars(L"asdfghjkl"), {command(7, VK_RETURN, L"Enter")}, chars(L"456."), {gap(2)},
               {arrow(VK_UP)}, {gap(2)}}),
         join({{shift(4)}, chars(L"zxcvbnm"), {command(8, VK_SPACE, L"")}, chars(L"1230"), {arrow(VK_LEFT)},
               {arrow(VK_DOWN)}, {arrow(VK_RIGHT)}})}};
    return layout;
}

const Layout& layout_for(int width, int height) { return height > width ? portrait() : landscape(); }

constexpr uint32_t panel_colour = 0xB4BFD4;
constexpr uint32_t key_border = 0x7A89A8;
constexpr uint32_t key_face = 0xFCFDFF;
constexpr uint32_t command_face = 0xE2E7F1;
constexpr uint32_t latched_face = 0xA9C4F0;
constexpr uint32_t pressed_face = navy;
constexpr uint32_t ink = 0x000000;
constexpr uint32_t pressed_ink = 0xFFFFFF;

// A filled triangle pointing the arrow's way, `size` pixels from base to tip, centred in `r`.
void draw_arrow(Dc& dc, const RECT& r, UINT vk, uint32_t colour)
{
    const int size = 5;
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    for (int i = 0; i < size; ++i) {
        // Row i from the tip: 2*i+1 pixels across.
        switch (vk) {
        case VK_UP: fill_rect_pixels(dc, RECT{cx - i, cy - size / 2 + i, cx + i + 1, cy - size / 2 + i + 1}, colour); break;
        case VK_DOWN: fill_rect_pixels(dc, RECT{cx - i, cy + size / 2 - i, cx + i + 1, cy + size / 2 - i + 1}, colour); break;
        case VK_LEFT: fill_rect_pixels(dc, RECT{cx - size / 2 + i, cy - i, cx - size / 2 + i + 1, cy + i + 1}, colour); break;
        default: fill_rect_pixels(dc, RECT{cx + size / 2 - i, cy - i, cx + size / 2 - i + 1, cy + i + 1}, colour); break;
        }
    }
}

std::wstring label_of(const PanelKey& key, bool shift)
{
    if (key.m_kind != KeyKind::Character)
        return key.m_label;
    wchar_t c = key.m_char;
    if (shift && c >= L'a' && c <= L'z')
        c = static_cast<wchar_t>(c - L'a' + L'A');
    return std::wstring(1, c);
}

void draw_key(Surface& screen, const PanelKey& key, bool pressed, bool shift)
{
    Dc dc = screen_dc(screen);
    // The right and bottom pixel of every key rectangle are the gap to the next key.
    const RECT outline{key.m_rect.left, key.m_rect.top, key.m_rect.right - 1, key.m_rect.bottom - 1};
    uint32_t face = key.m_kind == KeyKind::Character ? key_face : command_face;
    if (key.m_kind == KeyKind::Shift && shift)
        face = latched_face;
    if (pressed)
        face = pressed_face;
    const uint32_t colour = pressed ? pressed_ink : ink;
    fill_rect_pixels(dc, outline, key_border);
    fill_rect_pixels(dc, RECT{outline.left + 1, outline.top + 1, outline.right - 1, outline.bottom - 1}, face);
    if (key.m_kind == KeyKind::Arrow) {
        draw_arrow(dc, outline, key.m_vk, colour);
        return;
    }
    const std::wstring label = label_of(key, shift);
    const int line = font_metrics().m_ascent + font_metrics().m_descent;
    const int x = (outline.left + outline.right - device_text_width(label) + 1) / 2;
    const int y = (outline.top + outline.bottom - line + 1) / 2;
    draw_text_on_surface(screen, outline, x, y, label, colour);
}

} // namespace

int panel_height(int screen_width, int screen_height)
{
    const Layout& l = layout_for(screen_width, screen_height);
    return l.m_row_height * static_cast<int>(l.m_rows.size());
}

std::vector<PanelKey> panel_keys(const RECT& panel)
{
    const int width = panel.right - panel.left;
    const Layout& l = layout_for(device().m_width, device().m_height);
    std::vector<PanelKey> keys;
    for (size_t r = 0; r < l.m_rows.size(); ++r) {
        const int top = panel.top + static_cast<int>(r) * l.m_row_height;
        int unit = 0;
        for (const KeyDef& def : l.m_rows[r]) {
            // Edges from the unit count, so any screen width is filled to its last pixel.
            const int left = panel.left + unit * width / l.m_grid_units;
            unit += def.m_units;
            const int right = panel.left + unit * width / l.m_grid_units;
            if (def.m_vk != 0)
                keys.push_back(PanelKey{RECT{left, top, right, top + l.m_row_height}, def.m_kind, def.m_vk,
                                        def.m_char, def.m_label});
        }
    }
    return keys;
}

void draw_panel_keys(Surface& screen, const RECT& panel, const std::vector<PanelKey>& keys, int pressed, bool shift)
{
    Dc dc = screen_dc(screen);
    fill_rect_pixels(dc, panel, panel_colour);
    fill_rect_pixels(dc, RECT{panel.left, panel.top, panel.right, panel.top + 1}, key_border); // its edge
    for (size_t i = 0; i < keys.size(); ++i)
        draw_key(screen, keys[i], static_cast<int>(i) == pressed, shift);
}

// A small keyboard: an outlined box with two rows of key dots and a space bar.
void draw_input_panel_button(Surface& screen, const RECT& slot, bool pressed)
{
    Dc dc = screen_dc(screen);
    const uint32_t colour = pressed ? pressed_ink : ink;
    if (pressed)
        fill_rect_pixels(dc, RECT{slot.left + 1, slot.top + 2, slot.right - 1, slot.bottom - 1}, pressed_face);
    const int w = 19, h = 11;
    const int left = (slot.left + slot.right - w) / 2, top = (slot.top + 1 + slot.bottom - h) / 2;
    fill_rect_pixels(dc, RECT{left, top, left + w, top + 1}, colour);
    fill_rect_pixels(dc, RECT{left, top + h - 1, left + w, top + h}, colour);
    fill_rect_pixels(dc, RECT{left, top, left + 1, top + h}, colour);
    fill_rect_pixels(dc, RECT{left + w - 1, top, left + w, top + h}, colour);
    for (int row = 0; row < 2; ++row)
        for (int x = left + 3; x + 1 < left + w - 2; x += 3)
            fill_rect_pixels(dc, RECT{x, top + 3 + 2 * row, x + 2, top + 4 + 2 * row}, colour);
    fill_rect_pixels(dc, RECT{left + 6, top + 8, left + w - 6, top + 9}, colour);
}

} // namespace platform
