// SPDX-License-Identifier: GPL-3.0-or-later
// The About box, which fills the screen and takes the layout of the template that fits its orientation.
#ifndef KELVORA_ABOUT_DIALOG_H
#define KELVORA_ABOUT_DIALOG_H

#include <windows.h>

void openAboutDialog(HWND mainWindow);
INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
bool relayoutDialog(HINSTANCE instance, HWND dialog, int templateId);

#endif
