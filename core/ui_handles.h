// SPDX-License-Identifier: GPL-3.0-or-later
// Handles of the user interface kept in the state record: the instance, the windows, their controls
// and, per top-level window, its menu bar and shell activation record.
#ifndef KELVORA_UI_HANDLES_H
#define KELVORA_UI_HANDLES_H

#include <windows.h>
#include <aygshell.h>

// Top-level windows open at once (the main window and any number of selection and results windows);
// a window created beyond this gets no menu bar, as if the shell had refused one.
#define FRAME_CAPACITY 32

struct FrameRecord {
    HWND window;
    HWND menuBar;
    SHACTIVATEINFO activation;
};

struct UiHandles {
    HINSTANCE instance;
    HWND mainWindow;
    HWND selectionWindow;
    HWND resultsWindow;
    HWND countField;
    HWND xField;
    HWND yField;
    HWND upButton;
    HWND downButton;
    HWND enterButton;
    HWND functionButton;
    HWND calculateButton;
    FrameRecord frames[FRAME_CAPACITY];
};

#endif
