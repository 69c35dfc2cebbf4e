// Wide-path file access: _wfopen, MoveFileExW and DeleteFileW open, rename and remove files named by
// wide paths, which this host's file system takes as UTF-8.
#include <windows.h>

#include "utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Converts a zero-terminated wide string to UTF-8. Text that came through UTF-16 may hold surrogate
// pairs, which are joined; a lone surrogate or a value beyond U+10FFFF (a negative wchar_t included)
// cannot name a file and fails with EILSEQ.
bool to_utf8(const wchar_t* text, std::string& out)
{
    if (text == nullptr) {
        errno = EINVAL;
        return false;
    }
    out.clear();
    for (const wchar_t* p = text; *p != 0; ++p) {
        unsigned long cp = static_cast<unsigned long>(*p);
        if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned long>(p[1]) - 0xDC00);
            ++p;
        }
        if (!platform::append_utf8(out, cp)) {
            errno = EILSEQ;
            return false;
        }
    }
    return true;
}

} // namespace

FILE* _wfopen(const wchar_t* path, const wchar_t* mode)
{
    std::string narrow_path;
    std::string narrow_mode;
    if (!to_utf8(path, narrow_path) || !to_utf8(mode, narrow_mode)) return nullptr;
    if (narrow_mode.empty()) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(narrow_path.c_str(), narrow_mode.c_str());
}

BOOL WINAPI MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags)
{
    std::string from;
    std::string to;
    if (!to_utf8(existingName, from) || !to_utf8(newName, to)) return FALSE;
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) {
        struct stat info;
        if (lstat(to.c_str(), &info) == 0) {
            errno = EEXIST;
            return FALSE;
        }
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? TRUE : FALSE;
}

BOOL WINAPI DeleteFileW(LPCWSTR name)
{
    std::string narrow;
    if (!to_utf8(name, narrow)) return FALSE;
    return unlink(narrow.c_str()) == 0 ? TRUE : FALSE;
}
