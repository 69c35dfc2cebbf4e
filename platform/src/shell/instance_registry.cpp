// The registry of top-level windows shared between processes of one user on one display: one small
// file per window in a private folder per display, checked for liveness on every lookup.
#include "shell/instance_registry.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::instances {
namespace {

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

// Wide text stored as UTF-32 code values in decimal, so that any title survives the file unchanged.
std::string encode(std::wstring_view text)
{
    std::string out;
    for (wchar_t ch : text)
        out += std::to_string(static_cast<unsigned long>(ch)) + ' ';
    return out;
}

std::wstring decode(const std::string& line)
{
    std::istringstream in(line);
    std::wstring out;
    unsigned long value = 0;
    while (in >> value && out.size() < 4096)
        out.push_back(static_cast<wchar_t>(value));
    return out;
}

bool read_entry(const std::string& path, Entry& entry)
{
    std::ifstream in(path);
    std::string pid, start, cls, title;
    if (!std::getline(in, pid) || !std::getline(in, start) || !std::getline(in, cls) || !std::getline(in, title))
        return false;
    entry.pid = std::atoi(pid.c_str());
    entry.start_time = std::strtoull(start.c_str(), nullptr, 10);
    entry.class_name = decode(cls);
    entry.title = decode(title);
    return entry.pid > 0;
}

// The process that wrote the entry still runs: its pid exists and started when the entry says. Without
// a known start time the pid may since have gone to any other program, so such an entry is not trusted.
bool is_alive(const Entry& entry)
{
    if (entry.start_time == 0 || (kill(entry.pid, 0) != 0 && errno == ESRCH))
        return false;
    return start_time_of(entry.pid) == entry.start_time;
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

std::vector<std::string> entry_files()
{
    std::vector<std::string> names;
    if (registry_state().m_folder.empty())
        return names;
    DIR* dir = opendir(registry_state().m_folder.c_str());
    if (!dir)
        return names;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 6 && name.ends_with(".entry"))
            names.push_back(registry_state().m_folder + "/" + name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The folder must be ours alone: a directory (not a link) owned by this user, closed to others.
bool prepare_folder(const std::string& folder)
{
    mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return false;
    if ((info.st_mode & 0077) != 0)
        chmod(folder.c_str(), 0700);
    return true;
}

void select_folder(const std::string& folder)
{
    registry_state().m_folder = prepare_folder(folder) ? folder : std::string();
    if (!registry_state().m_folder.empty())
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
    if (prepare_folder(user_folder))
        select_folder(user_folder + "/" + display_key());
    else
        registry_state().m_folder.clear();
}

void use_private_registry()
{
    registry_state().m_folder.clear();
}

void use_registry_folder(const std::string& folder)
{
    select_folder(folder);
}

void publish(std::wstring_view class_name, std::wstring_view title)
{
    if (registry_state().m_folder.empty())
        return;
    withdraw(class_name, title);
    const unsigned long long start_time = start_time_of(getpid());
    if (start_time == 0)
        return; // an entry without it would never be trusted
    const std::string base = registry_state().m_folder + "/" + std::to_string(getpid()) + "-" +
                             std::to_string(++registry_state().m_sequence);
    {
        std::ofstream out(base + ".tmp", std::ios::trunc);
        out << getpid() << '\n'
            << start_time << '\n'
            << encode(class_name) << '\n'
            << encode(title) << '\n';
        if (!out)
            return;
    }
    std::rename((base + ".tmp").c_str(), (base + ".entry").c_str()); // readers never see half an entry
}

void withdraw(std::wstring_view class_name, std::wstring_view title)
{
    for (const std::string& path : entry_files()) {
        Entry entry;
        if (read_entry(path, entry) && entry.pid == getpid() && entry.class_name == class_name &&
            entry.title == title)
            std::remove(path.c_str());
    }
}

std::optional<int> find(std::wstring_view class_name, std::wstring_view title)
{
    for (const std::string& path : entry_files()) {
        Entry entry;
        if (!read_entry(path, entry) || !is_alive(entry)) {
            std::remove(path.c_str()); // left by a crashed process: never blocks a new start
            continue;
        }
        if (entry.pid != getpid() && matches(entry, class_name, title))
            return entry.pid;
    }
    return std::nullopt;
}

bool request_raise(int pid)
{
    if (pid <= 0 || pid == getpid())
        return false;
    // Only a live registered process is signalled: SIGUSR1 would end a program that does not expect it.
    for (const std::string& path : entry_files()) {
        Entry entry;
        if (read_entry(path, entry) && entry.pid == pid && is_alive(entry))
            return kill(pid, SIGUSR1) == 0;
    }
    return false;
}

bool take_raise_request()
{
    if (!g_raise_requested)
        return false;
    g_raise_requested = 0;
    return true;
}

} // namespace platform::instances
