// SPDX-License-Identifier: GPL-3.0-or-later
// The data-entry window in both orientations with the input panel up and down, seen through the
// kelvora-replay query "controls": no two controls overlap, Tab and Shift+Tab reach every field and
// button in order and each, focused, shows whole above the panel; Enter in the X or Y field stores the
// point; the scroll bar moves the layout.
#include <gtest/gtest.h>
#include <kelvora_device.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app_state.h"
#include "models.h"
#include "replay.h"
#include "resource.h"

namespace {

struct Control {
    int id;
    RECT rect;
    bool focus;
};

// One answer of "controls" followed by one of "sip".
struct Snapshot {
    std::vector<Control> controls;
    bool panelUp;
    int panelTop;
};

// The tool's "sip" query: the panel's state and place.
bool querySip(const std::vector<std::string>&, std::string* out)
{
    RECT r{};
    bool up = kelvora::device::input_panel(&r);
    char line[80];
    std::snprintf(line, sizeof line, "up=%d rect=%d,%d,%d,%d\n", up ? 1 : 0, static_cast<int>(r.left),
                  static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom));
    *out = line;
    return true;
}

std::string runScript(const std::string& script)
{
    kelvora::replay::register_query("sip", 0, querySip);
    resetAppState();
    testing::internal::CaptureStdout();
    int status = kelvora::replay::run_script_text(script, WinMain);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0) << out;
    return out;
}

// Lines "ID CLASS l,t,r,b [focus]" up to each "up=U rect=l,t,r,b" line.
std::vector<Snapshot> parse(const std::string& out)
{
    std::vector<Snapshot> snapshots;
    Snapshot current{};
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        int up = 0;
        int l = 0, t = 0, r = 0, b = 0;
        if (std::sscanf(line.c_str(), "up=%d rect=%d,%d,%d,%d", &up, &l, &t, &r, &b) == 5) {
            current.panelUp = up != 0;
            current.panelTop = t;
            snapshots.push_back(current);
            current = Snapshot{};
            continue;
        }
        Control c{};
        char className[32] = {};
        if (std::sscanf(line.c_str(), "%d %31s %d,%d,%d,%d", &c.id, className, &l, &t, &r, &b) == 6) {
            SetRect(&c.rect, l, t, r, b);
            c.focus = line.find(" focus") != std::string::npos;
            current.controls.push_back(c);
        }
    }
    return snapshots;
}

int focusedId(const Snapshot& s)
{
    for (const Control& c : s.controls) {
        if (c.focus) return c.id;
    }
    return 0;
}

struct Orientation {
    const char* name;
    bool landscape;
    bool panel;
    int width;
    int height;
};

const Orientation kStates[] = {
    {"portrait", false, false, 240, 320},
    {"portrait with the panel", false, true, 240, 320},
    {"landscape", true, false, 320, 240},
    {"landscape with the panel", true, true, 320, 240},
};

std::string startIn(const Orientation& o)
{
    std::string script = o.landscape ? "rotate\n" : "";
    if (o.panel) script += "tap " + std::to_string(o.width / 2) + " " + std::to_string(o.height - 13) + "\n";
    return script;
}

const int kTabOrder[] = {IDC_COUNT_FIELD, IDC_X_FIELD,    IDC_Y_FIELD,  IDC_UP,
                         IDC_DOWN,        IDC_ENTER,      IDC_FUNCTION, IDC_CALCULATE};

} // namespace

