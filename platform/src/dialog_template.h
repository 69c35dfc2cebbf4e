// Decoding of classic dialog templates (the layout stored in RT_DIALOG resources).
#pragma once
#include <windows.h>

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

// Decodes a classic template; nullopt for the extended layout or implausible content. Strings are read
// up to a fixed cap, so damaged data cannot make the reader run on without end.
std::optional<DialogTemplateData> decode_dialog_template(const DLGTEMPLATE* data);

// The window class a template item names: "Button", "Edit", "Static", "LISTBOX" ... for ordinals.
std::wstring item_class_name(const TemplateField& field);

} // namespace platform::controls
