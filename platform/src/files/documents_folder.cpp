// SPDX-License-Identifier: GPL-3.0-or-later
// SHGetSpecialFolderPath for the documents folder.
#include <aygshell.h>

#include "controls/controls_common.h"
#include "files/file_names.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::controls {
namespace {

constexpr size_t kFolderPathCapacity = 1000; // the caller's buffer (see aygshell.h)

// The home folder, or empty with why not in `problem`. Only a full path will do: a relative HOME
// would put the documents folder under whatever folder the program was started in.
std::string home_folder(std::string& problem)
{
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home) {
        problem = "no home folder is set";
        return {};
    }
    if (home[0] != '/') {
        problem = std::string("the home folder \"") + home + "\" is not a full path";
        return {};
    }
    return home;
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

// Creates the folder and the missing ones above it; empty when it is a folder afterwards, else why not.
std::string make_folders(const std::string& path)
{
    int error = ENOTDIR;
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST)
            error = errno;
        if (slash == std::string::npos)
            break;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {};
    return path + ": " + std::strerror(error);
}

} // namespace

DocumentsFolder documents_folder()
{
    DocumentsFolder found;
    const std::string home = home_folder(found.problem);
    if (home.empty())
        return found;
    std::string folder = xdg_documents(home);
    if (folder.empty())
        folder = home + "/Documents";
    found.problem = make_folders(folder);
    if (found.problem.empty())
        found.path = folder;
    return found;
}

} // namespace platform::controls

BOOL WINAPI SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL)
{
    // The documents folder is created whenever it is missing: the program saves there at once. Its
    // bytes travel as file names do, so a home folder whose name is not UTF-8 is found again.
    if (!path || folder != CSIDL_PERSONAL)
        return FALSE;
    path[0] = L'\0'; // a failed lookup leaves no folder of an earlier one behind
    const std::string found = platform::controls::documents_folder().path;
    const std::wstring wide = platform::files::from_host_name(found);
    if (found.empty() || wide.size() + 1 > platform::controls::kFolderPathCapacity)
        return FALSE;
    wcscpy(path, wide.c_str());
    return TRUE;
}
