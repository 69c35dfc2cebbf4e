// SPDX-License-Identifier: GPL-3.0-or-later
// Random events for the monkey, written as kelvora-replay lines and performed on the headless device.
#include "monkey_events.h"

#include <kelvora_device.h>
#include <kelvora_host.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <sstream>

namespace device = kelvora::device;

namespace monkey {

const char* const kRestartLine = "# the program ended here and was started again";

namespace {

struct KeyName {
    const char* name;
    UINT vk;
};

// Every key of the script language.
const KeyName kKeys[] = {{"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Tab", VK_TAB},     {"Space", VK_SPACE},
                         {"Backspace", VK_BACK}, {"Delete", VK_DELETE}, {"Left", VK_LEFT},   {"Right", VK_RIGHT},
                         {"Up", VK_UP},          {"Down", VK_DOWN},     {"Home", VK_HOME},   {"End", VK_END},
                         {"F1", VK_F1},          {"F2", VK_F2},         {"F9", VK_F9}};

// Numbers as a user types them, the awkward ones included.
const char* const kNumbers[] = {"0",      "1",      "2",     "3",    "5",        "10",   "-1",    "0.5",
                                "-2.25",  "1e308",  "-1e308", "1e-320", "2.12345", "1234567", "inf", "nan",
                                "0x1p3",  "1e",     "--5",   ".",    "999999",   "1000001", "3x", "12"};

// Characters for random text: digits and number signs above all, letters, blanks, a path separator,
// and some that UTF-8 needs two, three or four bytes for.
const char* const kPieces[] = {"0", "1", "2", "5", "7", "9", ".", "-", "+", "e", "E", "a", "z", "Q", " ",
                               "/", "\\", "%", "*", "?", ":", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\t"};

int below(std::mt19937& random, int n)
{
    return n <= 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(n));
}

std::string randomText(std::mt19937& random, int length)
{
    std::string text;
    for (int i = 0; i < length; i++) text += kPieces[below(random, static_cast<int>(std::size(kPieces)))];
    return text;
}

std::string typedText(std::mt19937& random)
{
    switch (below(random, 10)) {
    case 0:
        return randomText(random, 300 + below(random, 200)); // longer than every field
    case 1:
    case 2:
        return randomText(random, 1 + below(random, 12));
    case 3:
        return std::to_string(below(random, 2000));
    default:
        return kNumbers[below(random, static_cast<int>(std::size(kNumbers)))];
    }
}

std::string keyEvent(std::mt19937& random)
{
    if (below(random, 6) == 0) {
        static const char kCtrl[] = "QACVXZNS";
        char letter = below(random, 2) == 0 ? kCtrl[below(random, 8)] : static_cast<char>('A' + below(random, 26));
        return std::string("key Ctrl+") + letter;
    }
    return std::string("key ") + kKeys[below(random, static_cast<int>(std::size(kKeys)))].name;
}

std::string tapAt(int x, int y)
{
    return "tap " + std::to_string(x) + " " + std::to_string(y);
}

// The centre of a visible control of the window in front: buttons, fields, lists, dialog answers.
std::string controlTap(std::mt19937& random, int width, int height)
{
    auto windows = device::top_level_windows();
    std::vector<RECT> targets;
    if (!windows.empty()) {
        for (HWND c = GetWindow(windows.front().hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT r;
            if (IsWindowVisible(c) && GetWindowRect(c, &r)) targets.push_back(r);
        }
    }
    if (targets.empty()) return tapAt(below(random, width), below(random, height));
    const RECT& r = targets[below(random, static_cast<int>(targets.size()))];
    return tapAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::string dragEvent(std::mt19937& random, int width, int height)
{
    int x = below(random, width);
    int y = below(random, height);
    bool shortDrag = below(random, 2) == 0; // a selection inside a field, a scroll bar pulled
    int x2 = shortDrag ? x + below(random, 61) - 30 : below(random, width);
    int y2 = shortDrag ? y + below(random, 61) - 30 : below(random, height);
    return "drag " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x2) + " " +
           std::to_string(y2);
}

} // namespace

std::string randomEvent(std::mt19937& random)
{
    const int width = device::screen_width();
    const int height = device::screen_height();
    const int menuBarY = height - 13;
    int roll = below(random, 100);
    if (roll < 22) return tapAt(below(random, width + 10) - 5, below(random, height + 10) - 5);
    if (roll < 40) return controlTap(random, width, height);
    if (roll < 46) return tapAt(below(random, 2) == 0 ? width / 4 : 3 * width / 4, menuBarY); // soft keys
    if (roll < 52) return tapAt(width - 150 + below(random, 140), height - 110 + below(random, 80)); // menu items
    if (roll < 58) return dragEvent(random, width, height);
    if (roll < 75) return "type " + typedText(random);
    if (roll < 99) return keyEvent(random);
    return "rotate";
}

bool performEvent(const std::string& line)
{
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command.empty() || command[0] == '#') return true;
    if (command == "type") {
        device::type(kelvora_from_utf8(line.size() > 5 ? line.substr(5) : std::string()));
        return true;
    }
    if (command == "rotate") {
        device::rotate();
        return true;
    }
    if (command == "key") {
        std::string name;
        words >> name;
        if (name.size() == 6 && name.compare(0, 5, "Ctrl+") == 0) {
            device::key(static_cast<UINT>(name[5]), true);
            return true;
        }
        for (const KeyName& key : kKeys) {
            if (name == key.name) {
                device::key(key.vk);
                return true;
            }
        }
        return false;
    }
    int a = 0, b = 0, c = 0, d = 0;
    if (command == "tap" && words >> a >> b) {
        device::tap(a, b);
        return true;
    }
    if (command == "drag" && words >> a >> b >> c >> d) {
        device::drag(a, b, c, d);
        return true;
    }
    return false;
}

Script shrinkEvents(Script events, int budget, const std::function<bool(const Script&)>& fails)
{
    auto tryCandidate = [&](const Script& candidate) { return budget-- > 0 && fails(candidate); };
    // The program starts afresh for every candidate, so a short tail often fails on its own.
    for (size_t tail = 1; tail < events.size() && budget > 0; tail *= 2) {
        Script candidate(events.end() - static_cast<std::ptrdiff_t>(tail), events.end());
        if (tryCandidate(candidate)) {
            events = std::move(candidate);
            break;
        }
    }
    for (size_t chunk = std::max<size_t>(events.size() / 2, 1); budget > 0;) {
        bool removed = false;
        for (size_t start = 0; start < events.size() && events.size() > 1 && budget > 0;) {
            Script candidate(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(start));
            size_t end = std::min(events.size(), start + chunk);
            candidate.insert(candidate.end(), events.begin() + static_cast<std::ptrdiff_t>(end), events.end());
            if (tryCandidate(candidate)) {
                events = std::move(candidate);
                removed = true;
            } else {
                start += chunk;
            }
        }
        if (chunk == 1 && !removed) break;
        if (!removed) chunk = std::max<size_t>(chunk / 2, 1);
    }
    return events;
}

} // namespace monkey
