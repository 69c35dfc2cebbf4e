// SPDX-License-Identifier: GPL-3.0-or-later
// Window manager and message semantics that the program relies on.
#include "platform_test_support.h"

#include <aygshell.h>

#include "shell/instance_registry.h"

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvora;

namespace {

int index_of(UINT msg, HWND hwnd)
{
    const auto& log = message_log();
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].msg == msg && log[i].hwnd == hwnd)
            return static_cast<int>(i);
    return -1;
}

} // namespace

TEST_F(PlatformTest, CreateDeliversCreateBeforeReturningAndSendRunsTheHandlerAtOnce)
{
    HWND seen_in_create = nullptr;
    int answer_seen = 0;
    set_hook([&](HWND h, UINT m, WPARAM w, LPARAM, LRESULT* r) {
        if (m == WM_CREATE)
            seen_in_create = h;
        if (m == WM_USER + 7) {
            answer_seen = static_cast<int>(w);
            *r = 42;
            return true;
        }
        return false;
    });
    HWND w = top_level();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(seen_in_create, w);
    EXPECT_EQ(SendMessageW(w, WM_USER + 7, 5, 0), 42);
    EXPECT_EQ(answer_seen, 5);
}

TEST_F(PlatformTest, CreateFailsWhenCreateReturnsMinusOneAndForUnknownClassOrParent)
{
    set_hook([](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m == WM_CREATE) {
            *r = -1;
            return true;
        }
        return false;
    });
    EXPECT_EQ(top_level(), nullptr);
    EXPECT_TRUE(device::top_level_windows().empty());
    set_hook(nullptr);
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateWindowExW(0, L"LogWindow", L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(PlatformTest, PostedMessagesWaitForTheLoopInOrder)
{
    HWND w = top_level();
    PostMessageW(w, WM_USER + 1, 1, 0);
    PostMessageW(w, WM_USER + 2, 2, 0);
    EXPECT_EQ(count_logged(WM_USER + 1), 0);
    device::pump();
    ASSERT_EQ(count_logged(WM_USER + 1), 1);
    EXPECT_LT(index_of(WM_USER + 1, w), index_of(WM_USER + 2, w));
}

TEST_F(PlatformTest, MessagesToDestroyedWindowsAreDroppedWhereverTheyStandInTheQueue)
{
    // 'S' a message to a window destroyed before the loop runs, 'L' one to a live window.
    for (const char* order : {"SSL", "LSS", "SLS", "SSLSL"}) {
        HWND live = top_level(WS_VISIBLE, L"Live");
        HWND gone = top_level(WS_VISIBLE, L"Gone");
        int live_count = 0;
        for (const char* c = order; *c; ++c) {
            PostMessageW(*c == 'L' ? live : gone, WM_USER + 7, 0, 0);
            live_count += *c == 'L';
        }
        DestroyWindow(gone);
        message_log().clear();
        MSG msg;
        for (int i = 0; i < live_count; ++i) {
            ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_REMOVE)) << order;
            EXPECT_EQ(msg.hwnd, live) << order;
        }
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_REMOVE)) << order;
        DestroyWindow(live);
    }
}

TEST_F(PlatformTest, DefWindowProcDestroysAtCloseParentDestroyBeforeChildren)
{
    HWND w = top_level();
    HWND c = child(w, 1, RECT{0, 0, 10, 10});
    HWND grandchild = child(c, 2, RECT{0, 0, 5, 5});
    message_log().clear();
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindow(c));
    EXPECT_FALSE(IsWindow(grandchild));
    int parent_destroy = index_of(WM_DESTROY, w);
    ASSERT_GE(parent_destroy, 0);
    EXPECT_LT(parent_destroy, index_of(WM_DESTROY, c));
    EXPECT_LT(index_of(WM_DESTROY, c), index_of(WM_DESTROY, grandchild));
    EXPECT_LT(index_of(WM_DESTROY, grandchild), index_of(WM_NCDESTROY, w));
}

TEST_F(PlatformTest, DestroyingAWindowFromItsOwnDestroyIsHarmless)
{
    HWND w = top_level();
    set_hook([](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m == WM_DESTROY) {
            EXPECT_FALSE(DestroyWindow(h));
        }
        return false;
    });
    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_EQ(count_logged(WM_NCDESTROY, w), 1);
}

