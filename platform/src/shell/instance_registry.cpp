// SPDX-License-Identifier: GPL-3.0-or-later
// The registry of top-level windows shared between processes of one user on one display: one small
// file per window in a private folder per display, checked for liveness on every lookup. Every look at
// or change of the folder is made under an exclusive lock on a file in it, so that a start's lookup and
// its registration are one step for the other starts.
#include "shell/instance_registry.h"

#include "shell/registry_folder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace platform::instances {
namespace {

using registry_folder::UniqueFd;

constexpr const char* lock_name = "registry.lock";
constexpr const char* entry_suffix = ".entry";
// An entry is a few dozen bytes; what is longer was not written by a Kelvora and is not read whole.
constexpr size_t entry_limit = 1024;
// How long a start waits for another one between its lookup and its registration; a start that hangs
// there delays the others by this much, never for ever.
constexpr auto lock_patience = std::chrono::seconds(5);

// The registry's state belongs to the device (instance_registry.h).
using Registry = RegistryState;

Registry& registry() { return registry_state(); }

volatile sig_atomic_t g_raise_requested = 0;

struct Entry {
    int pid = 0;
    unsigned long long start_time = 0;
    std::wstring class_name;
    std::wstring title;
};

void on_raise_signal(int)
{
    g_raise_requested = 1;
}

void install_raise_handler()
{
    struct sigaction action {};
    action.sa_handler = on_raise_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}

// ---- The lock ------------------------------------------------------------------------------------------

UniqueFd open_lock_file(int folder)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd lock(openat(folder, lock_name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
        struct stat info {};
        if (lock && fstat(lock.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid())
            return lock;
        registry_folder::remove_name(folder, lock_name); // a link, FIFO or folder in its place
    }
    return UniqueFd();
}

void release_lock()
{
    Registry& r = registry();
    if (r.m_lock && r.m_lock_holder == getpid())
        flock(r.m_lock.get(), LOCK_UN); // explicitly: a child forked meanwhile shares the descriptor
    r.m_lock.reset();
    r.m_held_for_start = false;
}

// Takes the lock unless this process holds it. The lock file is opened anew each time, so processes forked
// from one another never share the descriptor the lock belongs to.
bool hold_lock()
{
    Registry& r = registry();
    if (r.m_lock && r.m_lock_holder == getpid())
        return true;
    release_lock();
    UniqueFd lock = open_lock_file(r.m_folder.get());
    if (!lock)
        return false;
    const auto give_up = std::chrono::steady_clock::now() + lock_patience;
    while (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= give_up) {
            std::fprintf(stderr, "kelvora device: the instance registry stayed locked; other copies of the "
                                 "program are not looked for\n");
            return false;
        }
        usleep(5000);
    }
    r.m_lock = std::move(lock);
    r.m_lock_holder = getpid();
    return true;
}

void release_unless_starting()
{
    if (!registry().m_held_for_start)
        release_lock();
}

// ---- Processes -----------------------------------------------------------------------------------------

// Process start time in clock ticks since boot (field 22 of /proc/<pid>/stat); 0 when unknown. It tells a
// live process from a later one that was given the same pid.
unsigned long long start_time_of(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return 0;
    const size_t close = line.rfind(')'); // the command name may hold blanks and parentheses
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    return 0;
}

// The process runs this program's own file, as this user. Another user's process is not even looked into
// (its program file is hidden from us unless we are root).
bool runs_our_program(int pid)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat ours {}, theirs {}, owner {};
    return stat(proc.c_str(), &owner) == 0 && owner.st_uid == geteuid() && stat("/proc/self/exe", &ours) == 0 &&
           stat((proc + "/exe").c_str(), &theirs) == 0 && theirs.st_dev == ours.st_dev &&
           theirs.st_ino == ours.st_ino;
}

// The Kelvora that wrote the entry still runs: its pid started when the entry says and runs our program.
// Without a known start time the pid may since have gone to any other program, so such an entry is not
// trusted.
bool is_live_kelvora(const Entry& entry)
{
    return entry.start_time != 0 && start_time_of(entry.pid) == entry.start_time && runs_our_program(entry.pid);
}

