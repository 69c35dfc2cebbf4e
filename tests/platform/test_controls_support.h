// SPDX-License-Identifier: GPL-3.0-or-later
// Shared fixture of the control and dialog tests: a headless device with one parent window that logs
// the notifications of its children, a template builder, and scripted input for modal loops.
#pragma once
#include <windows.h>

#include <kelvora_device.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace controls_test {

struct Notification {
    int id;
    int code;
    std::wstring text; // the control's text while the notification ran
};

inline std::vector<Notification>& notifications()
{
    static std::vector<Notification> log;
    return log;
}

inline std::wstring text_of(HWND hwnd)
{
    wchar_t buffer[512] = {};
    SendMessageW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

inline LRESULT CALLBACK logging_parent_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_COMMAND && lp) {
        // Read through the dialog helpers, as the program does inside its own notifications.
        wchar_t text[256] = {};
        GetDlgItemTextW(hwnd, LOWORD(wp), text, 256);
        notifications().push_back({LOWORD(wp), HIWORD(wp), text});
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Input handed to the device one step each time a modal loop waits.
inline std::deque<std::function<void()>>& script()
{
    static std::deque<std::function<void()>> steps;
    return steps;
}

inline void install_script_runner()
{
    kelvora::device::set_idle_handler([] {
        if (script().empty())
            return false;
        auto step = std::move(script().front());
        script().pop_front();
        step();
        return true;
    });
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kelvora::device::start_headless();
        notifications().clear();
        script().clear();
        install_script_runner();
        WNDCLASSW wc{};
        wc.lpfnWndProc = logging_parent_proc;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"TestParent";
        RegisterClassW(&wc);
        m_parent = CreateWindowExW(0, L"TestParent", L"Parent", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                   nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_parent, nullptr);
        kelvora::device::pump();
    }
    void TearDown() override
    {
        kelvora::device::set_idle_handler(nullptr);
        kelvora::device::stop();
    }

    HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h)
    {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    }

    // Screen position of a client point of a window.
    static POINT on_screen(HWND hwnd, int x, int y)
    {
        POINT pt{x, y};
        ClientToScreen(hwnd, &pt);
        return pt;
    }
    static void tap_at(HWND hwnd, int x, int y)
    {
        const POINT pt = on_screen(hwnd, x, y);
        kelvora::device::tap(pt.x, pt.y);
        kelvora::device::pump();
    }
    static COLORREF pixel_at(HWND hwnd, int x, int y)
    {
        kelvora::device::pump();
        const POINT pt = on_screen(hwnd, x, y);
        return kelvora::device::pixel(pt.x, pt.y);
    }
    static void type(const wchar_t* text)
    {
        kelvora::device::type(text);
        kelvora::device::pump();
    }
    static void key(UINT vk, bool ctrl = false, bool shift = false)
    {
        kelvora::device::key(vk, ctrl, shift);
        kelvora::device::pump();
    }

    HWND m_parent = nullptr;
};

// Builds a classic dialog template in memory, item by item.
class TemplateBuilder {
public:
    TemplateBuilder(DWORD style, short x, short y, short cx, short cy, const wchar_t* title)
    {
        dword(style);
        dword(0);
        m_count_at = m_words.size();
        word(0);
        for (short v : {x, y, cx, cy})
            word(static_cast<WORD>(v));
        word(0); // menu
        word(0); // class
        text(title);
        if (style & DS_SETFONT) {
            word(8);
            text(L"MS Shell Dlg");
        }
    }
    TemplateBuilder& item(WORD cls, const wchar_t* title, DWORD style, short x, short y, short cx, short cy, WORD id,
                          WORD creation_data = 0)
    {
        while (m_words.size() % 2)
            word(0); // items start on 4-byte boundaries
        dword(style);
        dword(0);
        for (short v : {x, y, cx, cy})
            word(static_cast<WORD>(v));
        word(id);
        word(0xFFFF);
        word(cls);
        text(title);
        word(creation_data);
        for (WORD i = 2; i < creation_data; i += 2)
            word(0xABCD);
        ++m_words[m_count_at];
        return *this;
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }
    size_t size_in_bytes() const { return m_words.size() * sizeof(WORD); }

private:
    void word(WORD w) { m_words.push_back(w); }
    void dword(DWORD d)
    {
        word(static_cast<WORD>(d & 0xFFFF));
        word(static_cast<WORD>(d >> 16));
    }
    void text(const wchar_t* s)
    {
        for (; *s; ++s)
            word(static_cast<WORD>(*s));
        word(0);
    }
    std::vector<WORD> m_words;
    size_t m_count_at = 0;
};

inline HWND top_window()
{
    auto windows = kelvora::device::top_level_windows();
    return windows.empty() ? nullptr : windows.front().hwnd;
}

} // namespace controls_test