TEST_F(PlatformTest, QuitEndsTheLoopWithItsCode)
{
    HWND w = top_level();
    PostMessageW(w, WM_USER, 0, 0);
    PostQuitMessage(7);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0)); // posted messages come before the quit
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(PlatformTest, WaitingWithNoInputEverEndsTheLoopInsteadOfHanging)
{
    top_level();
    device::pump();
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
}

TEST_F(PlatformTest, NestedLoopRunsInsideAHandlerAndSeesLaterInput)
{
    HWND w = top_level();
    device::pump();
    bool inner_got_char = false;
    set_hook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m != WM_USER)
            return false;
        // A modal loop as dialogs run it: until a character arrives.
        MSG msg;
        while (!inner_got_char && GetMessageW(&msg, nullptr, 0, 0)) {
            if (msg.message == WM_CHAR && msg.hwnd == h)
                inner_got_char = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return true;
    });
    int idle_calls = 0;
    device::set_idle_handler([&] {
        ++idle_calls;
        device::type(L"z");
        return idle_calls < 5;
    });
    PostMessageW(w, WM_USER, 0, 0);
    device::pump();
    EXPECT_TRUE(inner_got_char);
    EXPECT_EQ(idle_calls, 1);
}

TEST_F(PlatformTest, ActivationMovesWithCreationTapsAndDestruction)
{
    HWND first = top_level(WS_VISIBLE, L"First");
    HWND second = top_level(WS_VISIBLE, L"Second");
    EXPECT_EQ(GetActiveWindow(), second);
    auto acts = logged(WM_ACTIVATE, first);
    ASSERT_EQ(acts.size(), 2u);
    EXPECT_EQ(LOWORD(acts[1].wParam), WA_INACTIVE);
    // The old window hears of the change before the new one.
    EXPECT_LT(index_of(WM_ACTIVATE, first), index_of(WM_ACTIVATE, second));
    DestroyWindow(second);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), first); // DefWindowProcW gives the keyboard to the activated window
    auto tops = device::top_level_windows();
    ASSERT_EQ(tops.size(), 1u);
    EXPECT_EQ(tops[0].title, L"First");
}

TEST_F(PlatformTest, TapGoesToTheDeepestEnabledChildInClientCoordinates)
{
    HWND w = top_level();
    HWND c = child(w, 1, RECT{20, 30, 120, 80});
    HWND disabled = child(w, 2, RECT{20, 100, 120, 150});
    EnableWindow(disabled, FALSE);
    device::pump();
    message_log().clear();
    device::tap(25, 26 + 35);
    device::tap(30, 26 + 110);
    device::pump();
    auto downs = logged(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].hwnd, c);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 5);
    EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 5);
    EXPECT_EQ(downs[1].hwnd, w); // a disabled child takes no input: its parent gets the tap
    EXPECT_EQ(GET_Y_LPARAM(downs[1].lParam), 110);
}

TEST_F(PlatformTest, DisabledOwnerOfAModalWindowGetsNoInput)
{
    HWND owner = top_level(WS_VISIBLE, L"Owner");
    EnableWindow(owner, FALSE);
    device::pump();
    message_log().clear();
    device::tap(100, 100);
    device::key(VK_RETURN);
    device::pump();
    EXPECT_EQ(count_logged(WM_LBUTTONDOWN), 0);
}

TEST_F(PlatformTest, KeysGoToTheFocusAndTranslateMakesControlCharacters)
{
    HWND w = top_level();
    HWND c = child(w, 1, RECT{0, 0, 50, 20});
    SetFocus(c);
    device::pump();
    message_log().clear();
    device::key(VK_RETURN);
    device::key('A', true);
    device::key(VK_BACK);
    device::type(L"xé");
    device::pump();
    std::wstring chars;
    for (const auto& m : logged(WM_CHAR, c))
        chars.push_back(static_cast<wchar_t>(m.wParam));
    EXPECT_EQ(chars, std::wstring(L"\r\x01\bxé"));
    EXPECT_EQ(count_logged(WM_KEYDOWN, w), 0);
    EXPECT_GT(count_logged(WM_KEYDOWN, c), 0);
}

