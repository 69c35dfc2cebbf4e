// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of a program on the desktop: the device in an SDL2 window, then the program's WinMain.
// The program reads no command line; only --version and --help are answered here, before any window.
#include <kelvora_device.h>
#include <kelvora_version.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The name the program was started by, without its folder.
const char* program_name(const char* argv0)
{
    const char* slash = std::strrchr(argv0, '/');
    return slash != nullptr ? slash + 1 : argv0;
}

// Answers --version and --help; returns false when the program should start.
bool answered_command_line(int argc, char** argv)
{
    if (argc < 2)
        return false;
    const char* name = argv[0] != nullptr ? program_name(argv[0]) : "kelvora";
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n%s\n", name, KELVORA_VERSION, KELVORA_LICENSE_LINE);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: %s [--version | --help]\n"
                    "Starts the program on an emulated handheld screen in a desktop window.\n",
                    name);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (answered_command_line(argc, argv))
        return 0;
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
