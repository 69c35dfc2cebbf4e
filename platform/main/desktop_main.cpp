// Entry point of a program on the desktop: the device in an SDL2 window, then the program's WinMain.
#include <kelvora_device.h>

#include <cstdio>
#include <string>

int main()
{
    std::string error;
    if (!kelvora::device::start_desktop(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    wchar_t command_line[] = L"";
    int status = WinMain(GetModuleHandleW(nullptr), nullptr, command_line, SW_SHOW);
    kelvora::device::stop();
    return status;
}