TEST(Landscape, ControlsNeverOverlapAndEachFocusedOneShowsWholeAboveThePanel)
{
    for (const Orientation& o : kStates) {
        SCOPED_TRACE(o.name);
        std::string script = startIn(o) + "controls\nsip\n";
        for (int i = 0; i < 8; i++) script += "key Tab\ncontrols\nsip\n";
        for (int i = 0; i < 8; i++) script += "key Shift+Tab\ncontrols\nsip\n";
        std::vector<Snapshot> shots = parse(runScript(script));
        ASSERT_EQ(shots.size(), 17u);
        for (size_t k = 0; k < shots.size(); k++) {
            const Snapshot& s = shots[k];
            EXPECT_EQ(s.panelUp, o.panel);
            ASSERT_EQ(s.controls.size(), 8u) << k;
            for (size_t i = 0; i < s.controls.size(); i++) {
                for (size_t j = i + 1; j < s.controls.size(); j++) {
                    RECT overlap;
                    EXPECT_FALSE(IntersectRect(&overlap, &s.controls[i].rect, &s.controls[j].rect))
                        << s.controls[i].id << " and " << s.controls[j].id;
                }
            }
            // Forward through the table order, then back: 322 320 321 301 ... 305, then 304 ... 322, 305.
            int expected = k == 0 ? 0 : k <= 8 ? kTabOrder[k - 1] : kTabOrder[(16 - k + 8 - 1) % 8];
            ASSERT_EQ(focusedId(s), expected) << k;
            const int visibleBottom = o.panel ? s.panelTop : o.height - 26;
            for (const Control& c : s.controls) {
                if (!c.focus) continue;
                EXPECT_GE(c.rect.top, 26) << c.id;
                EXPECT_LE(c.rect.bottom, visibleBottom) << c.id;
                EXPECT_GE(c.rect.left, 0) << c.id;
                EXPECT_LE(c.rect.right, o.width) << c.id;
            }
        }
    }
}

