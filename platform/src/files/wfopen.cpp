// SPDX-License-Identifier: GPL-3.0-or-later
// Wide-path file access: _wfopen, MoveFileExW, ReplaceFileW, DeleteFileW and the final path of an open
// file, on a host whose file names are bytes (UTF-8 by convention).
#include <windows.h>
#include <kelvora_host.h>

#include "files/file_names.h"
#include "device/handles.h"
#include "files/system_handles.h"
#include "text/text_encoding.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::files {
namespace {

constexpr char32_t kFirstKeptByte = 0xDC80; // U+DC80 .. U+DCFF carry the bytes 0x80 .. 0xFF
constexpr uint8_t tag_file = 0x80;

bool is_kept_byte(char32_t cp)
{
    return cp >= kFirstKeptByte && cp <= kFirstKeptByte + 0x7F;
}

// A zero-terminated wide argument as host bytes; EINVAL for a null pointer.
bool host_argument(const wchar_t* text, std::string& out)
{
    if (text == nullptr) {
        errno = EINVAL;
        return false;
    }
    return to_host_name(text, out);
}

std::string folder_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename inside folder durable. Failure is not reported: the data itself was already synced.
void sync_folder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool sync_file(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

// open(2) flags of an fopen mode: "r", "w" or "a", then any of "+", "t", "b", and "x" (create only,
// never open an existing name or follow a link) after "w".
bool open_flags(std::string_view mode, int& flags, std::string& stream_mode)
{
    if (mode.empty())
        return false;
    bool update = false, exclusive = false;
    for (char c : mode.substr(1)) {
        if (c == '+')
            update = true;
        else if (c == 'x' && mode[0] == 'w')
            exclusive = true;
        else if (c != 't' && c != 'b')
            return false;
    }
    switch (mode[0]) {
    case 'r': flags = update ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC | (exclusive ? O_EXCL : 0); break;
    case 'a': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: return false;
    }
    stream_mode = std::string(1, mode[0]) + (update ? "+" : "");
    return true;
}

// Opens only regular files. The open itself must not wait: a FIFO would block until a writer comes,
// forever for a points file, so it is opened without blocking, checked, and then made blocking again.
int open_regular_file(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EACCES;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The replacement takes the replaced file's mode and, where this user may, its owner and group; the
// set-id bits stay only with the owner they belong to.
void take_owner_and_mode(int fd, const struct stat& replaced)
{
    mode_t mode = replaced.st_mode & 07777;
    if (fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
        mode &= ~S_ISUID;
        if (fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0)
            mode &= ~S_ISGID;
    }
    fchmod(fd, mode);
}

// The files opened by CreateFileW. They belong to the process, not to a device: the core and kelvora-fit
// open files with no device started.
HandleTable<int>& open_files()
{
    static HandleTable<int> table(tag_file, first_generation(0));
    return table;
}

} // namespace

bool to_host_name(std::wstring_view name, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        i += next_wide_code_point(name, i, cp);
        if (is_kept_byte(cp))
            out.push_back(static_cast<char>(cp - kFirstKeptByte + 0x80));
        else if (!append_utf8(out, cp)) {
            errno = EILSEQ;
            return false;
        }
    }
    return true;
}

std::wstring from_host_name(std::string_view name)
{
    std::wstring out;
    for (size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        const size_t length = decode_utf8(name, i, cp);
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(kFirstKeptByte + static_cast<unsigned char>(name[i]) - 0x80));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(cp));
            i += length;
        }
    }
    return out;
}

std::wstring shown_name(std::wstring_view name)
{
    std::wstring out(name);
    for (wchar_t& ch : out)
        if (is_kept_byte(static_cast<char32_t>(ch)))
            ch = L'\xFFFD';
    return out;
}

void ignore_file_size_signal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace platform::files

using platform::files::host_argument;

std::wstring kelvora_file_name_from_host(std::string_view name)
{
    return platform::files::from_host_name(name);
}

