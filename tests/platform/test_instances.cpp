// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance rule across processes: a second process finds the first one's window through the
// registry folder, raises it, and a registration left by a killed process is ignored and cleaned up. The
// folder is shared with whatever else runs as the user, and may have been open to others: nothing in it is
// trusted, followed or signalled unless a Kelvora of this user put it there.
#include <windows.h>

#include <kelvora_device.h>

#include "shell/instance_registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace instances = platform::instances;

namespace {

constexpr uid_t other_user = 65534; // nobody

LRESULT CALLBACK plain_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(hwnd, msg, wp, lp);
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Field 22 of /proc/<pid>/stat: when the process started, as an entry records it.
std::string start_time_of(pid_t pid)
{
    const std::string stat = read_text("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        fields >> field;
    return field;
}

// An entry as a Kelvora writes one: pid, start time, class "KELVORA" and a title, as decimal code values.
std::string entry_text(pid_t pid, const std::string& start_time, std::wstring_view title)
{
    std::string text = std::to_string(pid) + "\n" + start_time + "\n75 69 76 86 79 82 65 \n";
    for (wchar_t c : title)
        text += std::to_string(static_cast<int>(c)) + " ";
    return text + "\n";
}

// Runs `work` in a child process as the unprivileged user; true when it returned true.
bool as_other_user(const std::function<bool()>& work)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(setgid(other_user) == 0 && setuid(other_user) == 0 && work() ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Bounded {
    std::optional<int> m_exit; // nothing: killed when its time was up
    long m_peak_kb = 0;        // the most memory it held
};

// Runs `work` in a child process for at most `limit`: its exit code (128 + signal when one ended it).
Bounded run_bounded(const std::function<int()>& work, std::chrono::milliseconds limit)
{
    const pid_t pid = fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit memory{1u << 30, 1u << 30}; // a reader that allocates without end fails here, not the machine
        setrlimit(RLIMIT_AS, &memory);
#endif
        _exit(work());
    }
    const auto give_up = std::chrono::steady_clock::now() + limit;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > give_up) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            return {std::nullopt, usage.ru_maxrss};
        }
        usleep(2000);
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), usage.ru_maxrss};
}

// The variables that choose the shared registry's folder, set for one test and restored after it.
class Environment {
public:
    Environment()
    {
        for (const char* name : {"XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
    }
    ~Environment()
    {
        for (const auto& [name, value] : m_saved)
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kelvora-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_scratch = pattern;
        m_folder = m_scratch + "/registry";
        ASSERT_EQ(mkdir(m_folder.c_str(), 0700), 0);
        ASSERT_EQ(pipe(m_reports), 0);
        kelvora::device::start_headless();
        instances::use_registry_folder(m_folder);
    }
    void TearDown() override
    {
        for (pid_t pid : m_children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        instances::use_private_registry();
        kelvora::device::stop();
        close(m_reports[0]);
        close(m_reports[1]);
        fs::remove_all(m_scratch);
    }

    pid_t fork_child()
    {
        const pid_t pid = fork();
        if (pid > 0)
            m_children.push_back(pid);
        return pid;
    }

    void end_child(pid_t pid)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::erase(m_children, pid);
    }

    // A first instance in its own process, returned once it shows its main window; when asked to come to
    // the front it reports that it was raised ('R', read with next_report).
    pid_t start_first_instance(const std::function<void()>& choose_registry = {})
    {
        const pid_t pid = fork_child();
        if (pid != 0)
            return next_report() == 'U' ? pid : 0;
        kelvora::device::start_headless();
        if (choose_registry)
            choose_registry();
        else
            instances::use_registry_folder(m_folder);
        show_main_window();
        (void)!write(m_reports[1], "U", 1);
        wait_for_raise(m_reports[1], 5000);
        _exit(0);
    }

    char next_report() const { return read_report(m_reports[0]); }

    static void show_main_window()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = plain_proc;
        wc.lpszClassName = L"KELVORA";
        RegisterClassW(&wc);
        CreateWindowExW(0, L"KELVORA", L"Kelvora", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                        nullptr, nullptr);
        kelvora::device::pump();
    }

    static void wait_for_raise(int report_fd, int milliseconds)
    {
        for (int i = 0; i < milliseconds; ++i) {
            if (instances::take_raise_request()) {
                (void)!write(report_fd, "R", 1);
                return;
            }
            usleep(1000);
        }
    }

    static char read_report(int fd)
    {
        char c = 0;
        return read(fd, &c, 1) == 1 ? c : 0;
    }

    std::vector<std::string> entry_names() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_folder))
            if (e.path().extension() == ".entry")
                names.push_back(e.path().filename());
        return names;
    }

    size_t entry_count() const { return entry_names().size(); }

    std::string m_scratch; // everything a test makes, removed after it
    std::string m_folder;  // the registry folder of the tests that name one
    std::vector<pid_t> m_children;
    int m_reports[2] = {-1, -1}; // what the first instances report
};