TEST_F(PlatformTest, CaptureKeepsTheStylusOnOneWindow)
{
    HWND w = top_level();
    HWND c = child(w, 1, RECT{0, 0, 50, 50});
    set_hook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (h == c && m == WM_LBUTTONDOWN)
            SetCapture(h);
        return false;
    });
    device::pump();
    message_log().clear();
    device::drag(10, 36, 200, 250);
    device::pump();
    auto ups = logged(WM_LBUTTONUP);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].hwnd, c);
    EXPECT_EQ(GET_X_LPARAM(ups[0].lParam), 200);
    EXPECT_EQ(GET_Y_LPARAM(ups[0].lParam), 250 - 26);
}

// Every call taking a window refuses a destroyed or made-up handle without touching memory.
TEST_F(PlatformTest, StaleAndMadeUpHandlesFailCleanly)
{
    HWND destroyed = top_level();
    DestroyWindow(destroyed);
    HWND live = top_level();
    HWND low_bit = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(live) | 1); // FindWindowW's "| 1" form
    std::vector<HWND> bad{destroyed, reinterpret_cast<HWND>(0x12345), reinterpret_cast<HWND>(~uintptr_t{0}), low_bit};
    for (HWND h : bad) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
        RECT r{1, 2, 3, 4};
        POINT p{0, 0};
        wchar_t text[8] = L"x";
        PAINTSTRUCT ps{};
        EXPECT_FALSE(IsWindow(h));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 0);
        EXPECT_FALSE(PostMessageW(h, WM_USER, 0, 0));
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_FALSE(UpdateWindow(h));
        EXPECT_FALSE(MoveWindow(h, 0, 0, 5, 5, TRUE));
        EXPECT_FALSE(GetClientRect(h, &r));
        EXPECT_FALSE(GetWindowRect(h, &r));
        EXPECT_FALSE(InvalidateRect(h, nullptr, TRUE));
        EXPECT_FALSE(ValidateRect(h, nullptr));
        EXPECT_EQ(BeginPaint(h, &ps), nullptr);
        EXPECT_EQ(GetDC(h), nullptr);
        EXPECT_FALSE(EnableWindow(h, FALSE));
        EXPECT_EQ(SetFocus(h), nullptr);
        if (h != low_bit) {
            EXPECT_FALSE(SetForegroundWindow(h));
        }
        EXPECT_FALSE(SetWindowTextW(h, L"a"));
        EXPECT_EQ(GetWindowTextW(h, text, 8), 0);
        EXPECT_EQ(text[0], L'\0');
        EXPECT_EQ(GetWindowLongW(h, GWL_STYLE), 0);
        EXPECT_EQ(SetWindowLongW(h, GWL_USERDATA, 5), 0);
        EXPECT_EQ(GetParent(h), nullptr);
        EXPECT_FALSE(ClientToScreen(h, &p));
        EXPECT_EQ(DefWindowProcW(h, WM_CLOSE, 0, 0), 0);
        EXPECT_EQ(CreateWindowExW(0, L"LogWindow", L"", WS_CHILD, 0, 0, 1, 1, h, nullptr, nullptr, nullptr), nullptr);
        MSG msg{};
        msg.hwnd = h;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_RETURN;
        EXPECT_EQ(DispatchMessageW(&msg), 0);
        EXPECT_FALSE(TranslateMessage(&msg));
    }
    EXPECT_TRUE(IsWindow(live));
}

TEST_F(PlatformTest, HandlesFromAnEarlierDeviceSessionAreRefused)
{
    HWND old = top_level();
    device::start_headless();
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(SendMessageW(old, WM_CLOSE, 0, 0), 0);
}

TEST_F(PlatformTest, MessagesPostedToAWindowDestroyedMeanwhileAreDropped)
{
    HWND w = top_level();
    PostMessageW(w, WM_USER + 3, 0, 0);
    DestroyWindow(w);
    message_log().clear();
    device::pump();
    EXPECT_EQ(count_logged(WM_USER + 3), 0);
}

TEST_F(PlatformTest, FindWindowMatchesClassAndTitleAndForegroundAcceptsTheLowBit)
{
    HWND first = top_level(WS_VISIBLE, L"Alpha");
    HWND second = top_level(WS_VISIBLE, L"Beta");
    EXPECT_EQ(FindWindowW(L"LogWindow", L"Alpha"), first);
    EXPECT_EQ(FindWindowW(L"logwindow", nullptr), second); // class names ignore case; topmost first
    EXPECT_EQ(FindWindowW(L"LogWindow", L"Gamma"), nullptr);
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(first) | 1)));
    EXPECT_EQ(GetActiveWindow(), first);
}

