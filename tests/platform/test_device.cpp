// SPDX-License-Identifier: GPL-3.0-or-later
// The emulated device: screen geometry, navigation and menu bars, soft keys, accelerators, rotation,
// resources, and the frames the platform draws. Most cases drive the demo program.
#include "platform_test_support.h"

#include "demo_program.h"
#include "demo_resource.h"

#include <aygshell.h>
#include <kelvora_host.h>

using namespace kelvora;

namespace {

class DemoTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ASSERT_TRUE(demo_start(GetModuleHandleW(nullptr), SW_SHOW));
        pump_program();
    }

    // The demo's own loop until it waits: accelerators included, as in its WinMain.
    void pump_program()
    {
        HACCEL table = LoadAcceleratorsW(g_demo.instance, MAKEINTRESOURCEW(IDA_DEMO));
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            if (!TranslateAcceleratorW(msg.hwnd, table, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }

    std::vector<DemoCommand> commands(WORD id)
    {
        std::vector<DemoCommand> out;
        for (const auto& c : g_demo.commands)
            if (c.id == id)
                out.push_back(c);
        return out;
    }

    bool quit = false;
};

const COLORREF red = RGB(255, 0, 0);
const COLORREF blue = RGB(0, 0, 255);

} // namespace

TEST_F(DemoTest, WorkAreaMenuBarAndClientAreaInPortraitAndLandscape)
{
    struct Expect {
        int width, height;
    };
    for (Expect e : {Expect{240, 320}, Expect{320, 240}}) {
        SCOPED_TRACE(e.width);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), e.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), e.height);
        RECT work, client, window, bar;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_EQ(work.top, 26);
        EXPECT_EQ(work.bottom, e.height);
        GetClientRect(g_demo.main, &client);
        EXPECT_EQ(client.right, e.width);
        EXPECT_EQ(client.bottom, e.height - 52); // 268 in portrait, 188 in landscape
        GetWindowRect(g_demo.main, &window);
        EXPECT_EQ(window.top, 26);
        GetWindowRect(g_demo.menu_bar, &bar);
        EXPECT_EQ(bar.top, e.height - 26);
        EXPECT_EQ(bar.right, e.width);
        // Pixels: navigation bar on top, the program's white client, the menu bar at the bottom.
        EXPECT_EQ(screen(e.width - 2, 12), RGB(10, 61, 143));
        EXPECT_EQ(screen(e.width - 2, 27), RGB(255, 255, 255));
        EXPECT_EQ(screen(e.width - 2, e.height - 27), RGB(255, 255, 255));
        EXPECT_NE(screen(e.width / 2 - 1, e.height - 10), RGB(255, 255, 255));
        device::key(VK_F9);
        pump_program();
    }
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240); // turned twice: portrait again
}

TEST_F(DemoTest, LeftSoftKeyByTapAndByF1SendsItsCommandWithCodeZero)
{
    device::tap(60, 310);
    pump_program();
    auto ok = commands(IDM_DEMO_OK);
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_EQ(ok[0].code, 0);
    EXPECT_EQ(ok[0].window, g_demo.main);
    EXPECT_TRUE(quit); // the demo ends on its OK
}

TEST_F(DemoTest, RightButtonOpensTheMenuAndAnItemDeliversItsId)
{
    device::tap(200, 310);
    pump_program();
    // The pop-up sits above the bar; its first item is "Red".
    device::tap(200, 320 - 26 - 60);
    pump_program();
    ASSERT_EQ(commands(IDM_DEMO_RED).size(), 1u);
    EXPECT_EQ(commands(IDM_DEMO_RED)[0].code, 0);
    EXPECT_EQ(screen(100, 200), red);
}