TEST_F(InstanceTest, SecondStartFindsAndRaisesTheFirst)
{
    const pid_t first = start_first_instance();
    ASSERT_NE(first, 0) << "the first instance is up";

    EXPECT_EQ(FindWindowW(L"KELVORA", L"Other title"), nullptr);
    HWND found = FindWindowW(L"Kelvora", L"Kelvora"); // class names ignore case
    ASSERT_NE(found, nullptr) << "the window of the other process is found";
    EXPECT_EQ(instances::find(L"KELVORA", L""), std::optional<int>(first));
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));
    EXPECT_EQ(next_report(), 'R') << "the first instance was asked to come to the front";
}

TEST_F(InstanceTest, RegistrationOfAKilledProcessNeverBlocksANewStart)
{
    const pid_t first = start_first_instance();
    ASSERT_NE(first, 0) << "the first instance is up";
    ASSERT_EQ(entry_count(), 1u);
    end_child(first);

    EXPECT_EQ(FindWindowW(L"KELVORA", L"Kelvora"), nullptr);
    EXPECT_EQ(entry_count(), 0u) << "the stale registration is removed";
    EXPECT_FALSE(instances::request_raise(first)) << "a dead process is not signalled";
}

TEST_F(InstanceTest, ForgedOrReusedRegistrationsAreIgnored)
{
    struct Case {
        const char* name;
        std::string content;
    };
    // The parent process is alive but is not the one that registered: its start time differs.
    const Case cases[] = {
        {"pid reused by another program", entry_text(getppid(), "1", L"Kelvora")},
        {"start time unknown", entry_text(getppid(), "0", L"Kelvora")},
        {"garbage", "not an entry"},
        {"truncated", std::to_string(getppid()) + "\n"},
    };
    for (const Case& c : cases) {
        std::ofstream(m_folder + "/" + std::to_string(getppid()) + "-1.entry") << c.content;
        EXPECT_EQ(instances::find(L"KELVORA", L"Kelvora"), std::nullopt) << c.name;
        EXPECT_EQ(entry_count(), 0u) << c.name;
        EXPECT_FALSE(instances::request_raise(getppid()))
            << c.name << ": never signal a process we did not see register";
    }
}

TEST_F(InstanceTest, PrivateRegistrySeesNoOtherProcess)
{
    ASSERT_NE(start_first_instance(), 0);
    instances::use_private_registry();
    EXPECT_EQ(FindWindowW(L"KELVORA", nullptr), nullptr);
}

// The shared registry is kept per user and per display: a start on another X display does not find the
// window on the first one (it opens its own there), while another screen of the same display does.
TEST_F(InstanceTest, EachDisplayHasItsOwnRegistry)
{
    Environment environment;
    setenv("XDG_RUNTIME_DIR", m_scratch.c_str(), 1);
    setenv("DISPLAY", ":7", 1);
    const pid_t first = start_first_instance([] { instances::use_shared_registry(); });
    ASSERT_NE(first, 0) << "the first instance is up";

    struct Case {
        const char* display;
        const char* wayland;
        bool found;
    };
    for (const Case& c : {Case{":7", nullptr, true}, Case{":7.1", nullptr, true}, Case{":8", nullptr, false},
                          Case{"otherhost:7", nullptr, false}, Case{nullptr, "wayland-0", false}}) {
        c.display ? setenv("DISPLAY", c.display, 1) : unsetenv("DISPLAY");
        c.wayland ? setenv("WAYLAND_DISPLAY", c.wayland, 1) : unsetenv("WAYLAND_DISPLAY");
        instances::use_shared_registry();
        EXPECT_EQ(instances::find(L"KELVORA", L"Kelvora"), c.found ? std::optional<int>(first) : std::nullopt)
            << (c.display ? c.display : c.wayland);
    }
    instances::use_private_registry();
}

