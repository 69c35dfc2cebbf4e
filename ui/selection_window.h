// SPDX-License-Identifier: GPL-3.0-or-later
// The model selection window ("F(x):") and the exponent dialog of the power model.
#ifndef KELVORA_SELECTION_WINDOW_H
#define KELVORA_SELECTION_WINDOW_H

#include <windows.h>

LRESULT CALLBACK SelectionWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ExponentDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void openSelectionWindow();
void createModelList(HWND window);
void layoutModelList(HWND window);
void paintSelectionWindow(HWND window);
void confirmModelChoice(HWND window);
void openExponentDialog(HWND owner);

#endif
