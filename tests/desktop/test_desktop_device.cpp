// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop device (SDL2), run for real under Xvfb when it is installed: the only test program that
// links the SDL backend.
#include <kelvora_device.h>

#include "demo_program.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvora;

namespace {

const char child_flag[] = "KELVORA_TEST_IN_XVFB";

void push_key(SDL_EventType type, SDL_Keycode key)
{
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
}

int run_command(const std::string& command) { return std::system(command.c_str()); }

} // namespace

// Runs in the child process started under Xvfb by the test below; skipped on its own.
TEST(DesktopDevice, DemoInAnSdlWindow)
{
    if (!std::getenv(child_flag))
        GTEST_SKIP() << "runs only under Xvfb, started by DesktopDevice.RunsUnderXvfb";
    std::string error;
    ASSERT_TRUE(device::start_desktop(&error)) << error;
    ASSERT_TRUE(demo_start(GetModuleHandleW(nullptr), SW_SHOW));
    device::pump();
    // The host window cannot be made smaller than the device screen at zoom 1.
    SDL_Window* window = SDL_GetWindowFromID(1);
    ASSERT_NE(window, nullptr);
    int min_width = 0, min_height = 0;
    SDL_GetWindowMinimumSize(window, &min_width, &min_height);
    EXPECT_EQ(min_width, 240);
    EXPECT_EQ(min_height, 320);
    // Ctrl+R through SDL key events (an accelerator), then the close button of the host window,
    // which presses the demo's left soft key: its OK ends it.
    push_key(SDL_KEYDOWN, SDLK_LCTRL);
    push_key(SDL_KEYDOWN, SDLK_r);
    push_key(SDL_KEYUP, SDLK_r);
    push_key(SDL_KEYUP, SDLK_LCTRL);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_EQ(demo_run_loop(), 0);
    EXPECT_EQ(g_demo.colour, RGB(255, 0, 0));
    ASSERT_GE(g_demo.commands.size(), 2u);
    EXPECT_EQ(g_demo.commands.back().id, 40000);
    device::stop();
}

TEST(DesktopDevice, RunsUnderXvfb)
{
    if (std::getenv(child_flag))
        GTEST_SKIP();
    if (run_command("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed";
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    // The X11 and D-Bus libraries keep allocations for the life of the process: not ours to report.
    std::string command = std::string("ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" ") + child_flag +
                          "=1 SDL_VIDEODRIVER=x11 xvfb-run -a '" + self +
                          "' --gtest_filter=DesktopDevice.DemoInAnSdlWindow >/dev/null 2>&1";
    int status = run_command(command);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

#ifdef KELVORA_DEMO_EXE
TEST(DesktopDevice, WithoutADisplayOneLineAndStatusOne)
{
    std::string err = ::testing::TempDir() + "no_display.txt";
    std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '") + KELVORA_DEMO_EXE +
                          "' 2>'" + err + "' >/dev/null";
    int status = run_command(command);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(err);
    std::string first, second;
    std::getline(in, first);
    EXPECT_NE(first.find("no display"), std::string::npos) << first;
    EXPECT_FALSE(std::getline(in, second)) << second;
}
#endif
