// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-replay: the replay tool on the real program, with its two state queries and the input panel's.
#include "replay.h"

#include <app_state.h>
#include <kelvora_device.h>
#include <kelvora_version.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

bool query_state(const std::vector<std::string>&, std::string* out)
{
    *out = "pointCount=" + std::to_string(g_app.points.pointCount) + "\n" +
           "currentIndex=" + std::to_string(g_app.points.currentIndex) + "\n" +
           "modelId=" + std::to_string(g_app.modelId) + "\n" + "exponentN=" + number(g_app.exponentN) + "\n" +
           "a=" + number(g_app.fit.a) + "\n" + "b=" + number(g_app.fit.b) + "\n" +
           "residualSum=" + number(g_app.fit.residualSum) + "\n" + "s=" + number(g_app.fit.s) + "\n";
    return true;
}

bool query_point(const std::vector<std::string>& args, std::string* out)
{
    char* end = nullptr;
    long index = std::strtol(args[0].c_str(), &end, 10);
    if (args[0].empty() || *end != '\0' || index < 0 || index >= POINT_CAPACITY)
        return false;
    *out = number(g_app.points.x[index]) + " " + number(g_app.points.y[index]) + "\n";
    return true;
}

// Whether the input panel is up, and where it is (or would be when raised).
bool query_sip(const std::vector<std::string>&, std::string* out)
{
    RECT r{};
    const bool up = kelvora::device::input_panel(&r);
    *out = "up=" + std::to_string(up ? 1 : 0) + " rect=" + std::to_string(r.left) + "," + std::to_string(r.top) +
           "," + std::to_string(r.right) + "," + std::to_string(r.bottom) + "\n";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kelvora-replay %s\n%s\n", KELVORA_VERSION, KELVORA_LICENSE_LINE);
        return kelvora::replay::exit_ok;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: kelvora-replay SCRIPT\n"
                    "Runs the program on a headless device and feeds it the lines of SCRIPT as input.\n"
                    "Exit status: 0 the script ran to its end, 1 a bad line or an unreadable script,\n"
                    "3 the program ended before the script did.\n");
        return kelvora::replay::exit_ok;
    }
    if (argc != 2) {
        std::cerr << "usage: kelvora-replay SCRIPT\n";
        return kelvora::replay::exit_bad_script;
    }
    kelvora::replay::register_query("state", 0, query_state);
    kelvora::replay::register_query("point", 1, query_point);
    kelvora::replay::register_query("sip", 0, query_sip);
    return kelvora::replay::run_script(argv[1], WinMain);
}
