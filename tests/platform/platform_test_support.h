// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the platform tests: a headless device per test and a window class that logs its messages.
#pragma once
#include <kelvora_device.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

struct LoggedMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages received by windows of the "LogWindow" class, in order.
std::vector<LoggedMessage>& message_log();
// Extra handling for one test: return true when the message was handled (its result in *result).
using Hook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
void set_hook(Hook hook);

// Messages of `msg` in the log, optionally for one window only.
std::vector<LoggedMessage> logged(UINT msg, HWND hwnd = nullptr);
int count_logged(UINT msg, HWND hwnd = nullptr);

// Each test starts on a fresh portrait device with the "LogWindow" class registered.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND top_level(DWORD style = WS_VISIBLE, const wchar_t* title = L"Top", DWORD ex_style = 0);
    HWND child(HWND parent, int id, RECT r, DWORD style = WS_CHILD | WS_VISIBLE);
};

inline COLORREF screen(int x, int y) { return kelvora::device::pixel(x, y); }
