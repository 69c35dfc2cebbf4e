// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the single-instance rule, the window classes, the main window and the message loop.
#include <windows.h>
#include <aygshell.h>

#include "app_state.h"
#include "frame.h"
#include "kelvora.h"
#include "main_window.h"
#include "resource.h"
#include "results_window.h"
#include "selection_window.h"

#define NAME_CAPACITY 100

BOOL registerWindowClass(HINSTANCE instance, LPCWSTR className, WNDPROC procedure)
{
    WNDCLASSW windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KELVORA));
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = className;
    return RegisterClassW(&windowClass) != 0;
}

bool initInstance(HINSTANCE instance, int showCommand)
{
    WCHAR title[NAME_CAPACITY];
    WCHAR className[NAME_CAPACITY];

    g_app.ui.instance = instance;
    SHInitExtraControls();
    LoadStringW(instance, IDS_APP_TITLE, title, NAME_CAPACITY);
    LoadStringW(instance, IDS_APP_CLASS, className, NAME_CAPACITY);

    // Only one copy runs: a second start brings the first one forward and ends.
    HWND running = FindWindowW(className, title);
    if (running != NULL) {
        SetForegroundWindow((HWND)((ULONG_PTR)running | 1));
        return false;
    }

    if (!registerWindowClass(instance, className, MainWindow)) return false;
    HWND mainWindow = CreateWindowExW(0, className, title, WS_VISIBLE | WS_VSCROLL, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    if (mainWindow == NULL) return false;
    g_app.ui.mainWindow = mainWindow;
    fitBelowMenuBar(mainWindow);

    if (!registerWindowClass(instance, L"CaseF", SelectionWindow)) return false;
    if (!registerWindowClass(instance, RESULTS_CLASS_NAME, ResultsWindow)) return false;

    createEntryControls(mainWindow);
    refreshEntryFields(mainWindow);
    ShowWindow(mainWindow, showCommand);
    UpdateWindow(mainWindow);
    return true;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    if (!initInstance(instance, showCommand)) return 0;

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0)) {
        if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg) && !translateEntryKey(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return (int)msg.wParam;
}
