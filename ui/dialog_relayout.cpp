// SPDX-License-Identifier: GPL-3.0-or-later
// Relayout of a running dialog from a classic dialog template: each control named by the template is
// moved to the template's rectangle (in dialog units of the dialog's own font) and gets the template's
// text or image again. Templates are read word by word within the resource's size, never beyond it.
// The program reads the template itself, with the public calls only, because it must also build and run
// against the real Windows headers and libraries, where no template decoder is offered to programs.
#include "dialog_relayout.h"

#include <string.h>

#define TEXT_LIMIT 1024
#define ORDINAL_MARK 0xFFFF
#define NO_ID 0xFFFF
#define CLASS_BUTTON 0x0080
#define CLASS_STATIC 0x0082
#define CLASS_LISTBOX 0x0083
#define CLASS_COMBOBOX 0x0085

static WORD readWord(TemplateReader* reader)
{
    if (reader->failed || reader->size < 2 || reader->offset > reader->size - 2) {
        reader->failed = TRUE;
        return 0;
    }
    WORD value = (WORD)(reader->base[reader->offset] | (reader->base[reader->offset + 1] << 8));
    reader->offset += 2;
    return value;
}

static DWORD readDword(TemplateReader* reader)
{
    DWORD low = readWord(reader);
    DWORD high = readWord(reader);
    return low | (high << 16);
}

static void alignToDword(TemplateReader* reader)
{
    reader->offset = (reader->offset + 3) & ~(DWORD)3;
}

// A field is the word 0 (none), 0xFFFF and an ordinal, or a zero-terminated text of 16-bit characters.
static void readField(TemplateReader* reader, TemplateField* field)
{
    memset(field, 0, sizeof(*field));
    WORD first = readWord(reader);
    if (first == 0) return;
    if (first == ORDINAL_MARK) {
        field->kind = FIELD_ORDINAL;
        field->ordinal = readWord(reader);
        return;
    }
    field->kind = FIELD_TEXT;
    field->textOffset = reader->offset - 2;
    DWORD length = 1;
    while (!reader->failed && readWord(reader) != 0) length++;
    field->textLength = length;
}

static void copyFieldText(const TemplateReader* reader, const TemplateField* field, WCHAR* text, int capacity)
{
    int length = 0;
    if (field->kind == FIELD_TEXT) {
        const BYTE* source = reader->base + field->textOffset;
        for (DWORD i = 0; i < field->textLength && length < capacity - 1; i++) {
            text[length++] = (WCHAR)(source[2 * i] | (source[2 * i + 1] << 8));
        }
    }
    text[length] = 0;
}

static void readItem(TemplateReader* reader, TemplateItem* item)
{
    item->style = readDword(reader);
    readDword(reader); // extended style
    item->x = (short)readWord(reader);
    item->y = (short)readWord(reader);
    item->width = (short)readWord(reader);
    item->height = (short)readWord(reader);
    item->id = readWord(reader);
}

// Skips the header up to the first item; returns the item count.
static WORD readHeader(TemplateReader* reader)
{
    TemplateField field;
    DWORD style = readDword(reader);
    readDword(reader); // extended style
    WORD count = readWord(reader);
    reader->offset += 8; // x, y, width, height: the dialog's own frame is not changed
    readField(reader, &field); // menu
    readField(reader, &field); // class
    readField(reader, &field); // title
    if (style & DS_SETFONT) {
        readWord(reader); // point size
        readField(reader, &field);
    }
    return count;
}

static void replaceImage(HWND dialog, WORD id, WPARAM imageType, HANDLE image)
{
    if (image == NULL) return; // the control keeps its old image
    HANDLE old = (HANDLE)SendDlgItemMessageW(dialog, id, STM_GETIMAGE, imageType, 0);
    SendDlgItemMessageW(dialog, id, STM_SETIMAGE, imageType, (LPARAM)image);
    if (old == NULL) return;
    if (imageType == IMAGE_ICON) {
        DestroyIcon((HICON)old);
    } else {
        DeleteObject((HGDIOBJ)old);
    }
}

