// SPDX-License-Identifier: GPL-3.0-or-later
// The program with the input panel: a table typed with the stylus alone, the main window above the
// panel, the About box and the selection window lowering it, and the turn of the screen.
#include "ui_test_support.h"

namespace device = kelvora::device;

namespace {

constexpr int kPanelTop = 214;        // portrait: 80 pixels above the menu bar
constexpr POINT kPanelButton{120, 307}; // the middle of the menu bar

// Centres of the portrait keys, rows of 16 pixels from the panel's top, keys 20 pixels wide.
POINT panelKey(wchar_t c)
{
    struct Row {
        const wchar_t* keys;
        int x0;
    };
    const Row rows[] = {{L"1234567890-+", 10}, {L"qwertyuiop", 10}, {L"asdfghjkl", 20}, {L"zxcvbnm.", 50}};
    for (int r = 0; r < 4; r++) {
        for (int i = 0; rows[r].keys[i]; i++) {
            if (rows[r].keys[i] == c) return POINT{rows[r].x0 + 20 * i, kPanelTop + 8 + 16 * r};
        }
    }
    ADD_FAILURE() << "no key " << static_cast<int>(c);
    return POINT{0, 0};
}
constexpr POINT kBackspace{220, 238};
constexpr POINT kRight{230, 286};

struct TypedPoint {
    const wchar_t* x;
    const wchar_t* y;
};
const TypedPoint kTable[] = {{L"1.5", L"-2"}, {L"2e-2", L"3"}, {L"-3.25", L"+7.5"}};

class PanelProgramTest : public ProgramTest {
protected:
    void tapAt(POINT p)
    {
        device::tap(p.x, p.y);
        device::pump();
    }
    void raisePanel()
    {
        tapAt(kPanelButton);
        ASSERT_TRUE(device::input_panel());
    }
    // Tap the field, move to its end and take its text away with Backspace, then tap the new text.
    void panelRetype(int id, const std::wstring& text)
    {
        size_t old = this->text(id).size();
        tapControl(id);
        for (size_t i = 0; i < old; i++) tapAt(kRight);
        for (size_t i = 0; i < old; i++) tapAt(kBackspace);
        for (wchar_t c : text) tapAt(panelKey(c));
    }
    // The count, then each point stored with Enter, moving on with Up, through `retypeField`.
    template <typename Retype> void enterTable(Retype retypeField)
    {
        retypeField(IDC_COUNT_FIELD, L"3");
        for (size_t i = 0; i < 3; i++) {
            if (i > 0) tapControl(IDC_UP);
            retypeField(IDC_X_FIELD, kTable[i].x);
            retypeField(IDC_Y_FIELD, kTable[i].y);
            tapControl(IDC_ENTER);
        }
    }
    RECT rectOf(HWND hwnd) const
    {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return r;
    }
};

struct TableSnapshot {
    int count, index;
    double x[3], y[3];
};

TableSnapshot snapshot()
{
    TableSnapshot s{g_app.points.pointCount, g_app.points.currentIndex, {}, {}};
    for (int i = 0; i < 3; i++) {
        s.x[i] = g_app.points.x[i];
        s.y[i] = g_app.points.y[i];
    }
    return s;
}

} // namespace

TEST_F(PanelProgramTest, ATableTypedOnThePanelEqualsTheSameTableTypedOnTheKeyboard)
{
    raisePanel(); // the host keyboard works as before with the panel up
    enterTable([this](int id, const std::wstring& text) { retype(id, text); });
    const TableSnapshot keyboard = snapshot();
    TearDown();
    SetUp();
    raisePanel();
    enterTable([this](int id, const std::wstring& text) { panelRetype(id, text); });
    const TableSnapshot panel = snapshot();

    const double x[] = {1.5, 0.02, -3.25}, y[] = {-2, 3, 7.5};
    EXPECT_EQ(panel.count, 3);
    EXPECT_EQ(panel.count, keyboard.count);
    EXPECT_EQ(panel.index, keyboard.index);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(panel.x[i], x[i]) << i;
        EXPECT_EQ(panel.y[i], y[i]) << i;
        EXPECT_EQ(keyboard.x[i], x[i]) << i;
        EXPECT_EQ(keyboard.y[i], y[i]) << i;
    }
}