TEST_F(DemoTest, MenuByKeysFirstItemHighlightedUpDownEnterEscape)
{
    struct Case {
        const char* name;
        std::vector<UINT> keys;
        int expected_id; // 0: nothing chosen
    };
    const Case cases[] = {
        {"EnterChoosesTheFirstItem", {VK_RETURN}, IDM_DEMO_RED},
        {"DownMovesToTheSecond", {VK_DOWN, VK_RETURN}, IDM_DEMO_BLUE},
        {"SeparatorIsSkipped", {VK_DOWN, VK_DOWN, VK_RETURN}, IDM_DEMO_SECOND},
        {"UpWrapsToTheLast", {VK_UP, VK_RETURN}, IDM_DEMO_SECOND},
        {"EscapeClosesWithoutCommand", {VK_ESCAPE, VK_RETURN}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_demo.commands.clear();
        device::key(VK_F2);
        for (UINT k : c.keys)
            device::key(k);
        pump_program();
        std::vector<WORD> menu_ids;
        for (const auto& cmd : g_demo.commands)
            if (cmd.id >= IDM_DEMO_RED && cmd.id <= IDM_DEMO_SECOND)
                menu_ids.push_back(cmd.id);
        if (c.expected_id == 0) {
            EXPECT_TRUE(menu_ids.empty());
        } else {
            ASSERT_EQ(menu_ids.size(), 1u);
            EXPECT_EQ(menu_ids[0], c.expected_id);
        }
        if (IsWindow(g_demo.second)) {
            SendMessageW(g_demo.second, WM_COMMAND, IDM_DEMO_OK, 0);
            pump_program();
        }
    }
}

TEST_F(DemoTest, TapOutsideAnOpenMenuClosesItAndReachesNoWindow)
{
    device::key(VK_F2);
    pump_program();
    int clicks = g_demo.clicks;
    device::tap(20, 100);
    pump_program();
    EXPECT_EQ(g_demo.clicks, clicks);
    device::tap(20, 100);
    pump_program();
    EXPECT_EQ(g_demo.clicks, clicks + 1);
}

TEST_F(DemoTest, AcceleratorGoesToTheWindowTheKeyWasAddressedToWithCodeOne)
{
    SetFocus(g_demo.child);
    device::key('B', true);
    pump_program();
    auto accel = commands(IDM_DEMO_ACCEL);
    ASSERT_EQ(accel.size(), 1u);
    EXPECT_EQ(accel[0].code, 1);
    EXPECT_EQ(accel[0].window, g_demo.child);
    EXPECT_TRUE(g_demo.child_typed.empty()); // translated keys make no WM_CHAR
    SetFocus(g_demo.main);
    device::key('R', true);
    device::key('R'); // without Ctrl: not an accelerator
    pump_program();
    ASSERT_EQ(commands(IDM_DEMO_RED).size(), 1u);
    EXPECT_EQ(commands(IDM_DEMO_RED)[0].window, g_demo.main);
    EXPECT_EQ(commands(IDM_DEMO_RED)[0].code, 1);
}

TEST_F(DemoTest, SecondWindowTakesTheBarAndTitleAndGivesThemBack)
{
    SendMessageW(g_demo.main, WM_COMMAND, IDM_DEMO_SECOND, 0);
    pump_program();
    ASSERT_TRUE(IsWindow(g_demo.second));
    EXPECT_EQ(GetActiveWindow(), g_demo.second);
    RECT client;
    GetClientRect(g_demo.second, &client);
    EXPECT_EQ(client.bottom, 268);
    auto tops = device::top_level_windows();
    ASSERT_EQ(tops.size(), 2u);
    EXPECT_EQ(tops[0].title, L"Second");
    device::key(VK_F1); // the left soft key now belongs to the second window
    pump_program();
    EXPECT_FALSE(IsWindow(g_demo.second));
    EXPECT_EQ(GetActiveWindow(), g_demo.main);
    EXPECT_FALSE(quit);
    device::tap(60, 310);
    pump_program();
    EXPECT_TRUE(quit);
}

TEST_F(DemoTest, RotationResizesCoveringWindowsAndSendsSettingChangeToAll)
{
    SendMessageW(g_demo.main, WM_COMMAND, IDM_DEMO_SECOND, 0);
    pump_program();
    device::rotate();
    pump_program();
    for (HWND w : {g_demo.main, g_demo.second}) {
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(r.right, 320);
        EXPECT_EQ(r.bottom, 240 - 26);
    }
    device::rotate();
    pump_program();
    RECT r;
    GetClientRect(g_demo.main, &r);
    EXPECT_EQ(r.bottom, 268);
}

TEST_F(DemoTest, HostCloseAsksThroughTheLeftSoftKeyUnlessAModalDialogDisablesTheWindow)
{
    EnableWindow(g_demo.main, FALSE);
    device::host_close();
    pump_program();
    EXPECT_TRUE(commands(IDM_DEMO_OK).empty());
    EnableWindow(g_demo.main, TRUE);
    device::host_close();
    pump_program();
    EXPECT_EQ(commands(IDM_DEMO_OK).size(), 1u);
}

TEST_F(PlatformTest, HostCloseWhileAModalDialogRunsBringsThatDialogForward)
{
    HWND main = top_level(WS_VISIBLE, L"Main");
    HWND dialog = CreateWindowExW(0, L"LogWindow", L"Dialog", WS_POPUP | WS_VISIBLE, 20, 60, 200, 100, main, nullptr,
                                  nullptr, nullptr);
    EnableWindow(main, FALSE); // as a modal loop does
    HWND other = top_level(WS_VISIBLE, L"Other");
    device::pump();
    ASSERT_EQ(device::top_level_windows().front().hwnd, other);
    message_log().clear();
    device::host_close();
    device::pump();
    EXPECT_EQ(device::top_level_windows().front().hwnd, dialog);
    EXPECT_EQ(GetForegroundWindow(), dialog);
    EXPECT_EQ(count_logged(WM_COMMAND, main) + count_logged(WM_CLOSE, main), 0);
    EXPECT_TRUE(IsWindow(main));
}

TEST_F(DemoTest, IconBitmapAndBorderedChildOnScreen)
{
    // Icon at (16, 100) of the client: blue body, the transparent 4 x 4 corner shows the background.
    EXPECT_EQ(screen(16 + 20, 26 + 100 + 5), RGB(10, 60, 200));
    EXPECT_EQ(screen(16 + 1, 26 + 100 + 1), RGB(255, 255, 255));
    // Bitmap at (60, 100): red then green.
    EXPECT_EQ(screen(61, 126), RGB(255, 0, 0));
    EXPECT_EQ(screen(66, 126), RGB(0, 255, 0));
    // The child with WS_BORDER: a one-pixel frame around a 58 x 38 client.
    RECT client;
    GetClientRect(g_demo.child, &client);
    EXPECT_EQ(client.right, 58);
    EXPECT_EQ(client.bottom, 38);
    EXPECT_EQ(screen(140, 126), RGB(127, 127, 127));
    EXPECT_EQ(screen(141, 127), RGB(0, 160, 0));
}

TEST_F(PlatformTest, CaptionedPopupGetsACaptionBarAndFrameChangesRecomputeIt)
{
    HWND dlg = CreateWindowExW(WS_EX_CAPTIONOKBTN, L"LogWindow", L"Box", WS_POPUP | WS_CAPTION | WS_VISIBLE, 20, 60,
                               200, 100, nullptr, nullptr, nullptr, nullptr);
    device::pump();
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, 198);
    EXPECT_EQ(client.bottom, 100 - 2 - GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(screen(20, 60), RGB(0, 0, 0));     // frame
    EXPECT_EQ(screen(100, 62), RGB(10, 61, 143)); // caption bar
    // The navigation bar's "ok" sends IDOK to the dialog.
    device::tap(225, 13);
    device::pump();
    auto cmds = logged(WM_COMMAND, dlg);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(LOWORD(cmds[0].wParam), IDOK);
    SetWindowLongW(dlg, GWL_STYLE, GetWindowLongW(dlg, GWL_STYLE) & ~static_cast<LONG>(WS_CAPTION));
    SetWindowPos(dlg, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.bottom, 100);
    EXPECT_GE(count_logged(WM_SIZE, dlg), 2);
}

TEST_F(PlatformTest, ResourcesStringsIconsBitmapsAndMissingOnes)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    wchar_t text[16];
    EXPECT_EQ(LoadStringW(inst, IDS_DEMO_TITLE, text, 16), 4);
    EXPECT_EQ(std::wstring(text), L"Demo");
    EXPECT_EQ(LoadStringW(inst, IDS_DEMO_UNICODE, text, 16), 4);
    EXPECT_EQ(std::wstring(text), L"caf\u00e9");
    EXPECT_EQ(LoadStringW(inst, IDS_DEMO_TITLE, text, 3), 2); // truncated, zero-terminated
    EXPECT_EQ(std::wstring(text), L"De");
    EXPECT_EQ(LoadStringW(inst, 999, text, 16), 0);
    const wchar_t* direct = nullptr;
    EXPECT_EQ(LoadStringW(inst, IDS_DEMO_OK, reinterpret_cast<LPWSTR>(&direct), 0), 2);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(direct[0], L'O');
    EXPECT_NE(LoadIconW(inst, MAKEINTRESOURCEW(IDI_DEMO)), nullptr);
    EXPECT_EQ(LoadIconW(inst, MAKEINTRESOURCEW(999)), nullptr);
    HBITMAP bmp = LoadBitmapW(inst, MAKEINTRESOURCEW(IDB_DEMO));
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bmp, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 8);
    EXPECT_EQ(info.bmHeight, 4);
    DeleteObject(bmp);
    HRSRC menu = FindResourceW(inst, MAKEINTRESOURCEW(IDR_DEMO_MENUBAR), RT_RCDATA);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(SizeofResource(inst, menu), 2u * (2 + 2 * 7));
    EXPECT_EQ(FindResourceW(inst, L"NOSUCH", RT_RCDATA), nullptr);
    EXPECT_EQ(LoadAcceleratorsW(inst, MAKEINTRESOURCEW(77)), nullptr);
}