// SIGUSR1 ends a program that does not expect it, so the process is checked first, through a descriptor
// that pins it: if it ended and its pid went to another program after the check, the signal goes nowhere.
bool signal_raise(const Entry& entry)
{
#if defined(SYS_pidfd_open) && defined(SYS_pidfd_send_signal)
    // Called directly: the C library's declarations of these calls are not usable from C++ everywhere.
    UniqueFd process(static_cast<int>(syscall(SYS_pidfd_open, entry.pid, 0)));
    const bool without_pidfd = !process && (errno == ENOSYS || errno == EPERM); // older kernels, some sandboxes
    if ((!process && !without_pidfd) || !is_live_kelvora(entry))
        return false;
    if (process)
        return syscall(SYS_pidfd_send_signal, process.get(), SIGUSR1, nullptr, 0) == 0;
#else
    if (!is_live_kelvora(entry)) // a system without these calls (WebAssembly) has no other processes either
        return false;
#endif
    return kill(entry.pid, SIGUSR1) == 0;
}

// ---- Entries -------------------------------------------------------------------------------------------

// Wide text stored as UTF-32 code values in decimal, so that any title survives the file unchanged.
std::string encode(std::wstring_view text)
{
    std::string out;
    for (wchar_t ch : text)
        out += std::to_string(static_cast<unsigned long>(ch)) + ' ';
    return out;
}

template <typename Number>
bool parse_number(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<std::wstring> decode(std::string_view line)
{
    std::wstring out;
    while (!line.empty()) {
        const size_t blank = line.find(' ');
        unsigned long value = 0;
        if (blank == std::string_view::npos || !parse_number(line.substr(0, blank), value) || value > 0x10FFFF)
            return std::nullopt;
        out.push_back(static_cast<wchar_t>(value));
        line.remove_prefix(blank + 1);
    }
    return out;
}

// Four lines: pid, start time, class name, title.
std::optional<Entry> parse_entry(std::string_view text)
{
    std::string_view lines[4];
    for (std::string_view& line : lines) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        line = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    Entry entry;
    const auto class_name = decode(lines[2]);
    const auto title = decode(lines[3]);
    if (!parse_number(lines[0], entry.pid) || entry.pid <= 0 || !parse_number(lines[1], entry.start_time) ||
        !class_name || !title || !text.empty())
        return std::nullopt;
    entry.class_name = *class_name;
    entry.title = *title;
    return entry;
}

struct NamedEntry {
    std::string m_name;
    Entry m_entry;
};

// The entries of the folder; anything else in it (a writer's leftover, or what was planted) is removed.
// Called under the lock, so no writer is midway.
std::vector<NamedEntry> read_entries()
{
    const int folder = registry().m_folder.get();
    std::vector<NamedEntry> entries;
    for (const std::string& name : registry_folder::names_in(folder)) {
        if (name == lock_name)
            continue;
        const auto text = name.ends_with(entry_suffix) ? registry_folder::read_own_file(folder, name, entry_limit)
                                                       : std::nullopt;
        auto entry = text ? parse_entry(*text) : std::nullopt;
        if (entry)
            entries.push_back({name, std::move(*entry)});
        else
            registry_folder::remove_name(folder, name);
    }
    return entries;
}

void remove_own_entries(std::wstring_view class_name, std::wstring_view title)
{
    for (const NamedEntry& e : read_entries())
        if (e.m_entry.pid == getpid() && e.m_entry.class_name == class_name && e.m_entry.title == title)
            registry_folder::remove_name(registry().m_folder.get(), e.m_name);
}

// Class names compare without regard to case, as window classes do; titles exactly.
bool same_class(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

bool matches(const Entry& entry, std::wstring_view class_name, std::wstring_view title)
{
    return (class_name.empty() || same_class(entry.class_name, class_name)) && (title.empty() || entry.title == title);
}

void select_folder(UniqueFd folder)
{
    release_lock();
    registry().m_folder = std::move(folder);
    if (registry().m_folder)
        install_raise_handler();
}

// Letters, digits, '.', '-' and '_' as they are, every other byte as %XX: a folder name per display.
std::string folder_name_of(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '.' || c == '-' || c == '_') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 15]);
        }
    }
    return out;
}

