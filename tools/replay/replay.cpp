// SPDX-License-Identifier: GPL-3.0-or-later
// The script runner of kelvora-replay: parses the script, checks every line before the program starts,
// then executes one line each time the program waits for input.
#include "replay.h"

#include <kelvora_device.h>
#include <kelvora_host.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

namespace kelvora::replay {
namespace {

struct Line {
    int m_number = 0;
    std::string m_command;
    std::vector<std::string> m_args; // for a rest-of-line command: one argument, the rest of the line
    std::string m_text;              // the line as written, for diagnostics
};

const std::map<std::string, UINT>& key_names()
{
    static const std::map<std::string, UINT> names{
        {"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Tab", VK_TAB}, {"Space", VK_SPACE},
        {"Backspace", VK_BACK}, {"Delete", VK_DELETE}, {"Left", VK_LEFT}, {"Right", VK_RIGHT},
        {"Up", VK_UP}, {"Down", VK_DOWN}, {"Home", VK_HOME}, {"End", VK_END},
        {"F1", VK_F1}, {"F2", VK_F2}, {"F9", VK_F9}};
    return names;
}

bool parse_int(const std::string& s, int* value)
{
    if (s.empty())
        return false;
    size_t used = 0;
    try {
        long v = std::stol(s, &used, 10);
        if (used != s.size() || v < -1000000 || v > 1000000)
            return false;
        *value = static_cast<int>(v);
        return true;
    } catch (...) {
        return false;
    }
}

// A key name, or Ctrl+<letter>, or Shift+ before a key name (Shift+Tab).
bool key_of(const std::string& name, UINT* vk, bool* ctrl, bool* shift)
{
    *ctrl = false;
    *shift = name.starts_with("Shift+");
    const std::string base = *shift ? name.substr(6) : name;
    auto it = key_names().find(base);
    if (it != key_names().end()) {
        *vk = it->second;
        return true;
    }
    if (!*shift && name.size() == 6 && name.compare(0, 5, "Ctrl+") == 0 &&
        std::isalpha(static_cast<unsigned char>(name[5]))) {
        *vk = static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[5])));
        *ctrl = true;
        return true;
    }
    return false;
}

// The checks one argument may have to pass.
bool any_text(const std::string&)
{
    return true;
}

bool is_int(const std::string& s)
{
    int v;
    return parse_int(s, &v);
}

bool is_key(const std::string& s)
{
    UINT vk;
    bool ctrl;
    bool shift;
    return key_of(s, &vk, &ctrl, &shift);
}

bool is_path(const std::string& s)
{
    return !s.empty();
}

// The integer argument `i` of a line already checked.
int int_arg(const Line& line, size_t i)
{
    int v = 0;
    parse_int(line.m_args[i], &v);
    return v;
}

std::string rect_text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

HWND find_control(HWND parent, int id)
{
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(c) == id)
            return c;
        if (HWND inner = find_control(c, id))
            return inner;
    }
    return nullptr;
}

std::string window_text(HWND hwnd)
{
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return kelvora_to_utf8(text);
}

// The control `id` of the active window, or else of any top-level window, top first.
HWND control_for_text(int id)
{
    if (HWND active = GetActiveWindow())
        if (HWND c = find_control(active, id))
            return c;
    for (const auto& w : device::top_level_windows())
        if (HWND c = find_control(w.hwnd, id))
            return c;
    return nullptr;
}

// The actions of the commands: true when the line did what it says, false when it failed (the script
// then stops, with exit_bad_script).
bool key_action(const Line& line)
{
    UINT vk = 0;
    bool ctrl = false;
    bool shift = false;
    key_of(line.m_args[0], &vk, &ctrl, &shift);
    device::key(vk, ctrl, shift);
    return true;
}

bool shot_action(const Line& line)
{
    if (device::save_png(line.m_args[0]))
        return true;
    std::cerr << "line " << line.m_number << ": cannot write " << line.m_args[0] << "\n";
    return false;
}

bool pixel_action(const Line& line)
{
    COLORREF p = device::pixel(int_arg(line, 0), int_arg(line, 1));
    std::cout << int(GetRValue(p)) << " " << int(GetGValue(p)) << " " << int(GetBValue(p)) << "\n";
    return true;
}

bool windows_action(const Line&)
{
    for (const auto& w : device::top_level_windows())
        std::cout << "class=" << kelvora_to_utf8(w.class_name) << " title=\"" << kelvora_to_utf8(w.title)
                  << "\" rect=" << rect_text(w.rect) << " visible=" << (w.visible ? 1 : 0)
                  << " enabled=" << (w.enabled ? 1 : 0) << "\n";
    return true;
}

// A missing control prints an empty line and says so on standard error; the script goes on.
bool text_action(const Line& line)
{
    HWND control = control_for_text(int_arg(line, 0));
    if (!control)
        std::cerr << "line " << line.m_number << ": no control " << line.m_args[0] << "\n";
    std::cout << (control ? window_text(control) : std::string()) << "\n";
    return true;
}

// The child controls of the active top-level window, in z-order: "ID CLASS l,t,r,b" in screen pixels,
// then "focus" on the one that has the keyboard focus. Hidden controls are left out.
bool controls_action(const Line&)
{
    HWND active = GetActiveWindow();
    HWND focus = GetFocus();
    for (HWND c = active ? GetWindow(active, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c))
            continue;
        wchar_t name[64] = {};
        GetClassNameW(c, name, 64);
        RECT r{};
        GetWindowRect(c, &r);
        std::cout << GetDlgCtrlID(c) << " " << kelvora_to_utf8(name) << " " << rect_text(r)
                  << (c == focus || IsChild(c, focus) ? " focus" : "") << "\n";
    }
    return true;
}

