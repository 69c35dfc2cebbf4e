// SPDX-License-Identifier: GPL-3.0-or-later
// The frame shared by the three top-level windows: menu bar, activation, setting changes, closing.
#ifndef KELVORA_FRAME_H
#define KELVORA_FRAME_H

#include <windows.h>

LRESULT onFrameCreate(HWND window);
LRESULT onFrameActivate(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT onFrameSettingChange(HWND window, WPARAM wParam, LPARAM lParam);
void fitBelowMenuBar(HWND window);
LRESULT closeSecondaryWindow(HWND window);
void destroyFrameMenuBar(HWND window);

#endif
