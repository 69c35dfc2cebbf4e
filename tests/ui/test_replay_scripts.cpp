// SPDX-License-Identifier: GPL-3.0-or-later
// The program driven by replay scripts through its own message loop: accelerators, the demo script,
// and the exit statuses of kelvora-replay.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "app_state.h"
#include "replay.h"

namespace {

struct ReplayRun {
    int status;
    std::string output;
};

// Runs the program's WinMain on a fresh device with the script, here in this process.
ReplayRun runInProcess(const std::string& script)
{
    resetAppState();
    testing::internal::CaptureStdout();
    int status = kelvora::replay::run_script_text(script, WinMain);
    return {status, testing::internal::GetCapturedStdout()};
}

// Runs the kelvora-replay tool on a script file, as a user or a bug report does; `environment` is put
// before the command ("NAME=value ...").
ReplayRun runTool(const std::string& scriptPath, const std::string& environment = "")
{
    std::string command = environment + " " + KELVORA_REPLAY_EXE + " " + scriptPath + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, ""};
    std::string output;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string writeScript(const std::string& name, const std::string& text)
{
    std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

} // namespace

TEST(ReplayScripts, AcceleratorsReachTheMainWindowOnlyWhenItHasTheFocus)
{
    ReplayRun run = runInProcess("key Ctrl+A\n" // the main window has the focus at start
                                 "windows\n"
                                 "tap 228 13\n" // the About box's "ok"
                                 "key Ctrl+Q\n"
                                 "windows\n"
                                 "key Escape\n"
                                 "tap 40 56\n" // the count field takes the focus
                                 "key Ctrl+Q\n"
                                 "key Ctrl+A\n"
                                 "windows\n");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = run.output.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(run.output.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 5u) << run.output;
    EXPECT_NE(lines[0].find("title=\"About Kelvora\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[2].find("class=#32770 title=\"Kelvora\""), std::string::npos) << lines[2]; // "Exit ?"
    EXPECT_NE(lines[4].find("class=KELVORA"), std::string::npos) << lines[4];
}

TEST(ReplayScripts, DemoScriptFitsItsPointsAndEndsCleanly)
{
    ReplayRun run = runTool(std::string(KELVORA_EXAMPLES_DIR) + "/demo.replay");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("pointCount=3\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("a=1\nb=2\n"), std::string::npos) << run.output;
}

TEST(ReplayScripts, PanelScriptTypesThePointsAndTheExponentWithTheStylusAlone)
{
    ReplayRun run = runTool(std::string(KELVORA_EXAMPLES_DIR) + "/panel.replay");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("up=1 rect=0,214,240,294\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("pointCount=3\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("modelId=15\nexponentN=1\na=1\nb=2\n"), std::string::npos) << run.output;
}

TEST(ReplayScripts, SipQueryTellsWhetherThePanelIsUpAndWhereItIs)
{
    ReplayRun run = runTool(writeScript("sip.replay", "sip\ntap 120 307\nsip\nrotate\nsip\n"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "up=0 rect=0,214,240,294\nup=1 rect=0,214,240,294\nup=1 rect=0,169,320,214\n");
}

TEST(ReplayScripts, ExitStatusesSayHowTheScriptEnded)
{
    EXPECT_EQ(runTool(writeScript("ended.replay", "key F1\nkey Enter\nstate\n")).status, 3);
    EXPECT_EQ(runTool(writeScript("bad.replay", "tap 1\n")).status, 1);
    EXPECT_EQ(runTool(writeScript("missing-dir/none.replay", "")).status, 1);
}

// The runner stops the program by a status its idle handler returns: the program's loops end with WM_QUIT,
// modal ones included, and WinMain returns normally. Lines after a failing one are never run.
TEST(ReplayScripts, ScriptEndsInsideModalLoopsByStatus)
{
    const std::string unwritable = testing::TempDir() + "no-such-folder/shot.png";
    kelvora::replay::register_query("refuse", 0, [](const std::vector<std::string>&, std::string*) { return false; });
    struct Case {
        const char* what;
        std::string script;
        int status;
        std::string output;
    } cases[] = {
        {"About box open", "key Ctrl+A\n", 0, ""},
        {"exit question open", "key Ctrl+Q\nwindows\n", 0,
         "class=#32770 title=\"Kelvora\" rect=7,122,233,224 visible=1 enabled=1\n"
         "class=KELVORA title=\"Kelvora\" rect=0,26,240,294 visible=1 enabled=0\n"},
        {"file dialog open", "tap 200 307\ntap 110 262\n", 0, ""},
        {"picture not written in the About box", "key Ctrl+A\nshot " + unwritable + "\nwindows\n", 1, ""},
        {"malformed query in the exit question", "key Ctrl+Q\nrefuse\nwindows\n", 1, ""},
    };
    for (const Case& c : cases) {
        ReplayRun run = runInProcess(c.script);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(run.output, c.output) << c.what;
    }
    // The device is usable again afterwards: a script from the start runs as usual.
    EXPECT_EQ(runInProcess("windows\n").output,
              "class=KELVORA title=\"Kelvora\" rect=0,26,240,294 visible=1 enabled=1\n");
}

// Save offers "Kelvora1"; a bare name typed there is saved with the filter's extension, so the Load
// dialog, which lists "*.dat", shows the file and reads it back. The documents folder is made in a
// home folder of the test's own.
TEST(ReplayScripts, PointsSavedUnderABareNameAreListedAndLoadedBack)
{
    char pattern[] = "/tmp/kelvora-save-load-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    ReplayRun run = runTool(std::string(KELVORA_REPLAY_SCRIPTS_DIR) + "/save_load.replay",
                            "HOME=" + home + " XDG_CONFIG_HOME=" + home + "/.config");
    EXPECT_EQ(run.status, 0);
    const std::string emptyState = "pointCount=0\ncurrentIndex=0\nmodelId=0\nexponentN=2\na=0\nb=0\nresidualSum=0\ns=0\n";
    const std::string points = "1.5 -2500\n3 4.25\n";
    EXPECT_EQ(run.output, points + emptyState + "mydata.dat\n" +
                              "pointCount=2\ncurrentIndex=0\nmodelId=0\nexponentN=2\na=0\nb=0\nresidualSum=0\ns=0\n" +
                              points + "mydata.dat\n");

    std::vector<std::string> saved;
    for (const auto& entry : std::filesystem::directory_iterator(home + "/Documents"))
        saved.push_back(entry.path().filename().string());
    EXPECT_EQ(saved, std::vector<std::string>{"mydata.dat"});
    std::stringstream contents;
    contents << std::ifstream(home + "/Documents/mydata.dat").rdbuf();
    EXPECT_EQ(contents.str(), "2\n" + points);
    std::filesystem::remove_all(home);
}