TEST_F(PlatformTest, WindowTextAndLongsRoundTrip)
{
    HWND w = top_level();
    EXPECT_TRUE(SetWindowTextW(w, L"Hello"));
    wchar_t small[4];
    EXPECT_EQ(GetWindowTextW(w, small, 4), 3); // the limit counts the terminating zero
    EXPECT_EQ(std::wstring(small), L"Hel");
    EXPECT_EQ(GetWindowTextLengthW(w), 5);
    SetWindowLongW(w, GWL_USERDATA, 99);
    EXPECT_EQ(GetWindowLongW(w, GWL_USERDATA), 99);
    HWND c = child(w, 321, RECT{0, 0, 1, 1});
    EXPECT_EQ(GetDlgCtrlID(c), 321);
    EXPECT_EQ(GetParent(c), w);
    EXPECT_TRUE(IsChild(w, c));
}

TEST_F(PlatformTest, ShellActivationHandlerGivesTheFocusBackToTheControlThatHadIt)
{
    SHACTIVATEINFO info{};
    info.cbSize = sizeof info;
    HWND first = nullptr;
    set_hook([&](HWND h, UINT m, WPARAM w, LPARAM l, LRESULT*) {
        if (m == WM_ACTIVATE && h == first) {
            SHHandleWMActivate(h, w, l, &info, 0);
            return true; // as the program's frame does: no DefWindowProcW
        }
        return false;
    });
    first = top_level(WS_VISIBLE, L"First");
    HWND field = child(first, 1, RECT{0, 0, 10, 10});
    SetFocus(field);
    HWND second = top_level(WS_VISIBLE, L"Second");
    EXPECT_EQ(GetFocus(), second);
    DestroyWindow(second);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), field);
}

// Another process's window: FindWindowW finds it through the shared registry, and SetForegroundWindow on
// the handle with its low bit set (as the single-instance rule passes it) asks that process to come up.
TEST_F(PlatformTest, FindWindowReachesAnotherProcessAndRaisesIt)
{
    char folder[] = "/tmp/kelvora-find-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child_pid = fork();
    ASSERT_GE(child_pid, 0);
    if (child_pid == 0) {
        device::start_headless();
        platform::instances::use_registry_folder(folder);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Elsewhere";
        RegisterClassW(&wc);
        CreateWindowExW(0, L"Elsewhere", L"Other", WS_VISIBLE, 0, 26, 100, 100, nullptr, nullptr, nullptr, nullptr);
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1)
            _exit(3);
        for (int i = 0; i < 500; ++i) {
            if (platform::instances::take_raise_request())
                _exit(0);
            usleep(10000);
        }
        _exit(2);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    platform::instances::use_registry_folder(folder);
    HWND found = FindWindowW(L"Elsewhere", L"Other");
    EXPECT_NE(found, nullptr);
    EXPECT_FALSE(IsWindow(found)); // not a window of this process: no message reaches it
    EXPECT_EQ(SendMessageW(found, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(FindWindowW(L"Elsewhere", L"Nobody"), nullptr);
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));
    int status = 0;
    waitpid(child_pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    platform::instances::use_private_registry();
    close(ready[0]);
    close(ready[1]);
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
}

TEST_F(PlatformTest, ForegroundOnAWindowDisabledByItsDialogActivatesTheDialog)
{
    HWND owner = top_level(WS_VISIBLE, L"Owner");
    HWND dialog = CreateWindowExW(0, L"LogWindow", L"Dialog", WS_POPUP | WS_VISIBLE, 20, 60, 100, 80, owner, nullptr,
                                  nullptr, nullptr);
    EnableWindow(owner, FALSE);
    HWND other = top_level(WS_VISIBLE, L"Other");
    EXPECT_EQ(GetActiveWindow(), other);
    EXPECT_TRUE(SetForegroundWindow(owner));
    EXPECT_EQ(GetActiveWindow(), dialog);
    auto tops = device::top_level_windows();
    ASSERT_EQ(tops.size(), 3u);
    EXPECT_EQ(tops[0].hwnd, dialog); // owned windows stay above their owner
    EXPECT_EQ(tops[1].hwnd, owner);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(0x999), 0, 0), -1); // a bad window filter
}