TEST_F(PlatformTest, MalformedResourceImagesAreRefusedWithoutReadingPastTheEnd)
{
    const unsigned char header_too_big[] = {0, 0, 0, 0, 0xFF, 0, 0, 0};
    const unsigned char data_too_big[] = {0xFF, 0xFF, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 10, 0, 0xFF, 0xFF, 1, 0,
                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const unsigned char unterminated_name[] = {0, 0, 0, 0, 16, 0, 0, 0, 'A', 0, 'B', 0, 'C', 0, 'D', 0};
    EXPECT_FALSE(kelvora_register_resources(header_too_big, sizeof header_too_big));
    EXPECT_FALSE(kelvora_register_resources(data_too_big, sizeof data_too_big));
    EXPECT_FALSE(kelvora_register_resources(unterminated_name, sizeof unterminated_name));
    EXPECT_FALSE(kelvora_register_resources(nullptr, 0));
}

TEST_F(PlatformTest, MenuBarFromAMissingResourceFailsAndAnEmptyBarIsAWindow)
{
    HWND w = top_level();
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = w;
    info.nToolBarId = 4321;
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_EQ(info.hwndMB, nullptr);
    info.dwFlags = SHCMBF_EMPTYBAR;
    ASSERT_TRUE(SHCreateMenuBar(&info));
    RECT bar;
    ASSERT_TRUE(GetWindowRect(info.hwndMB, &bar));
    EXPECT_EQ(bar.top, 320 - 26);
    EXPECT_EQ(device::top_level_windows().size(), 1u); // bars are not listed as windows
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(info.hwndMB)); // destroyed with its owner
}