static void refreshTextOrImage(HINSTANCE instance, HWND dialog, const TemplateReader* reader,
                               const TemplateItem* item, const TemplateField* title)
{
    if (title->kind != FIELD_ORDINAL) {
        WCHAR text[TEXT_LIMIT];
        copyFieldText(reader, title, text, TEXT_LIMIT);
        SetDlgItemTextW(dialog, item->id, text);
    } else if ((item->style & 0x3) == 0x3) {
        replaceImage(dialog, item->id, IMAGE_ICON, LoadIconW(instance, MAKEINTRESOURCEW(title->ordinal)));
    } else if ((item->style & 0xE) == 0xE) {
        replaceImage(dialog, item->id, IMAGE_BITMAP, LoadBitmapW(instance, MAKEINTRESOURCEW(title->ordinal)));
    }
}

// Sets the same selection again, so that it shows at the list's new size.
static void reselect(HWND dialog, WORD id, UINT getMessage, UINT setMessage)
{
    LRESULT selected = SendDlgItemMessageW(dialog, id, getMessage, 0, 0);
    if (selected != -1) SendDlgItemMessageW(dialog, id, setMessage, (WPARAM)selected, 0);
}

void refreshControlFromTemplate(HINSTANCE instance, HWND dialog, const TemplateReader* reader,
                                const TemplateItem* item, const TemplateField* classField,
                                const TemplateField* titleField)
{
    if (classField->kind != FIELD_ORDINAL) return; // a class given by name is moved, not refreshed
    switch (classField->ordinal) {
    case CLASS_BUTTON:
    case CLASS_STATIC:
        refreshTextOrImage(instance, dialog, reader, item, titleField);
        break;
    case CLASS_LISTBOX:
        reselect(dialog, item->id, LB_GETCURSEL, LB_SETCURSEL);
        break;
    case CLASS_COMBOBOX:
        reselect(dialog, item->id, CB_GETCURSEL, CB_SETCURSEL);
        break;
    }
}

// Adds the move of one control to the batch; FALSE ends the walk (the control or its rectangle is missing).
static BOOL deferItemMove(HWND dialog, const TemplateItem* item, HDWP* batch, bool* result)
{
    HWND control = GetDlgItem(dialog, item->id);
    if (control == NULL) return FALSE;
    RECT area;
    SetRect(&area, item->x, item->y, item->x + item->width, item->y + item->height);
    if (!MapDialogRect(dialog, &area)) return FALSE;
    HDWP next = DeferWindowPos(*batch, control, NULL, area.left, area.top, area.right - area.left,
                               area.bottom - area.top, SWP_NOZORDER);
    if (next == NULL) {
        *result = false;
    } else {
        *batch = next;
    }
    return TRUE;
}

bool relayoutDialog(HINSTANCE instance, HWND dialog, int templateId)
{
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL data = resource ? LoadResource(instance, resource) : NULL;
    if (data == NULL) return false;
    return relayoutDialogFromTemplate(instance, dialog, (const BYTE*)LockResource(data),
                                      SizeofResource(instance, resource));
}

bool relayoutDialogFromTemplate(HINSTANCE instance, HWND dialog, const BYTE* dialogTemplate, DWORD size)
{
    TemplateReader reader;
    reader.base = dialogTemplate;
    reader.size = size;
    reader.offset = 0;
    reader.failed = reader.base == NULL;

    WORD count = readHeader(&reader);
    if (reader.failed) return false; // too short to be a template: nothing changes
    HDWP batch = BeginDeferWindowPos(count);
    if (batch == NULL) return false;

    bool result = true;
    int noIdCount = 0;
    for (WORD i = 0; i < count; i++) {
        TemplateItem item;
        TemplateField classField;
        TemplateField titleField;
        alignToDword(&reader);
        readItem(&reader, &item);
        readField(&reader, &classField);
        readField(&reader, &titleField);
        DWORD dataStart = reader.offset;
        WORD dataSize = readWord(&reader);
        if (reader.failed || !deferItemMove(dialog, &item, &batch, &result)) {
            result = false;
            break;
        }
        refreshControlFromTemplate(instance, dialog, &reader, &item, &classField, &titleField);
        if (dataSize != 0) reader.offset = dataStart + dataSize;
        if (item.id == NO_ID) noIdCount++;
    }
    if (!EndDeferWindowPos(batch)) result = false;
    if (noIdCount >= 2) return false;
    return result;
}