TEST(Landscape, EnterInTheXOrYFieldStoresThePointAsTheEnterButtonDoes)
{
    struct Case {
        const char* name;
        const char* field; // a tap on the field, in landscape with the panel up and the window at its top
        const char* enter; // the physical key or the panel's
        bool stores;
    };
    const Case cases[] = {
        {"X field, keyboard", "tap 80 106", "key Enter", true},
        {"Y field, keyboard", "tap 80 156", "key Enter", true},
        {"X field, panel", "tap 80 106", "tap 175 191", true},
        {"Y field, panel", "tap 80 156", "tap 175 191", true},
        {"count field", "tap 40 56", "key Enter", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Count 2, then X = 1.5 and Y = 7 typed into the fields without storing them.
        runScript(std::string("rotate\ntap 160 227\n") +
                  "tap 40 56\nkey End\nkey Backspace\ntype 2\n"
                  "key Tab\ntype 1.5\nkey Tab\ntype 7\n" +
                  c.field + "\n" + c.enter + "\n");
        EXPECT_EQ(g_app.points.pointCount, 2);
        EXPECT_EQ(g_app.points.currentIndex, 0);
        EXPECT_EQ(g_app.points.x[0], c.stores ? 1.5 : 0.0);
        EXPECT_EQ(g_app.points.y[0], c.stores ? 7.0 : 0.0);
    }
}

TEST(Landscape, TheScrollBarMovesTheLayoutAndGoesWithThePanel)
{
    // Landscape, panel up: the client area is 143 pixels of a 188-pixel layout; the bar at x 307..320.
    std::vector<Snapshot> shots = parse(runScript("rotate\ntap 160 227\ncontrols\nsip\n"
                                                  "tap 313 162\ncontrols\nsip\n"     // the down arrow: a line
                                                  "tap 313 150\ncontrols\nsip\n"     // below the thumb: to the end
                                                  "tap 313 30\ncontrols\nsip\n"      // the up arrow
                                                  "drag 313 60 313 20\ncontrols\nsip\n" // the thumb to the top
                                                  "tap 160 227\ncontrols\nsip\n"));  // the panel goes down
    ASSERT_EQ(shots.size(), 6u);
    auto countTop = [](const Snapshot& s) { return s.controls[0].rect.top; }; // the count field, first
    EXPECT_EQ(countTop(shots[0]), 46);
    EXPECT_EQ(countTop(shots[1]), 36);
    EXPECT_EQ(countTop(shots[2]), 46 - 45); // 188 - 143
    EXPECT_EQ(countTop(shots[3]), 11);
    EXPECT_EQ(countTop(shots[4]), 46);
    EXPECT_EQ(countTop(shots[5]), 46);
    EXPECT_FALSE(shots[5].panelUp);
    // Without the bar the buttons keep 10 pixels to the right edge again.
    EXPECT_EQ(shots[5].controls[3].rect.right, 310);
    EXPECT_EQ(shots[0].controls[3].rect.right, 297);
}

TEST(Landscape, TheExponentDialogScrollsAboveThePanelAndGetsItsPlaceBack)
{
    // The power model, the last of the list: its exponent dialog is 172 pixels tall, the space above
    // the landscape panel 143. Tab visits its three controls; the panel goes down again at the end.
    std::string script = "tap 200 234\ntap 60 60\n";
    for (int i = 0; i < 15; i++) script += "key Down\n";
    script += "key F1\nwindows\ntap 120 307\nrotate\nwindows\n";
    for (int i = 0; i < 3; i++) script += "key Tab\ncontrols\nsip\n";
    script += "tap 160 227\nwindows\n";
    std::string out = runScript(script);
    std::vector<std::string> dialogs; // the exponent dialog's line of each "windows"
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("class=#32770") != std::string::npos) dialogs.push_back(line);
    }
    ASSERT_EQ(dialogs.size(), 3u) << out;
    EXPECT_NE(dialogs[0].find("rect=0,26,193,198"), std::string::npos) << dialogs[0];
    EXPECT_NE(dialogs[1].find(",26,"), std::string::npos) << dialogs[1];
    EXPECT_NE(dialogs[1].find(",169 "), std::string::npos) << "its bottom on the panel's top: " << dialogs[1];
    EXPECT_EQ(dialogs[2], dialogs[0]);
    std::vector<Snapshot> shots = parse(out);
    ASSERT_EQ(shots.size(), 3u);
    std::vector<int> focused;
    for (const Snapshot& s : shots) {
        ASSERT_TRUE(s.panelUp);
        for (const Control& c : s.controls) {
            if (!c.focus) continue;
            focused.push_back(c.id);
            EXPECT_GE(c.rect.top, 26 + 17) << c.id; // below the dialog's caption
            EXPECT_LE(c.rect.bottom, s.panelTop - 1) << c.id;
        }
    }
    EXPECT_EQ(focused, (std::vector<int>{IDC_EXPONENT_CANCEL, IDC_EXPONENT_EDIT, IDC_EXPONENT_OK}));
}

TEST(Landscape, TheLastModelIsReachableWithTheStylusWhileThePanelIsUp)
{
    // Landscape: Function, then the panel raised over the selection window. The list keeps above the
    // panel; its down arrow (x 286..299, y 139..152) brings the power model into its last row.
    struct Case {
        const char* name;
        std::string scroll;
    };
    std::string arrowTaps;
    for (int i = 0; i < 12; i++) arrowTaps += "tap 292 146\n";
    const Case cases[] = {
        {"down arrow", arrowTaps},
        {"thumb dragged to the end", "drag 292 70 292 160\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = runScript("rotate\ntap 280 154\ntap 160 227\ncontrols\nsip\n" + c.scroll +
                                    "tap 100 144\nkey F1\nwindows\n");
        std::vector<Snapshot> shots = parse(out);
        ASSERT_EQ(shots.size(), 1u);
        ASSERT_EQ(shots[0].controls.size(), 1u);
        EXPECT_EQ(shots[0].controls[0].id, IDC_MODEL_LIST);
        EXPECT_LE(shots[0].controls[0].rect.bottom, shots[0].panelTop);
        EXPECT_NE(out.find("title=\"Input N:"), std::string::npos) << out;
        EXPECT_EQ(g_app.modelId, MODEL_POWER_N);
    }
}
