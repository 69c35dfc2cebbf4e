// kelvora-replay on the demo program: the script language, its exit statuses and its queries; and the
// desktop device, run for real under Xvfb when it is installed.
#include "platform_test_support.h"

#include "demo_program.h"
#include "replay.h"

#include <kelvora_host.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvora;

namespace {

struct ScriptCase {
    const char* name;
    const char* script;
    int status;
    const char* output; // standard output, exactly
};

std::string run(const std::string& script, int* status)
{
    ::testing::internal::CaptureStdout();
    *status = replay::run_script_text(script, WinMain);
    return ::testing::internal::GetCapturedStdout();
}

class ReplayScript : public ::testing::TestWithParam<ScriptCase> {};

} // namespace

TEST_P(ReplayScript, StatusAndOutput)
{
    const ScriptCase& c = GetParam();
    int status = -1;
    std::string out = run(c.script, &status);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(out, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Demo, ReplayScript,
    ::testing::Values(
        ScriptCase{"EmptyScriptRunsToItsEnd", "# nothing\n\n", 0, ""},
        ScriptCase{"WindowsListsTheTopLevelWindows", "windows\n", 0,
                   "class=DEMO title=\"Demo\" rect=0,26,240,294 visible=1 enabled=1\n"},
        ScriptCase{"MenuChoiceByStylusPaintsRed", "tap 200 310\ntap 200 234\npixel 100 200\n", 0, "255 0 0\n"},
        ScriptCase{"KeysOpenTheMenuAndChoose", "key F2\nkey Down\nkey Enter\npixel 100 200\n", 0, "0 0 255\n"},
        ScriptCase{"AcceleratorByCtrlLetter", "key Ctrl+R\npixel 100 200\n", 0, "255 0 0\n"},
        ScriptCase{"RotationTurnsTheScreen", "rotate\nwindows\n", 0,
                   "class=DEMO title=\"Demo\" rect=0,26,320,214 visible=1 enabled=1\n"},
        ScriptCase{"TextOfAControlById", "text 500\n", 0, "\n"},
        ScriptCase{"ProgramEndingFirstGives3", "tap 60 310\npixel 0 0\n", 3, ""},
        ScriptCase{"LastLineEndingTheProgramIsFine", "pixel 0 0\ntap 60 310\n", 0, "10 61 143\n"},
        ScriptCase{"UnknownCommandGives1", "tap 1 2\njump 3\n", 1, ""},
        ScriptCase{"MissingArgumentGives1", "tap 1\n", 1, ""},
        ScriptCase{"NonNumberGives1", "pixel 1 x\n", 1, ""},
        ScriptCase{"UnknownKeyGives1", "key Hyper\n", 1, ""},
        ScriptCase{"CtrlNeedsALetter", "key Ctrl+1\n", 1, ""},
        ScriptCase{"RegisteredQueryArgumentsAreChecked", "echo 1 2\n", 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Replay, RegisteredQueriesPrintAndTypeFeedsCharacters)
{
    replay::register_query("typed", 0, [](const std::vector<std::string>&, std::string* out) {
        *out = kelvora_to_utf8(g_demo.typed) + "\n";
        return true;
    });
    replay::register_query("echo", 1, [](const std::vector<std::string>& args, std::string* out) {
        if (args[0] == "bad")
            return false;
        *out = args[0] + "\n";
        return true;
    });
    int status = -1;
    std::string out = run("type héllo wörld\necho x\ntyped\n", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "x\nhéllo wörld\n");
    out = run("echo bad\necho never\n", &status);
    EXPECT_EQ(status, 1); // a query refusing its arguments stops the script
}

TEST(Replay, ShotWritesAPngOfTheScreen)
{
    std::string path = ::testing::TempDir() + "replay_shot.png";
    std::remove(path.c_str());
    int status = -1;
    run("shot " + path + "\n", &status);
    EXPECT_EQ(status, 0);
    std::ifstream png(path, std::ios::binary);
    char signature[8] = {};
    png.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    run("shot /no/such/folder/x.png\n", &status);
    EXPECT_EQ(status, 1);
}

TEST(HostText, Utf8RoundTripAndBrokenInput)
{
    std::wstring text = L"aé€\U0001F600";
    EXPECT_EQ(kelvora_from_utf8(kelvora_to_utf8(text)), text);
    EXPECT_EQ(kelvora_from_utf8("a\xC3"), L"a\xFFFD");    // cut short
    EXPECT_EQ(kelvora_from_utf8("\xFF" "b"), L"\xFFFD" L"b"); // not UTF-8 at all
}

// ---- The desktop device ----------------------------------------------------------------------------

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
