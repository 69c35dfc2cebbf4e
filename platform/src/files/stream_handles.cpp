// SPDX-License-Identifier: GPL-3.0-or-later
// The system handle behind a C stream, for reads at a position of their own: a second reader of the
// same open file never moves the stream under the first. The handle carries the descriptor itself, so
// it is valid on any thread without a table, and it belongs to the stream: CloseHandle refuses it.
#include "files/system_handles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::files {
namespace {

// The descriptors a handle can carry: all of them with 64-bit handles, 4095 in the page's 32 bits.
constexpr long long max_descriptor = handle_layout::wide ? 0x7FFFFFFF : handle_layout::generation_mask;

HANDLE handle_of_descriptor(int descriptor)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(descriptor) << handle_layout::generation_shift |
                                    tag_stream_file);
}

// The descriptor of a handle, or -1 (ERROR_INVALID_HANDLE) when it is none or no longer open.
int open_descriptor(HANDLE handle)
{
    const int descriptor = stream_descriptor(handle);
    if (descriptor < 0 || fcntl(descriptor, F_GETFD) < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return descriptor;
}

} // namespace

int stream_descriptor(HANDLE handle)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if ((value & 0xFF) != tag_stream_file || (value >> 8 & handle_layout::slot_mask) != 0)
        return -1;
    return static_cast<int>(value >> handle_layout::generation_shift);
}

} // namespace platform::files

using platform::files::open_descriptor;

int _fileno(FILE* stream)
{
    if (stream == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return fileno(stream);
}

intptr_t _get_osfhandle(int descriptor)
{
    if (descriptor < 0 || descriptor > platform::files::max_descriptor || fcntl(descriptor, F_GETFD) < 0) {
        errno = EBADF;
        return reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
    }
    return reinterpret_cast<intptr_t>(platform::files::handle_of_descriptor(descriptor));
}

DWORD WINAPI GetFileType(HANDLE file)
{
    const int descriptor = open_descriptor(file);
    struct stat info {};
    if (descriptor < 0 || fstat(descriptor, &info) != 0)
        return FILE_TYPE_UNKNOWN;
    if (S_ISREG(info.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISCHR(info.st_mode))
        return FILE_TYPE_CHAR;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

BOOL WINAPI GetFileSizeEx(HANDLE file, PLARGE_INTEGER size)
{
    const int descriptor = open_descriptor(file);
    struct stat info {};
    if (descriptor < 0 || size == nullptr || fstat(descriptor, &info) != 0) {
        if (descriptor >= 0)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size->QuadPart = static_cast<LONGLONG>(info.st_size);
    return TRUE;
}

// Without overlapped the read continues at the descriptor's position, as the stream's own reads do;
// with it, at Offset and OffsetHigh, and the end of the file is a failure (ERROR_HANDLE_EOF) as it is
// for such reads on the desktop.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (read != nullptr)
        *read = 0;
    const int descriptor = open_descriptor(file);
    if (descriptor < 0)
        return FALSE;
    if (buffer == nullptr && wanted > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ssize_t got;
    do {
        got = overlapped == nullptr
                  ? ::read(descriptor, buffer, wanted)
                  : pread(descriptor, buffer, wanted,
                          static_cast<off_t>(static_cast<uint64_t>(overlapped->OffsetHigh) << 32 | overlapped->Offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        SetLastError(errno == EISDIR || errno == EBADF ? ERROR_INVALID_HANDLE : ERROR_READ_FAULT);
        return FALSE;
    }
    if (read != nullptr)
        *read = static_cast<DWORD>(got);
    if (overlapped != nullptr) {
        overlapped->Internal = 0;
        overlapped->InternalHigh = static_cast<ULONG_PTR>(got);
        if (got == 0 && wanted > 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
    }
    return TRUE;
}
