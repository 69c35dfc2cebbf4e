// SPDX-License-Identifier: GPL-3.0-or-later
// Resources: the compiled .res image embedded in the executable, and the loaders that read it (strings,
// icons, bitmaps, menus, accelerators). Everything read from the image is bounds-checked.
#include "resources/resources.h"

#include "device/device.h"
#include "device/handles.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "text/text_encoding.h"

#include <kelvora_host.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>

namespace platform {
HBITMAP make_bitmap(Surface pixels);

namespace {

// A resource id: an ordinal, or a name kept upper-case (names compare case-insensitively).
struct ResId {
    bool m_is_name = false;
    uint16_t m_ordinal = 0;
    std::wstring m_name;

    bool operator==(const ResId& o) const
    {
        return m_is_name == o.m_is_name && (m_is_name ? m_name == o.m_name : m_ordinal == o.m_ordinal);
    }
};

struct Resource {
    ResId m_type;
    ResId m_name;
    std::unique_ptr<uint64_t[]> m_data; // a copy, 8-byte aligned for the structures read from it
    DWORD m_size = 0;
};

// The program's image: the resources its executable embeds, registered before main, and the strings
// that LoadStringW hands out pointers to. Like the executable's own resource section it belongs to the
// process, not to a device: it is there before the first device starts and its pointers stay valid.
struct Module {
    std::vector<std::unique_ptr<Resource>> m_resources;
    std::map<UINT, std::wstring> m_strings;
};

Module& module()
{
    static Module image;
    return image;
}

std::vector<std::unique_ptr<Resource>>& resources() { return module().m_resources; }

const HINSTANCE module_instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

uint16_t read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t read32(const unsigned char* p) { return read16(p) | (static_cast<uint32_t>(read16(p + 2)) << 16); }

// Reads an id field of a .res header at `pos` (within `end`); false when it runs past the end.
bool read_id(const unsigned char* data, size_t end, size_t* pos, ResId* id)
{
    if (*pos + 2 > end)
        return false;
    if (read16(data + *pos) == 0xFFFF) {
        if (*pos + 4 > end)
            return false;
        id->m_is_name = false;
        id->m_ordinal = read16(data + *pos + 2);
        *pos += 4;
        return true;
    }
    id->m_is_name = true;
    for (;;) {
        if (*pos + 2 > end)
            return false;
        uint16_t ch = read16(data + *pos);
        *pos += 2;
        if (ch == 0)
            return true;
        id->m_name.push_back(static_cast<wchar_t>(std::towupper(ch)));
    }
}

ResId id_from(LPCWSTR value)
{
    ResId id;
    if (IS_INTRESOURCE(value)) {
        id.m_ordinal = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(value));
        return id;
    }
    if (value[0] == L'#') {
        id.m_ordinal = static_cast<uint16_t>(std::wcstoul(value + 1, nullptr, 10));
        return id;
    }
    id.m_is_name = true;
    for (const wchar_t* p = value; *p; ++p)
        id.m_name.push_back(static_cast<wchar_t>(std::towupper(*p)));
    return id;
}

const Resource* find(const ResId& type, const ResId& name)
{
    for (auto& r : resources())
        if (r->m_type == type && r->m_name == name)
            return r.get();
    return nullptr;
}

// A resource of a standard type (RT_BITMAP ...) named as the program names it; nullptr without a name.
const Resource* find_typed(uint16_t type, LPCWSTR name)
{
    if (!name)
        return nullptr;
    ResId t;
    t.m_ordinal = type;
    return find(t, id_from(name));
}

const Resource* find_ordinal(uint16_t type, uint16_t name)
{
    ResId t, n;
    t.m_ordinal = type;
    n.m_ordinal = name;
    return find(t, n);
}

const unsigned char* bytes(const Resource* r) { return reinterpret_cast<const unsigned char*>(r->m_data.get()); }

HandleTable<Icon>& icon_table() { return device().m_resources.m_icons; }
HandleTable<std::vector<ACCEL>>& accel_table() { return device().m_resources.m_accelerators; }
std::map<uint16_t, HICON>& icon_cache() { return device().m_resources.m_icon_cache; }
std::map<UINT, std::wstring>& string_cache() { return module().m_strings; }

// Decodes a device-independent bitmap (header, palette, bottom-up rows) into `out`. `rows` is the
// height of the colour image (an icon's header counts the mask too). False on anything malformed.
bool decode_dib(const unsigned char* p, size_t size, int rows_override, Surface* out, size_t* bits_end)
{
    if (size < 40)
        return false;
    uint32_t header = read32(p);
    int32_t width = static_cast<int32_t>(read32(p + 4));
    int32_t height = static_cast<int32_t>(read32(p + 8));
    uint16_t bpp = read16(p + 14);
    uint32_t compression = read32(p + 16);
    uint32_t colours_used = read32(p + 32);
    if (header < 40 || header > size || compression != 0 || width <= 0 || width > 4096)
        return false;
    bool top_down = height < 0;
    int rows = rows_override > 0 ? rows_override : (height < 0 ? -height : height);
    if (rows <= 0 || rows > 4096)
        return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return false;
    size_t palette_count = bpp <= 8 ? (colours_used ? colours_used : (1u << bpp)) : 0;
    if (palette_count > 256)
        return false;
    size_t palette_at = header;
    size_t bits_at = palette_at + palette_count * 4;
    size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
    if (bits_at > size || stride * rows > size - bits_at)
        return false;
    out->resize(width, rows, 0);
    for (int y = 0; y < rows; ++y) {
        const unsigned char* line = p + bits_at + stride * (top_down ? y : rows - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            if (bpp >= 24) {
                const unsigned char* px = line + static_cast<size_t>(x) * (bpp / 8);
                pixel = (px[2] << 16) | (px[1] << 8) | px[0];
            } else {
                size_t bit = static_cast<size_t>(x) * bpp;
                unsigned index = (line[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                const unsigned char* c = p + palette_at + (index < palette_count ? index : 0) * 4;
                pixel = (c[2] << 16) | (c[1] << 8) | c[0];
            }
            out->row(y)[x] = pixel;
        }
    }
    if (bits_end)
        *bits_end = bits_at + stride * rows;
    return true;
}

std::unique_ptr<Icon> decode_icon(const Resource* r)
{
    const unsigned char* p = bytes(r);
    if (r->m_size < 40)
        return nullptr;
    int32_t height = static_cast<int32_t>(read32(p + 8));
    int rows = height / 2;
    auto icon = std::make_unique<Icon>();
    size_t bits_end = 0;
    if (rows <= 0 || !decode_dib(p, r->m_size, rows, &icon->m_color, &bits_end))
        return nullptr;
    int width = icon->m_color.m_width;
    size_t stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    icon->m_mask.assign(static_cast<size_t>(width) * rows, 0);
    if (bits_end + stride * rows <= r->m_size) {
        for (int y = 0; y < rows; ++y) {
            const unsigned char* line = p + bits_end + stride * (rows - 1 - y);
            for (int x = 0; x < width; ++x)
                icon->m_mask[static_cast<size_t>(y) * width + x] = (line[x / 8] >> (7 - x % 8)) & 1;
        }
    }
    return icon;
}

bool parse_menu_items(const unsigned char* p, size_t size, size_t* pos, std::vector<MenuItem>* items, int depth)
{
    if (depth > 8)
        return false;
    for (;;) {
        if (*pos + 2 > size)
            return false;
        uint16_t flags = read16(p + *pos);
        *pos += 2;
        MenuItem item;
        item.m_popup = (flags & 0x10) != 0;
        if (!item.m_popup) {
            if (*pos + 2 > size)
                return false;
            item.m_id = read16(p + *pos);
            *pos += 2;
        }
        std::vector<uint16_t> text;
        for (;;) {
            if (*pos + 2 > size)
                return false;
            uint16_t ch = read16(p + *pos);
            *pos += 2;
            if (ch == 0)
                break;
            text.push_back(ch);
        }
        item.m_text = utf16_to_wide(text.data(), text.size());
        item.m_separator = !item.m_popup && item.m_id == 0 && item.m_text.empty();
        if (item.m_popup && !parse_menu_items(p, size, pos, &item.m_children, depth + 1))
            return false;
        items->push_back(std::move(item));
        if (flags & 0x80)
            return true;
    }
}

} // namespace

Icon* icon_from_handle(HICON icon) { return icon_table().get(reinterpret_cast<uintptr_t>(icon)); }

std::vector<MenuItem> load_menu_items(HINSTANCE, UINT id, bool* ok)
{
    std::vector<MenuItem> items;
    *ok = false;
    const Resource* r = find_ordinal(4, static_cast<uint16_t>(id));
    if (!r || r->m_size < 4)
        return items;
    const unsigned char* p = bytes(r);
    if (read16(p) != 0) // extended menus are not read
        return items;
    size_t pos = 4 + read16(p + 2);
    *ok = parse_menu_items(p, r->m_size, &pos, &items, 0);
    return items;
}

} // namespace platform

using namespace platform;

bool kelvora_register_resources(const unsigned char* data, std::size_t size)
{
    if (!data)
        return false;
    size_t pos = 0;
    while (pos + 8 <= size) {
        uint32_t data_size = read32(data + pos);
        uint32_t header_size = read32(data + pos + 4);
        if (header_size < 8 || header_size > size - pos || data_size > size - pos - header_size)
            return false;
        size_t field = pos + 8;
        size_t header_end = pos + header_size;
        auto r = std::make_unique<Resource>();
        if (!read_id(data, header_end, &field, &r->m_type) || !read_id(data, header_end, &field, &r->m_name))
            return false;
        const unsigned char* content = data + pos + header_size;
        bool empty_marker = data_size == 0 && !r->m_type.m_is_name && r->m_type.m_ordinal == 0;
        if (!empty_marker) {
            r->m_size = data_size;
            r->m_data = std::make_unique<uint64_t[]>(data_size / 8 + 1);
            std::memcpy(r->m_data.get(), content, data_size);
            resources().push_back(std::move(r));
        }
        pos += header_size + data_size;
        pos = (pos + 3) & ~static_cast<size_t>(3);
    }
    return true;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) { return moduleName ? nullptr : module_instance; }

HRSRC WINAPI FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type)
{
    if (!name || !type)
        return nullptr;
    const Resource* r = find(id_from(type), id_from(name));
    return reinterpret_cast<HRSRC>(const_cast<Resource*>(r));
}

