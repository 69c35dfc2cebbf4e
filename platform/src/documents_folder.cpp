// SHGetSpecialFolderPath for the documents folder, and the UTF-8 conversion of paths.
#include <aygshell.h>

#include "controls_common.h"
#include "utf8.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::controls {
namespace {

// Length of the UTF-8 sequence starting with `lead`, 0 for a byte that cannot start one.
size_t sequence_length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

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

std::string to_utf8(std::wstring_view text)
{
    std::string out;
    for (wchar_t ch : text) {
        const auto cp = static_cast<unsigned long>(ch);
        if (cp != 0)
            platform::append_utf8(out, cp); // a value that is no character is left out
    }
    return out;
}

std::wstring from_utf8(std::string_view text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t n = sequence_length(lead);
        bool valid = n > 0 && i + n <= text.size();
        unsigned long cp = n == 1 ? lead : (lead & (0xFF >> (n + 1)));
        for (size_t k = 1; valid && k < n; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        out.push_back(valid ? static_cast<wchar_t>(cp) : L'\xFFFD');
        i += valid ? n : 1;
    }
    return out;
}

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
    const std::wstring wide = platform::controls::from_utf8(platform::controls::documents_folder());
    if (wide.size() + 1 > kMaxPath)
        return FALSE;
    wcscpy(path, wide.c_str());
    return TRUE;
}
