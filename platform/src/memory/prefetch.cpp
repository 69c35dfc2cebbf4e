// SPDX-License-Identifier: GPL-3.0-or-later
// PrefetchVirtualMemory: the ranges are faulted in before the caller writes them, all in one call, so
// that a thread can bring in memory another is about to fill. Contents stay as they are: pages already
// there are left alone, new ones read as zero. (Large pages were tried: where the kernel has to
// compact memory for them, a call took up to 30 ms instead of 5.)
#include "files/system_handles.h"

#include <cerrno>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

#if !defined(__EMSCRIPTEN__)
// The part of [start, start + size) made of whole units of `unit` bytes (a power of two).
bool whole_units(uintptr_t start, size_t size, uintptr_t unit, uintptr_t* first, size_t* length)
{
    const uintptr_t begin = (start + unit - 1) & ~(unit - 1);
    const uintptr_t end = (start + size) & ~(unit - 1);
    if (size == 0 || start + size < start || end <= begin)
        return false;
    *first = begin;
    *length = end - begin;
    return true;
}
#endif

bool prefetch_range(const WIN32_MEMORY_RANGE_ENTRY& entry)
{
#if defined(__EMSCRIPTEN__)
    (void)entry;
    return true; // the page's memory is all there from the start
#else
    const uintptr_t start = reinterpret_cast<uintptr_t>(entry.VirtualAddress);
    uintptr_t first = 0;
    size_t length = 0;
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    if (!whole_units(start, entry.NumberOfBytes, page, &first, &length))
        return true;
#ifdef MADV_POPULATE_WRITE
    // Older kernels do not know it (EINVAL): the pages then come in as the caller writes them.
    if (madvise(reinterpret_cast<void*>(first), length, MADV_POPULATE_WRITE) != 0 && errno != EINVAL)
        return false;
#endif
    return true;
#endif
}

} // namespace

BOOL WINAPI PrefetchVirtualMemory(HANDLE process, ULONG_PTR count, PWIN32_MEMORY_RANGE_ENTRY entries, ULONG flags)
{
    if (process != GetCurrentProcess() || (count > 0 && entries == nullptr) || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (ULONG_PTR i = 0; i < count; ++i) {
        if (!prefetch_range(entries[i])) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    return TRUE;
}
