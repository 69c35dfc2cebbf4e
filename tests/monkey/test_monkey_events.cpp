// SPDX-License-Identifier: GPL-3.0-or-later
// The monkey's own parts: its events are lines that kelvora-replay accepts, and a failing list shrinks
// to the few events that matter.
#include <gtest/gtest.h>
#include <kelvora_device.h>

#include <sstream>

#include "app_state.h"
#include "monkey_events.h"
#include "replay.h"

namespace {

monkey::Script numberedTaps(int count)
{
    monkey::Script events;
    for (int i = 0; i < count; i++) events.push_back("tap " + std::to_string(i) + " 0");
    return events;
}

bool containsInOrder(const monkey::Script& events, const std::string& first, const std::string& second)
{
    bool seenFirst = false;
    for (const std::string& line : events) {
        if (line == first) seenFirst = true;
        if (line == second && seenFirst) return true;
    }
    return false;
}

} // namespace

TEST(MonkeyShrink, KeepsOnlyTheEventsThatFailTogether)
{
    struct Case {
        const char* name;
        std::string first, second;
        monkey::Script expected;
    };
    const Case cases[] = {
        {"two events far apart", "tap 120 0", "tap 870 0", {"tap 120 0", "tap 870 0"}},
        {"the last event alone", "tap 999 0", "tap 999 0", {"tap 999 0"}},
        {"the first and the last", "tap 0 0", "tap 999 0", {"tap 0 0", "tap 999 0"}},
    };
    for (const Case& c : cases) {
        int calls = 0;
        monkey::Script shrunk = monkey::shrinkEvents(numberedTaps(1000), 400, [&](const monkey::Script& candidate) {
            calls++;
            return containsInOrder(candidate, c.first, c.second);
        });
        EXPECT_EQ(shrunk, c.expected) << c.name;
        EXPECT_LE(calls, 400) << c.name;
    }
}

TEST(MonkeyShrink, StopsWithinItsBudget)
{
    int calls = 0;
    monkey::Script shrunk = monkey::shrinkEvents(numberedTaps(1000), 10, [&](const monkey::Script&) {
        calls++;
        return false;
    });
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(shrunk.size(), 1000u); // nothing smaller was seen to fail
}

// Events written the way a failing seed prints them must run as a replay script, line for line.
TEST(MonkeyEvents, EveryEventIsALineTheReplayToolAccepts)
{
    kelvora::device::start_headless();
    std::mt19937 random(11);
    std::string script;
    for (int i = 0; i < 3000; i++) {
        std::string line = monkey::randomEvent(random);
        ASSERT_EQ(line.find('\n'), std::string::npos) << line;
        script += line + "\n";
    }
    kelvora::device::stop();
    resetAppState();
    int status = kelvora::replay::run_script_text(script, WinMain, "monkey events");
    EXPECT_NE(status, kelvora::replay::exit_bad_script);
}
