// SPDX-License-Identifier: GPL-3.0-or-later
// Child controls of a window described by one table: what each control is and where it sits, relative to
// the edges of the client area. The same rows create the controls and move them when the client changes.
#ifndef KELVORA_CONTROL_TABLE_H
#define KELVORA_CONTROL_TABLE_H

#include <windows.h>

// Without a flag a coordinate is fixed: x and y from the left and top edges, width and height as given.
// With one, the client's width or height is added, so the control keeps its distance to the right or
// bottom edge, or grows with the client.
#define FOLLOW_RIGHT 0x01
#define FOLLOW_BOTTOM 0x02
#define STRETCH_WIDTH 0x04
#define STRETCH_HEIGHT 0x08

struct ControlRow {
    int id;
    LPCWSTR className;
    LPCWSTR text;
    DWORD style;
    int x;
    int y;
    int width;
    int height;
    UINT follow;
    HWND* handle; // where the state record keeps the control's handle, or NULL
};

#define ROW_COUNT(rows) ((int)(sizeof(rows) / sizeof((rows)[0])))

// The control's rectangle in the client area whose size is client.right by client.bottom.
void controlRect(const ControlRow* row, const RECT* client, RECT* place);

// Creates the controls in table order (which is also their z-order and tab order).
void createControls(HWND parent, const ControlRow* rows, int count);

// Moves the controls that follow an edge of the client area; fixed ones stay where they are.
void layoutControls(HWND parent, const ControlRow* rows, int count);

// Moves every control to its place in a layout of area's size whose top-left corner is at area's
// top-left in the client area (above it when the window is scrolled down).
void layoutControlsIn(HWND parent, const ControlRow* rows, int count, const RECT* area);

#endif
