// SPDX-License-Identifier: GPL-3.0-or-later
// The pop-up menu that a drop-down button of the menu bar opens above the bar: where it stands, the
// stylus and the keys on it, choosing an item (a WM_COMMAND to the bar's owner), and drawing it.
#include "shell/menu_bar.h"

#include "device/device.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "resources/resources.h"
#include "shell/shell.h"
#include "text/text.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <algorithm>

namespace platform {
namespace {

constexpr int item_height = 20;
constexpr int separator_height = 7;

MenuState& open_menu_state() { return device().m_menu_bar.m_menu; }

Window* open_bar() { return window_from_handle(open_menu_state().m_bar); }

// The items of the open menu; nullptr when none is open or its bar has gone.
const std::vector<MenuItem>* open_items()
{
    Window* bar = open_bar();
    int b = open_menu_state().m_button;
    if (!bar || b < 0 || b >= static_cast<int>(menu_bar_buttons(bar).size()))
        return nullptr;
    return &menu_bar_buttons(bar)[b].m_menu;
}

bool can_choose(const MenuItem& item) { return !item.m_separator && !item.m_popup; }

int item_at(POINT p)
{
    const std::vector<MenuItem>* items = open_items();
    const RECT& r = open_menu_state().m_rect;
    if (!items || !PtInRect(&r, p))
        return -1;
    int y = r.top + 1;
    for (int i = 0; i < static_cast<int>(items->size()); ++i) {
        int h = (*items)[i].m_separator ? separator_height : item_height;
        if (p.y >= y && p.y < y + h)
            return can_choose((*items)[i]) ? i : -1;
        y += h;
    }
    return -1;
}

void choose(int index)
{
    const std::vector<MenuItem>* items = open_items();
    Window* bar = open_bar();
    if (!items || !bar || index < 0 || index >= static_cast<int>(items->size()))
        return;
    UINT id = (*items)[index].m_id;
    Window* owner = bar->m_owner;
    menu_close();
    post_command(owner, id);
}

void move_highlight(int step)
{
    const std::vector<MenuItem>* items = open_items();
    if (!items || items->empty())
        return;
    int n = static_cast<int>(items->size());
    int h = open_menu_state().m_highlight;
    for (int tries = 0; tries < n; ++tries) {
        h = h < 0 ? (step > 0 ? 0 : n - 1) : (h + step + n) % n;
        if (can_choose((*items)[h])) {
            open_menu_state().m_highlight = h;
            return;
        }
    }
}

} // namespace

// The menu stands on the bar, under its button: the first one's at the left edge, the others' ending at
// their button's right edge. Opened by a key, it highlights its first item so that Enter can choose.
void open_menu(Window* bar, int button, bool highlight_first)
{
    const std::vector<MenuItem>& items = menu_bar_buttons(bar)[button].m_menu;
    MenuState& m = open_menu_state();
    m.m_bar = bar->m_handle;
    m.m_button = button;
    m.m_highlight = -1;
    int width = 40, height = 2;
    for (size_t i = 0; i < items.size(); ++i) {
        width = std::max(width, device_text_width(items[i].m_text) + 24);
        height += items[i].m_separator ? separator_height : item_height;
        if (highlight_first && m.m_highlight < 0 && can_choose(items[i]))
            m.m_highlight = static_cast<int>(i);
    }
    Device& d = device();
    width = std::min(width, d.m_width);
    RECT b = menu_bar_button_rect(bar, button);
    int left = button == 0 ? 0 : std::max(0, static_cast<int>(b.right) - width);
    int bottom = d.m_height - menu_bar_height;
    m.m_rect = RECT{left, std::max(0, bottom - height), left + width, bottom};
}

void post_command(Window* owner, UINT id)
{
    if (owner && owner->m_alive)
        PostMessageW(owner->m_handle, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void draw_menu(Surface& screen)
{
    const std::vector<MenuItem>* items = open_items();
    if (!items)
        return;
    const MenuState& m = open_menu_state();
    Dc dc = screen_dc(screen);
    RECT r = m.m_rect;
    fill_rect_pixels(dc, r, 0x000000);
    RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    fill_rect_pixels(dc, inner, 0xFFFFFF);
    int y = inner.top;
    int line = font_metrics().m_ascent + font_metrics().m_descent;
    for (int i = 0; i < static_cast<int>(items->size()); ++i) {
        const MenuItem& it = (*items)[i];
        if (it.m_separator) {
            fill_rect_pixels(dc, RECT{inner.left + 2, y + 3, inner.right - 2, y + 4}, 0x808080);
            y += separator_height;
            continue;
        }
        RECT row{inner.left, y, inner.right, y + item_height};
        uint32_t text = it.m_popup ? 0x808080 : 0x000000;
        if (i == m.m_highlight) {
            fill_rect_pixels(dc, row, navy);
            text = 0xFFFFFF;
        }
        draw_text_on_surface(screen, row, row.left + 8, y + (item_height - line) / 2, it.m_text, text);
        y += item_height;
    }
}

bool menu_is_open() { return open_items() != nullptr; }

void menu_close() { open_menu_state() = MenuState{}; }

bool menu_handle_tap(InputKind kind, POINT p)
{
    if (!menu_is_open())
        return false;
    MenuState& m = open_menu_state();
    int index = item_at(p);
    if (kind == InputKind::Up) {
        if (index >= 0)
            choose(index);
        return true;
    }
    if (kind == InputKind::Move) {
        if (index >= 0)
            m.m_highlight = index;
        return true;
    }
    if (PtInRect(&m.m_rect, p)) {
        m.m_highlight = index;
        return true;
    }
    menu_close(); // a tap outside closes the menu and does nothing else
    return true;
}

bool menu_handle_key(UINT vk)
{
    if (!menu_is_open())
        return false;
    switch (vk) {
    case VK_UP: move_highlight(-1); break;
    case VK_DOWN: move_highlight(1); break;
    case VK_RETURN: choose(open_menu_state().m_highlight); break;
    case VK_ESCAPE: menu_close(); break;
    default: break;
    }
    return true;
}

} // namespace platform
