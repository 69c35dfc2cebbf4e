// SPDX-License-Identifier: GPL-3.0-or-later
// Creating and moving child controls from a window's control table.
#include "control_table.h"

#include "app_state.h"

void controlRect(const ControlRow* row, const RECT* client, RECT* place)
{
    int width = client->right;
    int height = client->bottom;
    int x = row->x + ((row->follow & FOLLOW_RIGHT) ? width : 0);
    int y = row->y + ((row->follow & FOLLOW_BOTTOM) ? height : 0);
    int controlWidth = row->width + ((row->follow & STRETCH_WIDTH) ? width : 0);
    int controlHeight = row->height + ((row->follow & STRETCH_HEIGHT) ? height : 0);
    SetRect(place, x, y, x + controlWidth, y + controlHeight);
}

void createControls(HWND parent, const ControlRow* rows, int count)
{
    RECT client;
    GetClientRect(parent, &client);
    for (int i = 0; i < count; i++) {
        const ControlRow* row = &rows[i];
        RECT place;
        controlRect(row, &client, &place);
        HWND control = CreateWindowExW(0, row->className, row->text, row->style, place.left, place.top,
                                       place.right - place.left, place.bottom - place.top, parent,
                                       (HMENU)(UINT_PTR)row->id, g_app.ui.instance, NULL);
        if (row->handle != NULL) *row->handle = control;
    }
}

void layoutControls(HWND parent, const ControlRow* rows, int count)
{
    RECT client;
    GetClientRect(parent, &client);
    for (int i = 0; i < count; i++) {
        const ControlRow* row = &rows[i];
        if (row->follow == 0) continue;
        RECT place;
        controlRect(row, &client, &place);
        MoveWindow(GetDlgItem(parent, row->id), place.left, place.top, place.right - place.left,
                   place.bottom - place.top, TRUE);
    }
}

void layoutControlsIn(HWND parent, const ControlRow* rows, int count, const RECT* area)
{
    RECT size;
    SetRect(&size, 0, 0, area->right - area->left, area->bottom - area->top);
    for (int i = 0; i < count; i++) {
        const ControlRow* row = &rows[i];
        RECT place;
        controlRect(row, &size, &place);
        OffsetRect(&place, area->left, area->top);
        MoveWindow(GetDlgItem(parent, row->id), place.left, place.top, place.right - place.left,
                   place.bottom - place.top, TRUE);
    }
}