TEST_F(PlatformTest, RotationBringsAPopupLeftOffTheScreenBackAndLeavesOthersInPlace)
{
    HWND low = CreateWindowExW(0, L"LogWindow", L"Low", WS_POPUP | WS_CAPTION | WS_VISIBLE, 7, 200, 226, 90, nullptr,
                               nullptr, nullptr, nullptr);
    HWND high = CreateWindowExW(0, L"LogWindow", L"High", WS_POPUP | WS_VISIBLE, 10, 30, 100, 50, nullptr, nullptr,
                                nullptr, nullptr);
    device::rotate();
    device::pump();
    RECT r;
    GetWindowRect(low, &r);
    EXPECT_EQ(r.left, (320 - 226) / 2);
    EXPECT_EQ(r.top, 26 + (240 - 26 - 90) / 2);
    EXPECT_EQ(r.bottom - r.top, 90);
    GetWindowRect(high, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(count_logged(WM_SETTINGCHANGE, low), 1);
}

// A device keeps nothing of the one before it: every handle made there is refused, even once the new
// device has made objects of its own in the same places, and the idle handler went with the old device.
TEST_F(PlatformTest, NewDeviceRefusesWhatTheOldOneMadeAndForgetsItsIdleHandler)
{
    struct Kept {
        const char* what;
        std::function<bool()> still_works; // on the new device
    };
    HWND window = top_level(WS_VISIBLE, L"Old");
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HDC dc = GetDC(window);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DEMO));
    HACCEL accelerators = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_DEMO));
    ASSERT_TRUE(window && brush && dc && icon && accelerators);
    int old_handler_calls = 0;
    kelvora::device::set_idle_handler([&] { return ++old_handler_calls, false; });

    kelvora::device::start_headless();
    // The same things again on the new device, in the same slots of its tables.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"LogWindow";
    ASSERT_NE(RegisterClassW(&wc), 0); // the old device's classes went with it
    HWND new_window = top_level(WS_VISIBLE, L"New");
    HBRUSH new_brush = CreateSolidBrush(RGB(1, 2, 3));
    HDC new_dc = GetDC(new_window);
    ASSERT_TRUE(new_window && new_brush && new_dc);
    const Kept kept[] = {
        {"window", [&] { return IsWindow(window) != FALSE; }},
        {"brush", [&] { return SelectObject(new_dc, brush) != nullptr; }},
        {"dc", [&] { return ReleaseDC(window, dc) != 0; }},
        {"icon", [&] { return DrawIcon(new_dc, 0, 0, icon) != FALSE; }},
        {"accelerators", [&] { return DestroyAcceleratorTable(accelerators) != FALSE; }},
    };
    for (const Kept& k : kept)
        EXPECT_FALSE(k.still_works()) << k.what;
    EXPECT_NE(window, new_window);
    EXPECT_NE(brush, new_brush);
    kelvora::device::pump();
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE); // no handler on this device: the loop ends
    EXPECT_EQ(old_handler_calls, 0);
}

