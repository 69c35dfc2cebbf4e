// SPDX-License-Identifier: GPL-3.0-or-later
// The data-entry window: count, X and Y fields, five buttons, labels and the position bar.
#ifndef KELVORA_MAIN_WINDOW_H
#define KELVORA_MAIN_WINDOW_H

#include <windows.h>

LRESULT CALLBACK MainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void createEntryControls(HWND mainWindow);
void layoutEntryButtons(HWND mainWindow);
void refreshEntryFields(HWND window);
void storeEntryFields();
void paintMainWindow(HWND window);
BOOL translateEntryKey(const MSG* msg);

#endif
