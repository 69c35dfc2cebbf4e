// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the program's end-to-end tests.
#include "ui_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kelvora.h"
#include "number_text.h"

namespace device = kelvora::device;

namespace {

// The program's file dialogs make the documents folder in the home folder: every test here, and every
// kelvora-replay it starts, runs with a home folder of its own, never the real one.
class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/kelvora-ui-home-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_home = pattern;
        setenv("HOME", m_home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_home + "/.config").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_home); }

private:
    std::string m_home;
};

const ::testing::Environment* const g_privateHome = ::testing::AddGlobalTestEnvironment(new PrivateHome);

} // namespace

void ProgramTest::SetUp()
{
    resetAppState();
    device::start_headless();
    device::set_idle_handler([this] {
        if (m_steps.empty()) return false;
        auto step = std::move(m_steps.front());
        m_steps.pop_front();
        step();
        return true;
    });
    ASSERT_TRUE(initInstance(GetModuleHandleW(nullptr), SW_SHOW));
    device::pump();
}

void ProgramTest::TearDown()
{
    EXPECT_TRUE(m_steps.empty()) << "queued steps were never reached";
    device::set_idle_handler(nullptr);
    device::stop();
}

std::wstring ProgramTest::text(int id) const
{
    return windowText(control(id));
}

std::wstring ProgramTest::windowText(HWND hwnd) const
{
    WCHAR buffer[1024];
    buffer[0] = 0;
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

void ProgramTest::tapWindow(HWND hwnd)
{
    RECT r;
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    device::tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    device::pump();
}

void ProgramTest::key(UINT vk, bool ctrl)
{
    device::key(vk, ctrl);
    device::pump();
}

void ProgramTest::type(const std::wstring& text)
{
    device::type(text);
    device::pump();
}

void ProgramTest::retype(int id, const std::wstring& text)
{
    tapControl(id);
    key(VK_HOME);
    device::key(VK_END, false, true); // select the whole text, so typing replaces it in one change
    device::pump();
    if (text.empty()) {
        key(VK_DELETE);
    } else {
        type(text);
    }
}

void ProgramTest::enterPoints(const std::vector<std::pair<double, double>>& points)
{
    retype(IDC_COUNT_FIELD, std::to_wstring(points.size()));
    for (size_t i = 0; i < points.size(); i++) {
        if (i > 0) tapControl(IDC_UP);
        WCHAR number[NUMBER_TEXT_CAPACITY];
        formatNumberW(number, NUMBER_TEXT_CAPACITY, points[i].first);
        retype(IDC_X_FIELD, number);
        formatNumberW(number, NUMBER_TEXT_CAPACITY, points[i].second);
        retype(IDC_Y_FIELD, number);
        tapControl(IDC_ENTER);
    }
}

COLORREF ProgramTest::clientPixel(HWND hwnd, int x, int y) const
{
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return device::pixel(p.x, p.y);
}

int ProgramTest::countPixels(HWND hwnd, RECT box, const std::function<bool(COLORREF)>& wanted) const
{
    int found = 0;
    for (int y = box.top; y < box.bottom; y++) {
        for (int x = box.left; x < box.right; x++) {
            if (wanted(clientPixel(hwnd, x, y))) found++;
        }
    }
    return found;
}

HWND ProgramTest::openWith(int buttonId, const std::wstring& title)
{
    tapControl(buttonId);
    HWND opened = frontWindow();
    EXPECT_EQ(windowText(opened), title);
    return opened;
}

HWND frontWindow()
{
    auto windows = device::top_level_windows();
    return windows.empty() ? nullptr : windows.front().hwnd;
}

int topLevelCount()
{
    return static_cast<int>(device::top_level_windows().size());
}
