// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the program in a web page: the device on the browser backend, then WinMain.
#include "browser_backend.h"

#include <kelvora_device.h>

int main()
{
    if (!kelvora::browser::start())
        return 1;
    wchar_t command_line[] = L"";
    const int status = WinMain(GetModuleHandleW(nullptr), nullptr, command_line, SW_SHOW);
    kelvora::device::stop();
    kelvora::browser::program_ended(status);
    return status;
}
