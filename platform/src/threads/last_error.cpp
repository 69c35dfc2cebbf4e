// SPDX-License-Identifier: GPL-3.0-or-later
// The last error of each thread, as the calls that report one through GetLastError leave it.
#include <windows.h>

namespace {
thread_local DWORD t_last_error = 0;
}

DWORD WINAPI GetLastError(void)
{
    return t_last_error;
}

void WINAPI SetLastError(DWORD error)
{
    t_last_error = error;
}