static const Resource* resource_of(HRSRC handle)
{
    for (auto& r : resources())
        if (reinterpret_cast<HRSRC>(r.get()) == handle)
            return r.get();
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource)
{
    const Resource* r = resource_of(resource);
    return r ? static_cast<HGLOBAL>(r->m_data.get()) : nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource)
{
    const Resource* r = resource_of(resource);
    return r ? r->m_size : 0;
}

int WINAPI LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int maxCount)
{
    if (!buffer)
        return 0;
    auto& cache = string_cache();
    auto it = cache.find(id);
    if (it == cache.end()) {
        const Resource* r = find_ordinal(6, static_cast<uint16_t>((id >> 4) + 1));
        if (!r)
            return 0;
        const unsigned char* p = bytes(r);
        size_t pos = 0;
        bool found = false;
        for (UINT i = 0; i <= (id & 15); ++i) {
            if (pos + 2 > r->m_size)
                return 0;
            uint16_t length = read16(p + pos);
            pos += 2;
            if (length > (r->m_size - pos) / 2)
                return 0;
            if (i == (id & 15) && length > 0) {
                std::vector<uint16_t> units(length);
                for (uint16_t k = 0; k < length; ++k)
                    units[k] = read16(p + pos + 2 * k);
                it = cache.emplace(id, utf16_to_wide(units.data(), units.size())).first;
                found = true;
            }
            pos += 2 * static_cast<size_t>(length);
        }
        if (!found)
            return 0;
    }
    const std::wstring& text = it->second;
    if (maxCount == 0) { // Win32: a read-only pointer to the string itself
        *reinterpret_cast<const wchar_t**>(buffer) = text.c_str();
        return static_cast<int>(text.size());
    }
    if (maxCount < 0)
        return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(maxCount - 1));
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}