// A link planted under the name a start writes its entry through is removed, never written through.
TEST_F(InstanceTest, AnEntryIsNeverWrittenThroughAPlantedLink)
{
    const std::string victim = m_scratch + "/victim";
    std::ofstream(victim) << "untouched";
    instances::publish(L"PROBE", L"probe"); // shows how this process numbers its entries
    ASSERT_EQ(entry_count(), 1u);
    const std::string probe = entry_names().front();
    const std::string pid = std::to_string(getpid());
    ASSERT_EQ(probe.rfind(pid + "-", 0), 0u) << probe;
    const int number = std::atoi(probe.c_str() + pid.size() + 1);
    instances::withdraw(L"PROBE", L"probe");
    for (int next = number + 1; next <= number + 4; ++next)
        for (const char* suffix : {".tmp", ".entry"})
            ASSERT_EQ(symlink(victim.c_str(), (m_folder + "/" + pid + "-" + std::to_string(next) + suffix).c_str()), 0);

    instances::publish(L"KELVORA", L"Kelvora");
    EXPECT_EQ(read_text(victim), "untouched");
    size_t plain_entries = 0;
    for (const auto& e : fs::directory_iterator(m_folder))
        plain_entries += e.path().extension() == ".entry" && e.is_regular_file() && !e.is_symlink();
    EXPECT_EQ(plain_entries, 1u) << "the entry is a file of its own";
}

// A registry folder that others could write to, or that holds a file of another user, is closed and
// emptied before it is used; one that is not ours (or not a folder) is refused, and both are said.
TEST_F(InstanceTest, AFolderOthersCouldWriteIsEmptiedOrRefused)
{
    Environment environment;
    setenv("DISPLAY", ":7", 1);
    ASSERT_EQ(chmod(m_scratch.c_str(), 0711), 0); // the other user may reach what a case opens to it
    const std::string victim = m_scratch + "/victim";
    std::ofstream(victim) << "untouched";
    ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
    const std::string pid = std::to_string(getpid());

    struct Case {
        const char* name;
        std::function<void(const std::string& user, const std::string& display)> tamper;
        const char* said;
        bool usable;
    };
    const auto open_both = [](const std::string& user, const std::string& display) {
        chmod(user.c_str(), 0777);
        chmod(display.c_str(), 0777);
    };
    const Case cases[] = {
        {"left open to others, holding our entry", open_both, "was open to other users; emptied", true},
        {"left open while another user planted links to our files",
         [&](const std::string& user, const std::string& display) {
             open_both(user, display);
             ASSERT_TRUE(as_other_user([&] {
                 for (int n = 1; n <= 64; ++n)
                     if (symlink(victim.c_str(), (display + "/" + pid + "-" + std::to_string(n) + ".tmp").c_str()) != 0)
                         return false;
                 return true;
             }));
         },
         "was open to other users; emptied", true},
        {"closed again, with another user's entry inside",
         [&](const std::string& user, const std::string& display) {
             open_both(user, display);
             const std::string text = entry_text(getpid(), start_time_of(getpid()), L"Planted");
             ASSERT_TRUE(as_other_user([&] { return bool(std::ofstream(display + "/0-1.entry") << text); }));
             chmod(user.c_str(), 0700);
             chmod(display.c_str(), 0700);
         },
         "held files of another user; emptied", true},
        {"made by another user",
         [&](const std::string& user, const std::string&) {
             fs::remove_all(user);
             chmod(fs::path(user).parent_path().c_str(), 01777);
             ASSERT_TRUE(as_other_user([&] { return mkdir(user.c_str(), 0777) == 0; }));
         },
         "belongs to another user", false},
        {"a link to a folder elsewhere",
         [&](const std::string& user, const std::string&) {
             fs::remove_all(user);
             fs::create_directory(m_scratch + "/elsewhere");
             fs::create_directory_symlink(m_scratch + "/elsewhere", user);
         },
         "is not a folder", false},
        {"a plain file",
         [&](const std::string& user, const std::string&) {
             fs::remove_all(user);
             std::ofstream{user};
         },
         "is not a folder", false},
    };
    int round = 0;
    for (const Case& c : cases) {
        const std::string runtime = m_scratch + "/runtime" + std::to_string(++round);
        const std::string user = runtime + "/kelvora", display = user + "/x11-%3A7";
        ASSERT_EQ(mkdir(runtime.c_str(), 0711), 0);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        const pid_t first = start_first_instance([] { instances::use_shared_registry(); });
        ASSERT_NE(first, 0) << c.name << ": the first instance is up";
        c.tamper(user, display);
        chmod(runtime.c_str(), 0711);

        testing::internal::CaptureStderr();
        instances::use_shared_registry();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
        EXPECT_EQ(instances::find(L"KELVORA", L""), std::nullopt) << c.name << ": nothing from before is trusted";
        instances::publish(L"KELVORA", L"Second");
        EXPECT_EQ(read_text(victim), "untouched") << c.name;
        if (c.usable) {
            struct stat info {};
            ASSERT_EQ(lstat(display.c_str(), &info), 0) << c.name;
            EXPECT_EQ(info.st_mode & 07777, 0700u) << c.name;
            for (const auto& e : fs::recursive_directory_iterator(user)) {
                ASSERT_EQ(lstat(e.path().c_str(), &info), 0);
                EXPECT_EQ(info.st_uid, geteuid()) << c.name << ": " << e.path();
                EXPECT_FALSE(S_ISLNK(info.st_mode)) << c.name << ": " << e.path();
            }
        } else {
            EXPECT_FALSE(fs::exists(m_scratch + "/elsewhere/x11-%3A7")) << c.name << ": nothing written there";
            EXPECT_FALSE(fs::exists(display)) << c.name;
        }
        instances::use_private_registry();
        end_child(first);
    }
}

