// The script runner of kelvora-replay: parses the script, checks every line before the program starts,
// then executes one line each time the program waits for input.
#include "replay.h"

#include <kelvora_device.h>
#include <kelvora_host.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

namespace kelvora::replay {
namespace {

struct Line {
    int m_number = 0;
    std::string m_command;
    std::vector<std::string> m_args; // for "type": one argument, the rest of the line
    std::string m_text;              // the line as written, for diagnostics
};

struct QueryEntry {
    int m_arg_count = 0;
    Query m_query;
};

std::map<std::string, QueryEntry>& queries()
{
    static std::map<std::string, QueryEntry> map;
    return map;
}

// Thrown out of the program's message loop when the script has run out, or a line failed.
struct ScriptStop {
    int m_status;
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

bool key_of(const std::string& name, UINT* vk, bool* ctrl)
{
    *ctrl = false;
    auto it = key_names().find(name);
    if (it != key_names().end()) {
        *vk = it->second;
        return true;
    }
    if (name.size() == 6 && name.compare(0, 5, "Ctrl+") == 0 && std::isalpha(static_cast<unsigned char>(name[5]))) {
        *vk = static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[5])));
        *ctrl = true;
        return true;
    }
    return false;
}

// Checks a line; false when it is unknown or malformed.
bool valid(const Line& line)
{
    const std::string& c = line.m_command;
    size_t n = line.m_args.size();
    auto ints = [&](size_t count) {
        if (n != count)
            return false;
        int v;
        for (const auto& a : line.m_args)
            if (!parse_int(a, &v))
                return false;
        return true;
    };
    if (c == "tap" || c == "pixel")
        return ints(2);
    if (c == "drag")
        return ints(4);
    if (c == "text")
        return ints(1);
    if (c == "type")
        return n == 1;
    if (c == "rotate" || c == "windows")
        return n == 0;
    if (c == "shot")
        return n == 1 && !line.m_args[0].empty();
    if (c == "key") {
        UINT vk;
        bool ctrl;
        return n == 1 && key_of(line.m_args[0], &vk, &ctrl);
    }
    auto q = queries().find(c);
    return q != queries().end() && static_cast<int>(n) == q->second.m_arg_count;
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
        if (line.m_command == "type") {
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

void execute(const Line& line)
{
    const std::string& c = line.m_command;
    const auto& a = line.m_args;
    auto num = [&](size_t i) {
        int v = 0;
        parse_int(a[i], &v);
        return v;
    };
    if (c == "tap") {
        device::tap(num(0), num(1));
    } else if (c == "drag") {
        device::drag(num(0), num(1), num(2), num(3));
    } else if (c == "type") {
        device::type(kelvora_from_utf8(a[0]));
    } else if (c == "key") {
        UINT vk = 0;
        bool ctrl = false;
        key_of(a[0], &vk, &ctrl);
        device::key(vk, ctrl);
    } else if (c == "rotate") {
        device::rotate();
    } else if (c == "shot") {
        if (!device::save_png(a[0])) {
            std::cerr << "line " << line.m_number << ": cannot write " << a[0] << "\n";
            throw ScriptStop{exit_bad_script};
        }
    } else if (c == "pixel") {
        COLORREF p = device::pixel(num(0), num(1));
        std::cout << int(GetRValue(p)) << " " << int(GetGValue(p)) << " " << int(GetBValue(p)) << "\n";
    } else if (c == "windows") {
        for (const auto& w : device::top_level_windows())
            std::cout << "class=" << kelvora_to_utf8(w.class_name) << " title=\"" << kelvora_to_utf8(w.title)
                      << "\" rect=" << rect_text(w.rect) << " visible=" << (w.visible ? 1 : 0)
                      << " enabled=" << (w.enabled ? 1 : 0) << "\n";
    } else if (c == "text") {
        HWND control = control_for_text(num(0));
        if (!control)
            std::cerr << "line " << line.m_number << ": no control " << a[0] << "\n";
        std::cout << (control ? window_text(control) : std::string()) << "\n";
    } else {
        std::string out;
        if (!queries()[c].m_query(a, &out)) {
            std::cerr << "line " << line.m_number << ": malformed: " << line.m_text << "\n";
            throw ScriptStop{exit_bad_script};
        }
        std::cout << out;
    }
    std::cout.flush();
}

} // namespace

void register_query(const std::string& name, int arg_count, Query query)
{
    queries()[name] = QueryEntry{arg_count, std::move(query)};
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
    device::set_idle_handler([&]() -> bool {
        if (next >= lines.size())
            throw ScriptStop{exit_ok};
        execute(lines[next++]);
        return true;
    });
    int status = exit_ok;
    try {
        wchar_t command_line[] = L"";
        program(GetModuleHandleW(nullptr), nullptr, command_line, SW_SHOW);
        if (next < lines.size()) {
            std::cerr << name << ": the program ended before line " << lines[next].m_number << "; not run:\n";
            for (size_t i = next; i < lines.size(); ++i)
                std::cerr << "  " << lines[i].m_number << ": " << lines[i].m_text << "\n";
            status = exit_program_ended;
        }
    } catch (const ScriptStop& stop) {
        status = stop.m_status;
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
