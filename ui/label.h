// SPDX-License-Identifier: GPL-3.0-or-later
// One line of text drawn at an offset in a window's client area, shared by every window that writes labels.
#ifndef KELVORA_LABEL_H
#define KELVORA_LABEL_H

#include <windows.h>

void drawLabel(HWND window, HDC dc, int dx, int dy, LPCWSTR text);

#endif