// One command a script line may start with: what its arguments must be, and what it does.
struct Command {
    size_t m_arg_count = 0;
    bool (*m_arg_ok)(const std::string&) = any_text; // every argument must pass it
    std::function<bool(const Line&)> m_action;
    bool m_rest_of_line = false; // the rest of the line is the one argument, spaces and all
    bool m_registered = false;   // a query added by register_query
};

// Every command a line may name: the built-ins below, then the registered queries.
std::map<std::string, Command>& commands()
{
    static std::map<std::string, Command> table{
        {"tap",
         {2, is_int,
          [](const Line& l) {
              device::tap(int_arg(l, 0), int_arg(l, 1));
              return true;
          }}},
        {"drag",
         {4, is_int,
          [](const Line& l) {
              device::drag(int_arg(l, 0), int_arg(l, 1), int_arg(l, 2), int_arg(l, 3));
              return true;
          }}},
        {"type",
         {1, any_text,
          [](const Line& l) {
              device::type(kelvora_from_utf8(l.m_args[0]));
              return true;
          },
          true}},
        {"key", {1, is_key, key_action}},
        {"rotate",
         {0, any_text,
          [](const Line&) {
              device::rotate();
              return true;
          }}},
        {"shot", {1, is_path, shot_action}},
        {"pixel", {2, is_int, pixel_action}},
        {"windows", {0, any_text, windows_action}},
        {"text", {1, is_int, text_action}},
        {"controls", {0, any_text, controls_action}},
    };
    return table;
}

const Command* find_command(const std::string& name)
{
    auto it = commands().find(name);
    return it == commands().end() ? nullptr : &it->second;
}

// Checks a line; false when it is unknown or malformed.
bool valid(const Line& line)
{
    const Command* c = find_command(line.m_command);
    return c && line.m_args.size() == c->m_arg_count && std::ranges::all_of(line.m_args, c->m_arg_ok);
}

bool parse(std::istream& in, std::vector<Line>* lines, int* bad_line, std::string* bad_text)
{
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == '#')
            continue;
        Line line;
        line.m_number = number;
        line.m_text = text;
        std::string body = text.substr(start);
        size_t space = body.find(' ');
        line.m_command = body.substr(0, space);
        const Command* command = find_command(line.m_command);
        if (command && command->m_rest_of_line) {
            line.m_args.push_back(space == std::string::npos ? std::string() : body.substr(space + 1));
        } else if (space != std::string::npos) {
            std::istringstream words(body.substr(space + 1));
            std::string w;
            while (words >> w)
                line.m_args.push_back(w);
        }
        if (!valid(line)) {
            *bad_line = number;
            *bad_text = text;
            return false;
        }
        lines->push_back(std::move(line));
    }
    return true;
}

bool execute(const Line& line)
{
    const bool done = find_command(line.m_command)->m_action(line);
    std::cout.flush();
    return done;
}

} // namespace

bool register_query(const std::string& name, int arg_count, Query query)
{
    const Command* existing = find_command(name);
    if (existing && !existing->m_registered)
        return false;
    auto action = [query = std::move(query)](const Line& line) {
        std::string out;
        if (!query(line.m_args, &out)) {
            std::cerr << "line " << line.m_number << ": malformed: " << line.m_text << "\n";
            return false;
        }
        std::cout << out;
        return true;
    };
    commands()[name] = Command{static_cast<size_t>(arg_count), any_text, std::move(action), false, true};
    return true;
}

int run_script_text(const std::string& text, Program program, const std::string& name)
{
    std::istringstream in(text);
    std::vector<Line> lines;
    int bad_line = 0;
    std::string bad_text;
    if (!parse(in, &lines, &bad_line, &bad_text)) {
        std::cerr << name << ":" << bad_line << ": unknown or malformed line: " << bad_text << "\n";
        return exit_bad_script;
    }
    device::start_headless();
    size_t next = 0;
    // Set by the idle handler when it stops the program: the script ran out, or a line failed. The
    // handler then reports no more input, every wait of the program ends with WM_QUIT, and WinMain returns.
    std::optional<int> stopped;
    device::set_idle_handler([&]() -> bool {
        if (!stopped && next >= lines.size())
            stopped = exit_ok;
        if (!stopped && !execute(lines[next++]))
            stopped = exit_bad_script;
        return !stopped;
    });
    wchar_t command_line[] = L"";
    program(GetModuleHandleW(nullptr), nullptr, command_line, SW_SHOW);
    int status = stopped.value_or(exit_ok);
    if (!stopped && next < lines.size()) {
        std::cerr << name << ": the program ended before line " << lines[next].m_number << "; not run:\n";
        for (size_t i = next; i < lines.size(); ++i)
            std::cerr << "  " << lines[i].m_number << ": " << lines[i].m_text << "\n";
        status = exit_program_ended;
    }
    device::set_idle_handler(nullptr);
    device::stop();
    return status;
}

int run_script(const std::string& path, Program program)
{
    std::ifstream file(path);
    if (!file) {
        std::cerr << "kelvora-replay: cannot read " << path << "\n";
        return exit_bad_script;
    }
    std::stringstream text;
    text << file.rdbuf();
    return run_script_text(text.str(), program, path);
}

} // namespace kelvora::replay
