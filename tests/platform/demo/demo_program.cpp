// SPDX-License-Identifier: GPL-3.0-or-later
// A small program for the platform: a main window with a menu bar, a bordered child, a second top-level
// window, painting, an icon, a bitmap and an accelerator. kelvora-replay-demo and the tests drive it.
#include "demo_program.h"

#include "demo_resource.h"

#include <aygshell.h>
#include <windows.h>

DemoState g_demo;

namespace {

const wchar_t main_class[] = L"DEMO";
const wchar_t child_class[] = L"DemoChild";
const wchar_t second_class[] = L"DemoSecond";

HWND create_menu_bar(HWND window)
{
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = window;
    info.nToolBarId = IDR_DEMO_MENUBAR;
    info.hInstRes = g_demo.instance;
    return SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
}

void fit_below_menu_bar(HWND window, HWND bar)
{
    RECT r, m;
    if (!bar || !GetWindowRect(window, &r) || !GetWindowRect(bar, &m))
        return;
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top - (m.bottom - m.top), FALSE);
}

void paint_main(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(g_demo.colour);
    FillRect(dc, &client, background);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, 10, 10, 110, 60);
    MoveToEx(dc, 10, 70, nullptr);
    LineTo(dc, 230, 70);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    DeleteObject(pen);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    RECT text{120, 10, client.right, 30};
    wchar_t line[64];
    wsprintf_demo(line, 64, L"Clicks: %d", g_demo.clicks);
    DrawTextW(dc, line, -1, &text, DT_SINGLELINE | DT_LEFT | DT_TOP);
    HICON icon = LoadIconW(g_demo.instance, MAKEINTRESOURCEW(IDI_DEMO));
    DrawIcon(dc, 16, 100, icon);
    HBITMAP bitmap = LoadBitmapW(g_demo.instance, MAKEINTRESOURCEW(IDB_DEMO));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
    BitBlt(dc, 60, 100, 8, 4, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old_bitmap);
    DeleteDC(memory);
    DeleteObject(bitmap);
    EndPaint(window, &ps);
}

LRESULT CALLBACK main_proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        g_demo.menu_bar = create_menu_bar(window);
        return 0;
    case WM_ACTIVATE:
        SHHandleWMActivate(window, wParam, lParam, &g_demo.activation, 0);
        return 0;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(window, wParam, lParam, &g_demo.activation);
        return 0;
    case WM_PAINT: paint_main(window); return 0;
    case WM_LBUTTONDOWN:
        ++g_demo.clicks;
        g_demo.last_click = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_CHAR:
        g_demo.typed.push_back(static_cast<wchar_t>(wParam));
        return 0;
    case WM_COMMAND:
        g_demo.commands.push_back({LOWORD(wParam), HIWORD(wParam), window});
        switch (LOWORD(wParam)) {
        case IDM_DEMO_OK: DestroyWindow(window); return 0;
        case IDM_DEMO_RED: g_demo.colour = RGB(255, 0, 0); InvalidateRect(window, nullptr, TRUE); return 0;
        case IDM_DEMO_BLUE: g_demo.colour = RGB(0, 0, 255); InvalidateRect(window, nullptr, TRUE); return 0;
        case IDM_DEMO_SECOND: demo_open_second_window(); return 0;
        }
        break;
    case WM_DESTROY:
        if (g_demo.menu_bar)
            DestroyWindow(g_demo.menu_bar);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK child_proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
        FillRect(dc, &client, green);
        DeleteObject(green);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_CHAR:
        g_demo.child_typed.push_back(static_cast<wchar_t>(wParam));
        return 0;
    case WM_LBUTTONDOWN: SetFocus(window); return 0;
    case WM_COMMAND:
        g_demo.commands.push_back({LOWORD(wParam), HIWORD(wParam), window});
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK second_proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        g_demo.second_bar = create_menu_bar(window);
        return 0;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(window, wParam, lParam, &g_demo.second_activation);
        return 0;
    case WM_COMMAND:
        g_demo.commands.push_back({LOWORD(wParam), HIWORD(wParam), window});
        if (LOWORD(wParam) == IDM_DEMO_OK) {
            DestroyWindow(g_demo.second_bar);
            DestroyWindow(window);
        }
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

bool register_class(const wchar_t* name, WNDPROC proc)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_demo.instance;
    wc.hIcon = LoadIconW(g_demo.instance, MAKEINTRESOURCEW(IDI_DEMO));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

} // namespace

void wsprintf_demo(wchar_t* buffer, int size, const wchar_t* format, int value)
{
    swprintf(buffer, static_cast<size_t>(size), format, value);
}

HWND demo_open_second_window()
{
    wchar_t title[] = L"Second";
    g_demo.second = CreateWindowExW(0, second_class, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, g_demo.instance, nullptr);
    fit_below_menu_bar(g_demo.second, g_demo.second_bar);
    return g_demo.second;
}

bool demo_start(HINSTANCE instance, int show)
{
    g_demo = DemoState{};
    g_demo.instance = instance;
    g_demo.activation.cbSize = sizeof g_demo.activation;
    wchar_t title[32];
    LoadStringW(instance, IDS_DEMO_TITLE, title, 32);
    if (!register_class(main_class, main_proc) || !register_class(child_class, child_proc) ||
        !register_class(second_class, second_proc))
        return false;
    g_demo.main = CreateWindowExW(0, main_class, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!g_demo.main)
        return false;
    fit_below_menu_bar(g_demo.main, g_demo.menu_bar);
    g_demo.child = CreateWindowExW(0, child_class, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 140, 100, 60, 40,
                                   g_demo.main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(500)), instance, nullptr);
    ShowWindow(g_demo.main, show);
    UpdateWindow(g_demo.main);
    return true;
}

int demo_run_loop()
{
    HACCEL table = LoadAcceleratorsW(g_demo.instance, MAKEINTRESOURCEW(IDA_DEMO));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (!TranslateAcceleratorW(msg.hwnd, table, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
    if (!demo_start(instance, show))
        return 0;
    return demo_run_loop();
}
