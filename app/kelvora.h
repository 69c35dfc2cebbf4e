// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the program.
#ifndef KELVORA_KELVORA_H
#define KELVORA_KELVORA_H

#include <windows.h>

bool initInstance(HINSTANCE instance, int showCommand);

// Registers one of the program's window classes: its procedure, the program's icon, a white background.
BOOL registerWindowClass(HINSTANCE instance, LPCWSTR className, WNDPROC procedure);

#endif
