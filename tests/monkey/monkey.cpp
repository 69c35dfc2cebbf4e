// SPDX-License-Identifier: GPL-3.0-or-later
// The monkey: the real program on the headless device under a long stream of random events from fixed
// seeds, with the point-table and model invariants checked every time the program waits for input.
// Each seed runs in a child process, so that a sanitizer report or a hang is caught as well; a failing
// seed is shrunk to a short kelvora-replay script that shows the fault again.
//
//   kelvora_monkey                 100,000 events over the fixed seeds (the test suite's run)
//   kelvora_monkey --offline       1,000,000 events (also KELVORA_MONKEY_EVENTS=N for any number)
//   kelvora_monkey --seed S        one seed alone
#include <kelvora_device.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/landlock.h>
#include <signal.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app_state.h"
#include "monkey_events.h"

namespace device = kelvora::device;

namespace {

const unsigned kSeeds[] = {1, 2, 3, 5, 8, 13, 21, 34, 55, 89};
const int kDefaultEvents = 100000;
const int kOfflineEvents = 1000000;
const int kShrinkBudget = 400;
const int kFilePickerNameField = 1152;

// What a child reports back to its parent, in memory shared between the two.
struct ChildReport {
    int eventsDone;
    int restarts;
    char message[512];
};

struct Run {
    std::string root;          // private folder of this monkey: HOME of the program, its documents below
    ChildReport* report;       // shared with the children
    bool writesConfined;       // the kernel keeps every write of a child inside `root`
};

void fail(ChildReport* report, const std::string& message)
{
    std::snprintf(report->message, sizeof report->message, "%s", message.c_str());
    std::fprintf(stderr, "monkey: %s\n", report->message);
    _exit(2);
}

void checkInvariants(ChildReport* report)
{
    const PointTable& table = g_app.points;
    if (table.pointCount < 0 || table.pointCount > POINT_CAPACITY)
        fail(report, "pointCount " + std::to_string(table.pointCount) + " outside 0.." + std::to_string(POINT_CAPACITY));
    bool indexValid = table.pointCount == 0 ? table.currentIndex == 0
                                            : table.currentIndex >= 0 && table.currentIndex < table.pointCount;
    if (!indexValid)
        fail(report, "currentIndex " + std::to_string(table.currentIndex) + " with pointCount " +
                         std::to_string(table.pointCount));
    if (g_app.modelId < 0 || g_app.modelId > 15) fail(report, "modelId " + std::to_string(g_app.modelId));
}

// Keeps every write of this process (files made, written, removed, renamed) inside `root`, with the
// kernel's Landlock rules; reading stays free. False when the kernel has no Landlock.
bool confineWrites(const std::string& root)
{
    const __u64 writes = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE |
                         LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                         LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK |
                         LANDLOCK_ACCESS_FS_MAKE_SYM;
    landlock_ruleset_attr ruleset{};
    ruleset.handled_access_fs = writes;
    int rules = static_cast<int>(syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0));
    if (rules < 0) return false;
    landlock_path_beneath_attr beneath{};
    beneath.allowed_access = writes;
    beneath.parent_fd = open(root.c_str(), O_PATH | O_CLOEXEC);
    bool ok = beneath.parent_fd >= 0 &&
              syscall(SYS_landlock_add_rule, rules, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0) == 0 &&
              prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && syscall(SYS_landlock_restrict_self, rules, 0) == 0;
    if (beneath.parent_fd >= 0) close(beneath.parent_fd);
    close(rules);
    return ok;
}

bool filePickerInFront()
{
    auto windows = device::top_level_windows();
    return !windows.empty() && GetDlgItem(windows.front().hwnd, kFilePickerNameField) != nullptr;
}

// The child: the program from a fresh start, fed `count` random events of `seed`, or the lines of
// `script` when it is given. Every line is written to `logFd` before it is performed.
[[noreturn]] void childRun(const Run& run, unsigned seed, int count, const monkey::Script* script, int logFd)
{
    std::string home = run.root + "/home";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    if (run.writesConfined && !confineWrites(run.root)) fail(run.report, "cannot confine writes");
    std::mt19937 random(seed);
    int next = 0;
    int total = script ? static_cast<int>(script->size()) : count;
    auto log = [&](const std::string& line) {
        std::string text = line + "\n";
        if (logFd >= 0 && write(logFd, text.data(), text.size()) < 0) fail(run.report, "cannot write the log");
    };
    for (;;) {
        resetAppState();
        device::start_headless();
        // When the events have run out the handler reports no more input: the program's loops end with
        // WM_QUIT and WinMain returns.
        device::set_idle_handler([&]() -> bool {
            checkInvariants(run.report);
            if (next >= total) return false;
            std::string line;
            if (script) {
                line = (*script)[next];
            } else if (!run.writesConfined && filePickerInFront()) {
                line = "key Escape"; // without confinement the picker could reach folders not ours
            } else {
                line = monkey::randomEvent(random);
            }
            log(line);
            if (!monkey::performEvent(line)) fail(run.report, "unknown line: " + line);
            run.report->eventsDone = ++next;
            return true;
        });
        wchar_t commandLine[] = L"";
        WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
        checkInvariants(run.report);
        if (next >= total) break;
        run.report->restarts++;
        log(monkey::kRestartLine);
        device::set_idle_handler(nullptr);
        device::stop();
    }
    device::set_idle_handler(nullptr);
    device::stop();
    std::exit(0); // through exit, so that the leak checker looks at the end
}

