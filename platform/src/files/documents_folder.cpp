// SHGetSpecialFolderPath for the documents folder.
#include <aygshell.h>

#include "controls/controls_common.h"
#include "text/text_encoding.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::controls {
namespace {

std::string home_folder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "/tmp";
}

// XDG_DOCUMENTS_DIR from the user-dirs file: a quoted path, "$HOME/..." or absolute.
std::string xdg_documents(const std::string& home)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base = config && *config ? std::string(config) : home + "/.config";
    std::ifstream in(base + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/' && value != home && value != home + "/")
            return value;
    }
    return {};
}

void make_folders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
        if (slash == std::string::npos)
            break;
    }
}

} // namespace

std::string documents_folder()
{
    const std::string home = home_folder();
    std::string folder = xdg_documents(home);
    if (folder.empty())
        folder = home + "/Documents";
    make_folders(folder);
    return folder;
}

} // namespace platform::controls

BOOL WINAPI SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL)
{
    // The documents folder is created whenever it is missing: the program saves there at once.
    constexpr size_t kMaxPath = 260; // the caller's buffer, as for the genuine call
    if (!path || folder != CSIDL_PERSONAL)
        return FALSE;
    const std::wstring wide = platform::utf8_to_wide(platform::controls::documents_folder());
    if (wide.size() + 1 > kMaxPath)
        return FALSE;
    wcscpy(path, wide.c_str());
    return TRUE;
}