// The display the desktop window opens on, as the window system names it. SDL takes X11 when DISPLAY
// is set unless told to use Wayland. An X display's screen number is dropped: ":0" and ":0.0" are one.
std::string display_key()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const bool wants_wayland = driver && std::string_view(driver) == "wayland" && wayland && *wayland;
    if (x11 && *x11 && !wants_wayland) {
        std::string name = x11;
        const size_t colon = name.rfind(':');
        const size_t dot = name.find('.', colon == std::string::npos ? 0 : colon);
        if (colon != std::string::npos && dot != std::string::npos)
            name.erase(dot);
        return "x11-" + folder_name_of(name);
    }
    if (wayland && *wayland)
        return "wayland-" + folder_name_of(wayland);
    return "no-display";
}

} // namespace

void use_shared_registry()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string user_folder = runtime && *runtime ? std::string(runtime) + "/kelvora"
                                                        : "/tmp/kelvora-" + std::to_string(getuid());
    const UniqueFd user = registry_folder::open_private_folder(AT_FDCWD, user_folder, user_folder);
    const std::string display = display_key();
    select_folder(user ? registry_folder::open_private_folder(user.get(), display, user_folder + "/" + display)
                       : UniqueFd());
}

void use_private_registry()
{
    select_folder(UniqueFd());
}

void use_registry_folder(const std::string& folder)
{
    select_folder(registry_folder::open_private_folder(AT_FDCWD, folder, folder));
}

void publish(std::wstring_view class_name, std::wstring_view title)
{
    Registry& r = registry();
    if (!r.m_folder || !hold_lock())
        return;
    remove_own_entries(class_name, title);
    const unsigned long long start_time = start_time_of(getpid());
    const std::string text = std::to_string(getpid()) + '\n' + std::to_string(start_time) + '\n' +
                             encode(class_name) + '\n' + encode(title) + '\n';
    // An entry without a start time would never be trusted, and a longer one than readers take never read.
    if (start_time != 0 && text.size() <= entry_limit) {
        const std::string base = std::to_string(getpid()) + "-" + std::to_string(++r.m_sequence);
        registry_folder::write_new_file(r.m_folder.get(), base + ".tmp", base + entry_suffix, text);
    }
    release_lock(); // registered: a start that waits for this one may look now
}

void withdraw(std::wstring_view class_name, std::wstring_view title)
{
    if (!registry().m_folder || !hold_lock())
        return;
    remove_own_entries(class_name, title);
    release_unless_starting();
}

std::optional<int> find(std::wstring_view class_name, std::wstring_view title)
{
    Registry& r = registry();
    if (!r.m_folder || !hold_lock())
        return std::nullopt;
    std::optional<int> found;
    for (const NamedEntry& e : read_entries()) {
        if (!is_live_kelvora(e.m_entry)) {
            registry_folder::remove_name(r.m_folder.get(), e.m_name); // left by a crashed process
            continue;
        }
        if (!found && e.m_entry.pid != getpid() && matches(e.m_entry, class_name, title))
            found = e.m_entry.pid;
    }
    // Nothing found: this process may be starting and register its window next. Other starts wait
    // until it does (or its event loop runs, or it ends), so that two starts never both find nothing.
    if (found)
        release_unless_starting();
    else
        r.m_held_for_start = true;
    return found;
}

bool request_raise(int pid)
{
    if (pid <= 0 || pid == getpid() || !registry().m_folder || !hold_lock())
        return false;
    bool delivered = false;
    for (const NamedEntry& e : read_entries())
        if (e.m_entry.pid == pid && signal_raise(e.m_entry)) {
            delivered = true;
            break;
        }
    release_unless_starting();
    return delivered;
}

bool take_raise_request()
{
    // Polled from the event loop: start-up is over, whether or not it registered a window.
    if (registry().m_held_for_start)
        release_lock();
    if (!g_raise_requested)
        return false;
    g_raise_requested = 0;
    return true;
}

} // namespace platform::instances
