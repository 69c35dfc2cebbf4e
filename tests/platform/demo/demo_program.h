// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's demo program: its state, visible to the tests that drive it.
#pragma once
#include <aygshell.h>
#include <windows.h>

#include <string>
#include <vector>

struct DemoCommand {
    WORD id;
    WORD code;
    HWND window;
};

struct DemoState {
    HINSTANCE instance = nullptr;
    HWND main = nullptr;
    HWND menu_bar = nullptr;
    HWND child = nullptr;
    HWND second = nullptr;
    HWND second_bar = nullptr;
    SHACTIVATEINFO activation{};
    SHACTIVATEINFO second_activation{};
    COLORREF colour = RGB(255, 255, 255);
    int clicks = 0;
    POINT last_click{};
    std::wstring typed;
    std::wstring child_typed;
    std::vector<DemoCommand> commands;
};

extern DemoState g_demo;

// Registers the classes and creates the main window (what WinMain does before its loop).
bool demo_start(HINSTANCE instance, int show);
int demo_run_loop();
HWND demo_open_second_window();
void wsprintf_demo(wchar_t* buffer, int size, const wchar_t* format, int value);