// Whatever is in the folder under an entry's name is read only when it is a small plain file of this
// user; anything else (a FIFO that would block, a link to an endless file, a file too big to be an
// entry, another user's file) is skipped and removed, and the real entries beside it still count.
TEST_F(InstanceTest, EntriesThatAreNoSmallFileOfOursAreSkippedAndRemoved)
{
    const pid_t first = start_first_instance();
    ASSERT_NE(first, 0) << "the first instance is up";
    const std::string planted_entry = entry_text(first, start_time_of(first), L"Planted");
    const std::string endless = m_scratch + "/endless";
    std::ofstream{endless};
    ASSERT_EQ(truncate(endless.c_str(), off_t(1) << 33), 0); // 8 GB of zeros that take no disk
    const std::string drop = m_scratch + "/drop";
    ASSERT_EQ(mkdir(drop.c_str(), 0700), 0);
    ASSERT_EQ(chmod(drop.c_str(), 01777), 0);
    ASSERT_EQ(chmod(m_scratch.c_str(), 0711), 0);

    const std::string planted = m_folder + "/0-1.entry"; // listed before the real entry
    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"FIFO", [&] { ASSERT_EQ(mkfifo(planted.c_str(), 0600), 0); }},
        {"link to an endless file", [&] { ASSERT_EQ(symlink(endless.c_str(), planted.c_str()), 0); }},
        {"endless file", [&] { ASSERT_EQ(link(endless.c_str(), planted.c_str()), 0); }},
        {"link to an entry elsewhere",
         [&] {
             std::ofstream(m_scratch + "/elsewhere.entry") << planted_entry;
             ASSERT_EQ(symlink((m_scratch + "/elsewhere.entry").c_str(), planted.c_str()), 0);
         }},
        {"entry of another user",
         [&] {
             ASSERT_TRUE(as_other_user([&] { return bool(std::ofstream(drop + "/entry") << planted_entry); }));
             ASSERT_EQ(rename((drop + "/entry").c_str(), planted.c_str()), 0);
         }},
        {"folder", [&] { ASSERT_EQ(mkdir(planted.c_str(), 0700), 0); }},
    };
    for (const Case& c : cases) {
        c.plant();
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        const Bounded outcome = run_bounded(
            [&] {
                if (instances::find(L"KELVORA", L"Planted"))
                    return 1;
                if (instances::find(L"KELVORA", L"Kelvora") != std::optional<int>(first))
                    return 2;
                return fs::exists(fs::symlink_status(planted)) ? 3 : 0;
            },
            std::chrono::seconds(5));
        EXPECT_EQ(outcome.m_exit, std::optional<int>(0))
            << c.name << ": 1 planted entry trusted, 2 real entry missed, 3 planted entry kept, 134 died, none: hung";
        EXPECT_LT(outcome.m_peak_kb, before.ru_maxrss + 64 * 1024) << c.name << ": read no more than an entry";
        fs::remove_all(planted);
    }
}

