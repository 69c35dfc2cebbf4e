// SPDX-License-Identifier: GPL-3.0-or-later
// Moving the controls of a running dialog to the places another classic dialog template gives them.
#ifndef KELVORA_DIALOG_RELAYOUT_H
#define KELVORA_DIALOG_RELAYOUT_H

#include <windows.h>

// One variable-length field of a template: none, an ordinal, or a text at an offset of the template.
#define FIELD_NONE 0
#define FIELD_ORDINAL 1
#define FIELD_TEXT 2

struct TemplateField {
    int kind;
    WORD ordinal;
    DWORD textOffset;
    DWORD textLength;
};

// A template being read; every read is checked against its size.
struct TemplateReader {
    const BYTE* base;
    DWORD size;
    DWORD offset;
    BOOL failed;
};

struct TemplateItem {
    DWORD style;
    short x;
    short y;
    short width;
    short height;
    WORD id;
};

bool relayoutDialog(HINSTANCE instance, HWND dialog, int templateId);
// The same walk over the `size` bytes of a template held in memory (the resource's, or any other).
bool relayoutDialogFromTemplate(HINSTANCE instance, HWND dialog, const BYTE* dialogTemplate, DWORD size);
void refreshControlFromTemplate(HINSTANCE instance, HWND dialog, const TemplateReader* reader,
                                const TemplateItem* item, const TemplateField* classField,
                                const TemplateField* titleField);

#endif
