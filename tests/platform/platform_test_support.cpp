// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the platform tests.
#include "platform_test_support.h"

namespace {

Hook g_hook;

LRESULT CALLBACK log_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    message_log().push_back({hwnd, msg, wParam, lParam});
    LRESULT result = 0;
    if (g_hook && g_hook(hwnd, msg, wParam, lParam, &result))
        return result;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

std::vector<LoggedMessage>& message_log()
{
    static std::vector<LoggedMessage> log;
    return log;
}

void set_hook(Hook hook) { g_hook = std::move(hook); }

std::vector<LoggedMessage> logged(UINT msg, HWND hwnd)
{
    std::vector<LoggedMessage> out;
    for (const auto& m : message_log())
        if (m.msg == msg && (!hwnd || m.hwnd == hwnd))
            out.push_back(m);
    return out;
}

int count_logged(UINT msg, HWND hwnd) { return static_cast<int>(logged(msg, hwnd).size()); }

void PlatformTest::SetUp()
{
    kelvora::device::start_headless();
    message_log().clear();
    g_hook = nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = log_proc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"LogWindow";
    ASSERT_NE(RegisterClassW(&wc), 0);
}

void PlatformTest::TearDown()
{
    // The hooks of a test capture its locals: they must not outlive it.
    g_hook = nullptr;
    kelvora::device::set_idle_handler(nullptr);
    kelvora::device::stop();
    message_log().clear();
}

HWND PlatformTest::top_level(DWORD style, const wchar_t* title, DWORD ex_style)
{
    return CreateWindowExW(ex_style, L"LogWindow", title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND PlatformTest::child(HWND parent, int id, RECT r, DWORD style)
{
    return CreateWindowExW(0, L"LogWindow", L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}
