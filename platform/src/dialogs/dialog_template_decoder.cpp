// SPDX-License-Identifier: GPL-3.0-or-later
// Classic dialog templates: decoding for the dialog manager, and building the item-less templates the
// message box and the file dialogs start from.
#include "dialogs/dialog_template_decoder.h"

#include "controls/controls_common.h"
#include "dialogs/dialogs.h"

#include <cstring>

namespace platform::controls {
namespace {

// Longest text accepted in one template field, and the most items a template may declare; a real
// template stays far below both.
constexpr size_t kMaxFieldChars = 1024;
constexpr WORD kMaxItems = 1024;

class TemplateReader {
public:
    TemplateReader(const BYTE* base, size_t size) : m_base(base), m_size(size) {}

    bool failed() const { return m_failed; }
    WORD word()
    {
        WORD value = 0;
        if (m_offset > m_size || m_size - m_offset < sizeof value) {
            m_failed = true; // reading past the end yields zeros, which also end every field
            return 0;
        }
        std::memcpy(&value, m_base + m_offset, sizeof value);
        m_offset += sizeof value;
        return value;
    }
    DWORD dword()
    {
        const DWORD low = word();
        return low | (static_cast<DWORD>(word()) << 16);
    }
    short signed_word() { return static_cast<short>(word()); }
    void align_dword() { m_offset = (m_offset + 3) & ~size_t{3}; }
    void skip(size_t bytes) { m_offset += bytes; }
    size_t offset() const { return m_offset; }

    bool text(std::wstring& out)
    {
        out.clear();
        for (WORD ch = word(); ch != 0; ch = word()) {
            if (out.size() >= kMaxFieldChars || m_failed)
                return false;
            out.push_back(static_cast<wchar_t>(ch));
        }
        return true;
    }

    bool field(TemplateField& out)
    {
        const WORD first = word();
        if (first == 0x0000) {
            out.kind = TemplateField::Kind::none;
            return true;
        }
        if (first == 0xFFFF) {
            out.kind = TemplateField::Kind::ordinal;
            out.ordinal = word();
            return true;
        }
        out.kind = TemplateField::Kind::text;
        m_offset -= sizeof(WORD);
        return text(out.text);
    }

private:
    const BYTE* m_base;
    size_t m_size;
    size_t m_offset = 0;
    bool m_failed = false;
};

RECT read_units(TemplateReader& in)
{
    const short x = in.signed_word();
    const short y = in.signed_word();
    const short cx = in.signed_word();
    const short cy = in.signed_word();
    return RECT{x, y, x + cx, y + cy};
}

bool read_item(TemplateReader& in, TemplateItem& item)
{
    in.align_dword();
    item.style = in.dword();
    item.ex_style = in.dword();
    item.units = read_units(in);
    item.id = in.word();
    if (!in.field(item.class_field) || !in.field(item.title) || in.failed())
        return false;
    // The creation-data size counts its own word; the data is not used by the predefined controls.
    const WORD extra = in.word();
    if (extra > sizeof(WORD))
        in.skip(extra - sizeof(WORD));
    return true;
}

void put_text(std::vector<WORD>& out, std::wstring_view text)
{
    for (wchar_t ch : text)
        out.push_back(static_cast<WORD>(ch));
    out.push_back(0);
}

} // namespace

std::optional<DialogTemplateData> decode_dialog_template(const DLGTEMPLATE* data, size_t size)
{
    if (!data)
        return std::nullopt;
    TemplateReader in(reinterpret_cast<const BYTE*>(data), size);
    DialogTemplateData out;
    out.style = in.dword();
    if ((out.style & 0xFFFF) == 0x0001 && (out.style >> 16) == 0xFFFF)
        return std::nullopt; // the extended layout is not read
    out.ex_style = in.dword();
    const WORD count = in.word();
    if (count > kMaxItems)
        return std::nullopt;
    out.units = read_units(in);
    if (!in.field(out.menu) || !in.field(out.class_field) || !in.text(out.title) || in.failed())
        return std::nullopt;
    if (out.style & DS_SETFONT) {
        out.point_size = in.word();
        TemplateField face;
        if (!in.field(face))
            return std::nullopt;
        out.face = face.text;
    }
    out.items.resize(count);
    for (TemplateItem& item : out.items)
        if (!read_item(in, item))
            return std::nullopt;
    if (in.failed())
        return std::nullopt;
    return out;
}

std::wstring item_class_name(const TemplateField& field)
{
    if (field.kind == TemplateField::Kind::text)
        return field.text;
    switch (field.ordinal) {
    case 0x0080: return L"Button";
    case 0x0081: return L"Edit";
    case 0x0082: return L"Static";
    case 0x0083: return L"LISTBOX";
    case 0x0084: return L"ScrollBar";
    case 0x0085: return L"ComboBox";
    default: return L"";
    }
}

std::vector<WORD> empty_dialog_template(DWORD style, std::wstring_view title)
{
    std::vector<WORD> out;
    out.push_back(static_cast<WORD>(style & 0xFFFF));
    out.push_back(static_cast<WORD>(style >> 16));
    out.insert(out.end(), {0, 0}); // extended style
    out.push_back(0);              // no items
    out.insert(out.end(), {0, 0, 0, 0});
    out.push_back(0); // no menu
    out.push_back(0); // the dialog class
    put_text(out, title);
    return out;
}

} // namespace platform::controls
