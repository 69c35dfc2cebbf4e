// SPDX-License-Identifier: GPL-3.0-or-later
// Labels: one line of text, left- and top-aligned at (dx, dy) of the client area and clipped at its right
// and bottom edges, in whatever font, colour and background mode the caller chose.
#include "label.h"

void drawLabel(HWND window, HDC dc, int dx, int dy, LPCWSTR text)
{
    RECT area;
    GetClientRect(window, &area);
    area.left += dx;
    area.top += dy;
    DrawTextW(dc, text, -1, &area, DT_SINGLELINE);
}
