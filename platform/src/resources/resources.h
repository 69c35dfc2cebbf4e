// SPDX-License-Identifier: GPL-3.0-or-later
// Resources: what the device loads from the program's embedded resources (icons, accelerators, menus).
// The loaders themselves are the Win32 calls (LoadIconW, LoadStringW ...).
#pragma once
#include <windows.h>

#include "device/handles.h"
#include "gdi/surface.h"
#include <map>
#include <string>
#include <vector>

namespace platform {

struct MenuItem {
    std::wstring m_text;
    UINT m_id = 0;
    bool m_separator = false;
    bool m_popup = false;
    std::vector<MenuItem> m_children;
};

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

} // namespace platform