HICON WINAPI LoadIconW(HINSTANCE, LPCWSTR name)
{
    const Resource* group = find_typed(14, name);
    if (!group || group->m_size < 6)
        return nullptr;
    const unsigned char* p = bytes(group);
    uint16_t count = read16(p + 4);
    // Prefer the 32 x 32 image with the most colours.
    int best = -1, best_score = -1;
    for (uint16_t i = 0; i < count; ++i) {
        size_t at = 6 + static_cast<size_t>(i) * 14;
        if (at + 14 > group->m_size)
            break;
        int w = p[at] ? p[at] : 256;
        int bits = read16(p + at + 6);
        int score = (w == 32 ? 1000 : 0) + bits;
        if (score > best_score) {
            best_score = score;
            best = read16(p + at + 12);
        }
    }
    if (best < 0)
        return nullptr;
    auto& cache = icon_cache();
    auto cached = cache.find(static_cast<uint16_t>(best));
    if (cached != cache.end() && icon_from_handle(cached->second))
        return cached->second;
    const Resource* image = find_ordinal(3, static_cast<uint16_t>(best));
    if (!image)
        return nullptr;
    std::unique_ptr<Icon> icon = decode_icon(image);
    if (!icon)
        return nullptr;
    HICON handle = reinterpret_cast<HICON>(icon_table().add(std::move(icon)));
    cache[static_cast<uint16_t>(best)] = handle;
    return handle;
}

