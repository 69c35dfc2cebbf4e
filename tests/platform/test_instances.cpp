// The single-instance rule across processes: a second process finds the first one's window through the
// registry folder, raises it, and a registration left by a killed process is ignored and cleaned up.
#include <windows.h>

#include <kelvora_device.h>

#include "shell/instance_registry.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace instances = platform::instances;

namespace {

LRESULT CALLBACK plain_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kelvora-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
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
        fs::remove_all(m_folder);
    }

    // A first instance in its own process: it shows its main window, reports through the pipe that it
    // is up ('U') and, when asked to come to the front, that it was raised ('R').
    pid_t start_first_instance(int report_fd, const std::function<void()>& choose_registry = {})
    {
        const pid_t pid = fork();
        if (pid != 0) {
            m_children.push_back(pid);
            return pid;
        }
        kelvora::device::start_headless();
        if (choose_registry)
            choose_registry();
        else
            instances::use_registry_folder(m_folder);
        WNDCLASSW wc{};
        wc.lpfnWndProc = plain_proc;
        wc.lpszClassName = L"KELVORA";
        RegisterClassW(&wc);
        CreateWindowExW(0, L"KELVORA", L"Kelvora", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                        nullptr, nullptr);
        kelvora::device::pump();
        (void)!write(report_fd, "U", 1);
        for (int i = 0; i < 5000; ++i) {
            if (instances::take_raise_request()) {
                (void)!write(report_fd, "R", 1);
                break;
            }
            usleep(1000);
        }
        _exit(0);
    }

    static char read_report(int fd)
    {
        char c = 0;
        return read(fd, &c, 1) == 1 ? c : 0;
    }

    size_t entry_count() const
    {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(m_folder))
            n += e.path().extension() == ".entry";
        return n;
    }

    std::string m_folder;
    std::vector<pid_t> m_children;
};

TEST_F(InstanceTest, SecondStartFindsAndRaisesTheFirst)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t first = start_first_instance(fds[1]);
    ASSERT_EQ(read_report(fds[0]), 'U');

    EXPECT_EQ(FindWindowW(L"KELVORA", L"Other title"), nullptr);
    HWND found = FindWindowW(L"Kelvora", L"Kelvora"); // class names ignore case
    ASSERT_NE(found, nullptr) << "the window of the other process is found";
    EXPECT_EQ(instances::find(L"KELVORA", L""), std::optional<int>(first));
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));
    EXPECT_EQ(read_report(fds[0]), 'R') << "the first instance was asked to come to the front";
    close(fds[0]);
    close(fds[1]);
}

TEST_F(InstanceTest, RegistrationOfAKilledProcessNeverBlocksANewStart)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t first = start_first_instance(fds[1]);
    ASSERT_EQ(read_report(fds[0]), 'U');
    ASSERT_EQ(entry_count(), 1u);
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    m_children.clear();

    EXPECT_EQ(FindWindowW(L"KELVORA", L"Kelvora"), nullptr);
    EXPECT_EQ(entry_count(), 0u) << "the stale registration is removed";
    EXPECT_FALSE(instances::request_raise(first)) << "a dead process is not signalled";
    close(fds[0]);
    close(fds[1]);
}

TEST_F(InstanceTest, ForgedOrReusedRegistrationsAreIgnored)
{
    struct Case {
        const char* name;
        std::string content;
    };
    // The parent process is alive but is not the one that registered: its start time differs.
    const std::string parent = std::to_string(getppid());
    const Case cases[] = {
        {"pid reused by another program", parent + "\n1\n75 69 76 86 79 82 65 \n75 101 108 118 111 114 97 \n"},
        {"start time unknown", parent + "\n0\n75 69 76 86 79 82 65 \n75 101 108 118 111 114 97 \n"},
        {"garbage", "not an entry"},
        {"truncated", parent + "\n"},
    };
    for (const Case& c : cases) {
        std::ofstream(m_folder + "/" + parent + "-1.entry") << c.content;
        EXPECT_EQ(instances::find(L"KELVORA", L"Kelvora"), std::nullopt) << c.name;
        EXPECT_EQ(entry_count(), 0u) << c.name;
        EXPECT_FALSE(instances::request_raise(getppid())) << c.name << ": never signal a process we did not see register";
    }
}

TEST_F(InstanceTest, PrivateRegistrySeesNoOtherProcess)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    start_first_instance(fds[1]);
    ASSERT_EQ(read_report(fds[0]), 'U');
    instances::use_private_registry();
    EXPECT_EQ(FindWindowW(L"KELVORA", nullptr), nullptr);
    close(fds[0]);
    close(fds[1]);
}

// The shared registry is kept per user and per display: a start on another X display does not find the
// window on the first one (it opens its own there), while another screen of the same display does.
TEST_F(InstanceTest, EachDisplayHasItsOwnRegistry)
{
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    setenv("DISPLAY", ":7", 1);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t first = start_first_instance(fds[1], [] { instances::use_shared_registry(); });
    ASSERT_EQ(read_report(fds[0]), 'U');

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
    for (const auto& [name, value] : saved)
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    close(fds[0]);
    close(fds[1]);
}

} // namespace