// A registration naming a live process of this user that is not a Kelvora (a `sleep`), or our program run
// by another user, is not found, and that process is never signalled.
TEST_F(InstanceTest, OnlyAKelvoraOfThisUserIsEverSignalled)
{
    struct Case {
        const char* name;
        std::function<pid_t()> start;
    };
    const Case cases[] = {
        {"sleep",
         [&] {
             int exec_done[2];
             EXPECT_EQ(pipe2(exec_done, O_CLOEXEC), 0);
             const pid_t pid = fork_child();
             if (pid == 0) {
                 execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
                 _exit(127);
             }
             close(exec_done[1]);
             (void)read_report(exec_done[0]); // end of file once sleep runs
             close(exec_done[0]);
             return pid;
         }},
        {"our program as another user",
         [&] {
             int up[2];
             EXPECT_EQ(pipe(up), 0);
             const pid_t pid = fork_child();
             if (pid == 0) {
                 if (setgid(other_user) != 0 || setuid(other_user) != 0)
                     _exit(1);
                 signal(SIGUSR1, SIG_DFL); // ends it, as it would a program that does not expect it
                 (void)!write(up[1], "U", 1);
                 pause();
                 _exit(0);
             }
             EXPECT_EQ(read_report(up[0]), 'U');
             close(up[0]);
             close(up[1]);
             return pid;
         }},
    };
    for (const Case& c : cases) {
        const pid_t pid = c.start();
        std::ofstream(m_folder + "/" + std::to_string(pid) + "-1.entry")
            << entry_text(pid, start_time_of(pid), L"Kelvora");
        EXPECT_EQ(FindWindowW(L"KELVORA", L"Kelvora"), nullptr) << c.name;
        std::ofstream(m_folder + "/" + std::to_string(pid) + "-1.entry")
            << entry_text(pid, start_time_of(pid), L"Kelvora");
        EXPECT_FALSE(instances::request_raise(pid)) << c.name;
        usleep(50000);
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << c.name << " still runs";
        end_child(pid);
    }
}

// Two copies started at the same moment end as one copy raised by the other: never two windows, never
// none. Once with a start slowed between its lookup and its window, then in pairs on a busy machine.
TEST_F(InstanceTest, TwoStartsAtOnceEndAsOneCopyRaised)
{
    struct Case {
        const char* name;
        int slow_start_ms;
        int busy_processes;
        int pairs;
    };
    for (const Case& c : {Case{"slow start", 200, 0, 1}, Case{"busy machine", 0, 2, 6}}) {
        std::vector<pid_t> busy;
        for (int i = 0; i < c.busy_processes; ++i)
            if (const pid_t pid = fork_child(); pid == 0)
                for (;;) {
                }
            else
                busy.push_back(pid);
        for (int pair = 0; pair < c.pairs; ++pair) {
            int go[2], reports[2];
            ASSERT_EQ(pipe(go), 0);
            ASSERT_EQ(pipe(reports), 0);
            pid_t starts[2];
            for (pid_t& start : starts) {
                start = fork_child();
                if (start != 0)
                    continue;
                close(go[1]);
                close(reports[0]);
                kelvora::device::start_headless();
                instances::use_registry_folder(m_folder);
                (void)read_report(go[0]); // both start together
                if (HWND found = FindWindowW(L"KELVORA", L"Kelvora")) {
                    const bool raised =
                        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1));
                    (void)!write(reports[1], raised ? "F" : "f", 1);
                    _exit(0);
                }
                usleep(c.slow_start_ms * 1000);
                show_main_window();
                (void)!write(reports[1], "W", 1);
                wait_for_raise(reports[1], 3000);
                _exit(0);
            }
            close(go[0]);
            close(go[1]);
            close(reports[1]);
            std::string seen;
            for (char report; (report = read_report(reports[0])) != 0;)
                seen += report;
            close(reports[0]);
            for (pid_t start : starts)
                end_child(start);
            std::sort(seen.begin(), seen.end());
            EXPECT_EQ(seen, "FRW") << c.name << ", pair " << pair << ": one window (W), found (F) and raised (R)";
        }
        for (pid_t pid : busy)
            end_child(pid);
    }
}

// A start that hangs between its lookup and its window delays the others a few seconds, never for ever
// (they go on without the registry, and say so); one that is killed there delays nobody.
TEST_F(InstanceTest, AStartHangingBeforeItsWindowDelaysOthersOnlyBriefly)
{
    const pid_t hanging = fork_child();
    if (hanging == 0) {
        kelvora::device::start_headless();
        instances::use_registry_folder(m_folder);
        (void)!write(m_reports[1], FindWindowW(L"KELVORA", L"Kelvora") ? "F" : "L", 1);
        pause();
        _exit(0);
    }
    ASSERT_EQ(next_report(), 'L') << "it looked, found nothing, and holds the registry";

    const auto before = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();
    EXPECT_EQ(FindWindowW(L"KELVORA", L"Kelvora"), nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, std::chrono::seconds(4));
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_NE(said.find("stayed locked"), std::string::npos) << said;

    end_child(hanging);
    const auto after_kill = std::chrono::steady_clock::now();
    instances::publish(L"KELVORA", L"Kelvora");
    EXPECT_EQ(entry_count(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - after_kill, std::chrono::seconds(1));
}

} // namespace
