// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-replay: runs a program on the headless device and feeds it a script, one line each time the
// program waits for input. Queries (windows, text, pixel and the registered ones) print to standard
// output; everything else, diagnostics included, goes to standard error.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kelvora::replay {

using Program = int (*)(HINSTANCE, HINSTANCE, LPWSTR, int);

// A query prints its lines to `out`; it returns false when its arguments are malformed.
using Query = std::function<bool(const std::vector<std::string>& args, std::string* out)>;

// Adds a query named `name` taking `arg_count` arguments (state, point ... of a particular program), or
// replaces the query of that name. Refused (false) when `name` is a built-in command: a script line means
// the same thing whatever program it drives.
bool register_query(const std::string& name, int arg_count, Query query);

// Exit statuses of run_script.
constexpr int exit_ok = 0;            // the script ran to its end
constexpr int exit_bad_script = 1;    // unknown or malformed line (named with its number), or unreadable file
constexpr int exit_program_ended = 3; // the program ended before the script did

// Runs `program` (its WinMain) on a fresh headless device with the script at `path`.
int run_script(const std::string& path, Program program);
// The same with the script's text (tests).
int run_script_text(const std::string& text, Program program, const std::string& name = "script");

} // namespace kelvora::replay