void removeTree(const std::string& path)
{
    std::string command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "monkey: cannot remove %s\n", path.c_str());
}

// Runs one child to its end; true when it failed (invariant, sanitizer, crash or hang).
bool runChild(const Run& run, unsigned seed, int count, const monkey::Script* script, const std::string& logPath,
              bool quiet)
{
    removeTree(run.root + "/home");
    std::memset(run.report, 0, sizeof *run.report);
    int logFd = logPath.empty() ? -1 : open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, STDERR_FILENO);
        }
        // A generous bound: a hang is a fault too.
        alarm(static_cast<unsigned>(120 + (script ? script->size() : static_cast<size_t>(count)) / 50));
        childRun(run, seed, count, script, logFd);
    }
    if (logFd >= 0) close(logFd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return false;
    if (run.report->message[0] == 0) {
        if (WIFSIGNALED(status)) {
            std::snprintf(run.report->message, sizeof run.report->message, "killed by signal %d%s", WTERMSIG(status),
                          WTERMSIG(status) == SIGALRM ? " (the program hung)" : "");
        } else {
            std::snprintf(run.report->message, sizeof run.report->message, "exit status %d (sanitizer report above)",
                          WEXITSTATUS(status));
        }
    }
    return true;
}

monkey::Script readLines(const std::string& path)
{
    monkey::Script lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void printReproduction(unsigned seed, const monkey::Script& script)
{
    std::printf("\nmonkey: seed %u fails; a minimal script (%zu lines) that shows it again:\n", seed, script.size());
    std::printf("# run: HOME=$(mktemp -d) XDG_CONFIG_HOME=$HOME kelvora-replay THIS_FILE\n");
    for (const std::string& line : script) std::printf("%s\n", line.c_str());
    std::printf("# end of script\n");
}

// Shrinks the events of a failed seed, as logged by its child, and prints them as a script.
void reportFailure(const Run& run, unsigned seed, const std::string& logPath)
{
    std::string message = run.report->message;
    monkey::Script events = readLines(logPath);
    std::fprintf(stderr, "monkey: seed %u failed after %zu events: %s; shrinking...\n", seed, events.size(),
                 message.c_str());
    monkey::Script minimal = monkey::shrinkEvents(events, kShrinkBudget, [&](const monkey::Script& candidate) {
        return runChild(run, seed, 0, &candidate, "", true);
    });
    printReproduction(seed, minimal);
    std::printf("monkey: seed %u: %s\n", seed, message.c_str());
}

int eventCount(int argc, char** argv)
{
    const char* fromEnvironment = std::getenv("KELVORA_MONKEY_EVENTS");
    int count = fromEnvironment ? std::atoi(fromEnvironment) : kDefaultEvents;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--offline") == 0) count = kOfflineEvents;
        if (std::strcmp(argv[i], "--events") == 0 && i + 1 < argc) count = std::atoi(argv[i + 1]);
    }
    return count > 0 ? count : kDefaultEvents;
}

std::vector<unsigned> seedList(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i++) {
        if (std::strcmp(argv[i], "--seed") == 0) return {static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10))};
    }
    return std::vector<unsigned>(std::begin(kSeeds), std::end(kSeeds));
}

// Processor time of all finished children, in seconds: the machine may be shared, the wall clock says little.
double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string makeRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelvora-monkey-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    return mkdtemp(name.data()) ? std::string(name.data()) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    Run run;
    run.root = makeRoot();
    if (run.root.empty()) {
        std::perror("monkey: private folder");
        return 1;
    }
    void* shared = mmap(nullptr, sizeof(ChildReport), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return 1;
    run.report = static_cast<ChildReport*>(shared);
    // Probed in a child of its own, since a confinement cannot be lifted again.
    pid_t probe = fork();
    if (probe == 0) _exit(confineWrites(run.root) ? 0 : 1);
    int probeStatus = 1;
    waitpid(probe, &probeStatus, 0);
    run.writesConfined = WIFEXITED(probeStatus) && WEXITSTATUS(probeStatus) == 0;
    if (!run.writesConfined) std::fprintf(stderr, "monkey: no Landlock here: file pickers are answered with Escape\n");

    const std::vector<unsigned> seeds = seedList(argc, argv);
    const int total = eventCount(argc, argv);
    const int perSeed = (total + static_cast<int>(seeds.size()) - 1) / static_cast<int>(seeds.size());
    const std::string logPath = run.root + "/events.log";
    int failures = 0;
    long events = 0;
    auto started = std::chrono::steady_clock::now();
    for (unsigned seed : seeds) {
        auto seedStart = std::chrono::steady_clock::now();
        bool failed = runChild(run, seed, perSeed, nullptr, logPath, false);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - seedStart).count();
        events += run.report->eventsDone;
        std::fprintf(stderr, "monkey: seed %u: %d events, %d restarts, %.1f s%s\n", seed, run.report->eventsDone,
                     run.report->restarts, seconds, failed ? ", FAILED" : "");
        if (failed) {
            failures++;
            reportFailure(run, seed, logPath);
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("monkey: %ld events over %zu seeds in %.1f s (%.1f s of processor time), %d failing seeds\n", events,
                seeds.size(), seconds, childCpuSeconds(), failures);
    removeTree(run.root);
    return failures == 0 ? 0 : 1;
}