TEST_F(PanelProgramTest, TheButtonsSitAboveThePanelWhileItIsUpAndReturnWhenItGoesDown)
{
    const int ids[] = {IDC_UP, IDC_DOWN, IDC_ENTER, IDC_FUNCTION, IDC_CALCULATE};
    RECT before[5];
    for (int i = 0; i < 5; i++) before[i] = rectOf(control(ids[i]));
    raisePanel();
    EXPECT_EQ(rectOf(mainWindow()).bottom, kPanelTop);
    for (int i = 0; i < 5; i++) {
        RECT now = rectOf(control(ids[i]));
        EXPECT_LE(now.bottom, kPanelTop) << ids[i];
        // The ones kept at the bottom edge move up by the panel's 80 pixels; Up and Down stay.
        int moved = ids[i] == IDC_UP || ids[i] == IDC_DOWN ? 0 : 80;
        EXPECT_EQ(now.top, before[i].top - moved) << ids[i];
    }
    tapAt(kPanelButton);
    EXPECT_FALSE(device::input_panel());
    for (int i = 0; i < 5; i++) {
        RECT now = rectOf(control(ids[i]));
        EXPECT_TRUE(EqualRect(&before[i], &now)) << ids[i];
    }
}

TEST_F(PanelProgramTest, TheAboutBoxLowersThePanelWhichComesBackWithTheMainWindow)
{
    raisePanel();
    bool upInside = true;
    RECT about{};
    whenWaiting([&] {
        upInside = device::input_panel();
        about = rectOf(frontWindow());
        device::tap(228, 13); // the "ok" of the navigation bar
    });
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    device::pump();
    EXPECT_FALSE(upInside);
    EXPECT_EQ(about.bottom, 320 - 26); // the whole screen above its menu bar
    EXPECT_TRUE(device::input_panel());
    EXPECT_EQ(rectOf(mainWindow()).bottom, kPanelTop);
}

TEST_F(PanelProgramTest, TheSelectionWindowOpensWithThePanelDownAndTheMainWindowGetsItBack)
{
    raisePanel();
    HWND selection = openWith(IDC_FUNCTION, L"F(x):");
    EXPECT_FALSE(device::input_panel());
    EXPECT_EQ(rectOf(selection).bottom, 320 - 26);
    key(VK_F1); // its OK closes it
    EXPECT_EQ(frontWindow(), mainWindow());
    EXPECT_TRUE(device::input_panel());
    EXPECT_EQ(rectOf(mainWindow()).bottom, kPanelTop);
}

TEST_F(PanelProgramTest, TurningTheScreenKeepsThePanelUpAndTheWindowAboveIt)
{
    raisePanel();
    device::rotate();
    device::pump();
    RECT panel{};
    EXPECT_TRUE(device::input_panel(&panel));
    EXPECT_EQ(panel.top, 240 - 26 - 45);
    EXPECT_EQ(panel.right, 320);
    RECT main = rectOf(mainWindow());
    EXPECT_EQ(main.right, 320);
    EXPECT_EQ(main.bottom, panel.top);
    // The window is shorter than its layout: Calculate shows once the window is scrolled to its end.
    EXPECT_GT(rectOf(control(IDC_CALCULATE)).bottom, panel.top);
    SendMessageW(mainWindow(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_LE(rectOf(control(IDC_CALCULATE)).bottom, panel.top);
    device::rotate();
    device::pump();
    EXPECT_TRUE(device::input_panel());
    EXPECT_EQ(rectOf(mainWindow()).right, 240);
    EXPECT_EQ(rectOf(mainWindow()).bottom, kPanelTop);
}
