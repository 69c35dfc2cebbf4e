// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-replay on the demo program: the script language, its exit statuses and its queries.
#include "platform_test_support.h"

#include "demo_program.h"
#include "replay.h"

#include <kelvora_host.h>

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

// Every command runs with exactly its arguments and is refused with one too few, one too many or one of the
// wrong kind; a refused line stops the script before anything runs, so nothing is printed.
TEST(Replay, EachCommandTakesExactlyItsArguments)
{
    for (const char* line : {"tap 5 5", "drag 5 5 6 6", "type", "type  a b ", "key Tab", "key Ctrl+z", "rotate",
                             "pixel 0 0", "windows", "windows \r", "text 1", "tap -5 1000000", "  # note"}) {
        SCOPED_TRACE(line);
        int status = -1;
        run(std::string(line) + "\n", &status);
        EXPECT_EQ(status, 0);
    }
    for (const char* line : {"tap 5", "tap 5 5 5", "drag 1 2 3", "drag 1 2 3 4 5", "drag 1 2 3 x", "key", "key Tab Tab", "rotate 1",
                             "pixel 0", "pixel 0 0 0", "windows 1", "text", "text 1 2", "text x", "shot", "shot a b",
                             "tap 1.5 2", "tap 1 1000001", "Tap 1 2"}) {
        SCOPED_TRACE(line);
        int status = -1;
        EXPECT_EQ(run("pixel 0 0\n" + std::string(line) + "\n", &status), "");
        EXPECT_EQ(status, 1);
    }
}

TEST(Replay, RegisteredQueriesKeepTheirCountAndNeverShadowABuiltIn)
{
    auto first = [](const std::vector<std::string>& args, std::string* out) {
        *out = args.empty() ? "none\n" : args[0] + "\n";
        return true;
    };
    EXPECT_TRUE(replay::register_query("first", 1, first));
    EXPECT_FALSE(replay::register_query("tap", 0, first));
    int status = -1;
    for (const char* script : {"first\n", "first a b\n", "tap\n"}) {
        run(script, &status);
        EXPECT_EQ(status, 1) << script;
    }
    EXPECT_EQ(run("first a\n", &status), "a\n");
    EXPECT_TRUE(replay::register_query("first", 0, first)); // a query may be replaced, count and all
    EXPECT_EQ(run("first\n", &status), "none\n");
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