FILE* _wfopen(const wchar_t* path, const wchar_t* mode)
{
    std::string narrow_path, narrow_mode, stream_mode;
    int flags = 0;
    if (!host_argument(path, narrow_path) || !host_argument(mode, narrow_mode))
        return nullptr;
    if (!platform::files::open_flags(narrow_mode, flags, stream_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = platform::files::open_regular_file(narrow_path, flags);
    if (fd < 0)
        return nullptr;
    FILE* file = fdopen(fd, stream_mode.c_str());
    if (file == nullptr)
        close(fd);
    return file;
}

BOOL WINAPI MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags)
{
    std::string from, to;
    if (!host_argument(existingName, from) || !host_argument(newName, to))
        return FALSE;
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) {
        struct stat info;
        if (lstat(to.c_str(), &info) == 0) {
            errno = EEXIST;
            return FALSE;
        }
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) && !platform::files::sync_file(from))
        return FALSE;
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return FALSE;
    if (flags & MOVEFILE_WRITE_THROUGH)
        platform::files::sync_folder(platform::files::folder_of(to));
    return TRUE;
}

// The replaced file must exist, be a regular file and be writable by this user (a read-only file is not
// replaced, as on the desktop). The replacement keeps its mode and owner, reaches the disk, and then
// takes its name in one rename. No backup file is made.
BOOL WINAPI ReplaceFileW(LPCWSTR replacedName, LPCWSTR replacementName, LPCWSTR backupName, DWORD, LPVOID, LPVOID)
{
    std::string replaced, replacement;
    if (!host_argument(replacedName, replaced) || !host_argument(replacementName, replacement))
        return FALSE;
    if (backupName != nullptr) {
        errno = EINVAL;
        return FALSE;
    }
    struct stat info {};
    if (lstat(replaced.c_str(), &info) != 0 || faccessat(AT_FDCWD, replaced.c_str(), W_OK, AT_EACCESS) != 0)
        return FALSE;
    if (!S_ISREG(info.st_mode)) {
        errno = EACCES;
        return FALSE;
    }
    const int fd = open(replacement.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FALSE;
    platform::files::take_owner_and_mode(fd, info);
    const bool synced = fsync(fd) == 0;
    close(fd);
    if (!synced || std::rename(replacement.c_str(), replaced.c_str()) != 0)
        return FALSE;
    platform::files::sync_folder(platform::files::folder_of(replaced));
    return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR name)
{
    std::string narrow;
    if (!host_argument(name, narrow))
        return FALSE;
    return unlink(narrow.c_str()) == 0 ? TRUE : FALSE;
}

// Only what finding a file's final name needs: an existing file opened for no access. Symbolic links
// on the way are followed.
HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE)
{
    std::string narrow;
    if (!host_argument(name, narrow))
        return INVALID_HANDLE_VALUE;
    if (access != 0 || disposition != OPEN_EXISTING) {
        errno = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    const int fd = open(narrow.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(platform::files::open_files().add(std::make_unique<int>(fd)));
}

// The full name of the open file with every link resolved; as on the desktop, the length without the
// terminating zero, or the size needed (zero counted) when the buffer is too small, or 0 on failure.
DWORD WINAPI GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD capacity, DWORD)
{
    const int* fd = platform::files::open_files().get(reinterpret_cast<uintptr_t>(file));
    if (fd == nullptr)
        return 0;
    char target[PATH_MAX];
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(*fd)).c_str(), target, sizeof target);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof target) || target[0] != '/')
        return 0;
    const std::wstring wide = platform::files::from_host_name(std::string_view(target, static_cast<size_t>(n)));
    if (path == nullptr || wide.size() + 1 > capacity)
        return static_cast<DWORD>(wide.size() + 1);
    wide.copy(path, wide.size());
    path[wide.size()] = L'\0';
    return static_cast<DWORD>(wide.size());
}

// Files opened by CreateFileW and thread handles; a stream's handle stays with its stream.
BOOL WINAPI CloseHandle(HANDLE object)
{
    if (platform::threads::close_thread(object))
        return TRUE;
    auto& table = platform::files::open_files();
    const uintptr_t handle = reinterpret_cast<uintptr_t>(object);
    const int* fd = table.get(handle);
    if (fd == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(*fd);
    table.remove(handle);
    return TRUE;
}
