// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of classic dialog templates (the layout stored in RT_DIALOG resources).
#pragma once
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform::controls {

// A variable-length template field: absent, an ordinal, or a text.
struct TemplateField {
    enum class Kind { none, ordinal, text } kind = Kind::none;
    WORD ordinal = 0;
    std::wstring text;
};

struct TemplateItem {
    DWORD style = 0;
    DWORD ex_style = 0;
    RECT units{}; // position and size in dialog units, as left/top/right/bottom
    WORD id = 0;
    TemplateField class_field;
    TemplateField title;
};

struct DialogTemplateData {
    DWORD style = 0;
    DWORD ex_style = 0;
    RECT units{};
    TemplateField menu;
    TemplateField class_field;
    std::wstring title;
    WORD point_size = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};

// Decodes a classic template of at most `size` bytes; nullopt for the extended layout, a template cut
// short, or implausible content. The dialog calls receive no size, so they pass a generous cap; strings
// are read up to a fixed length, so damaged data cannot make the reader run on without end.
constexpr size_t kMaxTemplateBytes = 0x10000;
std::optional<DialogTemplateData> decode_dialog_template(const DLGTEMPLATE* data, size_t size = kMaxTemplateBytes);

// The window class a template item names: "Button", "Edit", "Static", "LISTBOX" ... for ordinals.
std::wstring item_class_name(const TemplateField& field);

} // namespace platform::controls