// Icons from resources are shared, as in Win32: destroying one keeps it for the other users.
BOOL WINAPI DestroyIcon(HICON icon) { return icon_from_handle(icon) ? TRUE : FALSE; }

HBITMAP WINAPI LoadBitmapW(HINSTANCE, LPCWSTR name)
{
    const Resource* r = find_typed(2, name);
    if (!r)
        return nullptr;
    Surface pixels;
    if (!decode_dib(bytes(r), r->m_size, 0, &pixels, nullptr))
        return nullptr;
    return make_bitmap(std::move(pixels));
}

HACCEL WINAPI LoadAcceleratorsW(HINSTANCE, LPCWSTR name)
{
    const Resource* r = find_typed(9, name);
    if (!r)
        return nullptr;
    auto table = std::make_unique<std::vector<ACCEL>>();
    const unsigned char* p = bytes(r);
    for (size_t at = 0; at + 8 <= r->m_size; at += 8) {
        uint16_t flags = read16(p + at);
        ACCEL a;
        a.fVirt = static_cast<BYTE>(flags & 0x7F);
        a.key = read16(p + at + 2);
        a.cmd = read16(p + at + 4);
        table->push_back(a);
        if (flags & 0x80)
            break;
    }
    return reinterpret_cast<HACCEL>(accel_table().add(std::move(table)));
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL table)
{
    return accel_table().remove(reinterpret_cast<uintptr_t>(table)) ? TRUE : FALSE;
}

int WINAPI TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg)
{
    std::vector<ACCEL>* entries = accel_table().get(reinterpret_cast<uintptr_t>(table));
    if (!entries || !msg || !IsWindow(hwnd))
        return 0;
    bool key_down = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool is_char = msg->message == WM_CHAR;
    if (!key_down && !is_char)
        return 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    for (const ACCEL& a : *entries) {
        bool virt = (a.fVirt & FVIRTKEY) != 0;
        if (virt != key_down || a.key != msg->wParam)
            continue;
        if (virt && (((a.fVirt & FCONTROL) != 0) != ctrl || ((a.fVirt & FSHIFT) != 0) != shift || (a.fVirt & FALT)))
            continue;
        // The command goes to the window the key was addressed to, code 1 for an accelerator.
        HWND target = IsWindow(msg->hwnd) ? msg->hwnd : hwnd;
        SendMessageW(target, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return 1;
    }
    return 0;
}
