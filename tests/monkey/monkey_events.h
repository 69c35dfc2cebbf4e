// SPDX-License-Identifier: GPL-3.0-or-later
// The monkey's events: random stylus and key input for the program on the headless device, each one a
// line of the kelvora-replay script language, so that any run can be written out and replayed as it was.
#pragma once
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace monkey {

using Script = std::vector<std::string>;

// Marks the place where the program ended and was started again (a comment in the script language).
extern const char* const kRestartLine;

// One random event, aimed at what is on the screen now (its size, the controls of the window in front).
std::string randomEvent(std::mt19937& random);

// Performs one line on the device; comments do nothing. False for a line it does not know.
bool performEvent(const std::string& line);

// The smallest list found that still fails: first the shortest failing tail, then ever smaller runs of
// lines taken out while the rest still fails, within `budget` calls of `fails`. `events` must fail.
Script shrinkEvents(Script events, int budget, const std::function<bool(const Script&)>& fails);

} // namespace monkey