// Stopping the device frees what it held at once, not at the next start.
TEST_F(PlatformTest, StoppedDeviceHoldsNothing)
{
    HWND window = top_level(WS_VISIBLE, L"Gone");
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(window && brush);
    kelvora::device::stop();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_TRUE(kelvora::device::top_level_windows().empty());
}

// The menu bar is a window of its own class, kept out of the program's windows; its handlers take the
// stylus (in its client coordinates) and the soft keys as messages, like any control's.
TEST_F(DemoTest, MenuBarHandlesTheStylusAndSoftKeysAsItsOwnMessages)
{
    HWND bar = g_demo.menu_bar;
    wchar_t name[32] = {};
    ASSERT_GT(GetClassNameW(bar, name, 32), 0);
    EXPECT_STREQ(name, L"menu_worker");
    for (const auto& w : device::top_level_windows())
        EXPECT_NE(w.hwnd, bar);
    RECT r{};
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.top, 320 - 26);
    // The left button, pressed and released on it: the owner gets its command once the queue runs.
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 10));
    EXPECT_TRUE(commands(IDM_DEMO_OK).empty());
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(60, 10));
    pump_program();
    ASSERT_EQ(commands(IDM_DEMO_OK).size(), 1u);
    EXPECT_EQ(commands(IDM_DEMO_OK)[0].window, g_demo.main);
}

TEST_F(DemoTest, MenuBarOpensItsMenuByF2AndTakesItAlongWhenDestroyed)
{
    const COLORREF behind = screen(200, 320 - 26 - 60);
    SendMessageW(g_demo.menu_bar, WM_KEYDOWN, VK_F2, 0);
    EXPECT_NE(screen(200, 320 - 26 - 60), behind); // the pop-up above the bar
    DestroyWindow(g_demo.menu_bar);
    pump_program();
    EXPECT_EQ(screen(200, 320 - 26 - 60), behind);
    device::key(VK_DOWN); // no menu left to take the keys
    device::key(VK_RETURN);
    pump_program();
    EXPECT_TRUE(commands(IDM_DEMO_RED).empty());
}
