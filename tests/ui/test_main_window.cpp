// SPDX-License-Identifier: GPL-3.0-or-later
// The data-entry window as a user meets it: fields, labels, position bar, buttons, menu and soft keys.
#include "ui_test_support.h"

#include "kelvora.h"
#include "main_window.h"

namespace device = kelvora::device;

namespace {

constexpr COLORREF kBackground = RGB(200, 200, 255);
constexpr COLORREF kBarDone = RGB(100, 100, 255);
constexpr COLORREF kBarRest = RGB(230, 230, 255);

// Dark pixels: text was drawn there.
bool isInk(COLORREF c)
{
    return GetRValue(c) < 100 && GetGValue(c) < 100;
}

bool isReadOnly(HWND field)
{
    return (GetWindowLongW(field, GWL_STYLE) & ES_READONLY) != 0;
}

} // namespace

TEST_F(ProgramTest, StartsWithZeroInEveryFieldReadOnlyValuesAndNoBar)
{
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"0");
    EXPECT_EQ(text(IDC_X_FIELD), L"0");
    EXPECT_EQ(text(IDC_Y_FIELD), L"0");
    EXPECT_TRUE(isReadOnly(control(IDC_X_FIELD)));
    EXPECT_TRUE(isReadOnly(control(IDC_Y_FIELD)));
    EXPECT_FALSE(isReadOnly(control(IDC_COUNT_FIELD)));

    RECT client;
    GetClientRect(mainWindow(), &client);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 268);
    for (int x = 10; x < 150; x += 7) EXPECT_EQ(clientPixel(mainWindow(), x, 144), kBackground) << x;
    EXPECT_GT(countPixels(mainWindow(), {10, 0, 40, 14}, isInk), 10) << "N: label";
    EXPECT_GT(countPixels(mainWindow(), {10, 50, 50, 64}, isInk), 10) << "X[1]: label";
    EXPECT_GT(countPixels(mainWindow(), {10, 100, 50, 114}, isInk), 10) << "Y[1]: label";

    // Typing into a read-only field changes nothing.
    tapControl(IDC_X_FIELD);
    type(L"5");
    EXPECT_EQ(text(IDC_X_FIELD), L"0");
}

TEST_F(ProgramTest, CountFieldAcceptsDigitsOnlyAndOpensTheValueFields)
{
    retype(IDC_COUNT_FIELD, L"x3");
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"3");
    EXPECT_EQ(g_app.points.pointCount, 3);
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_FALSE(isReadOnly(control(IDC_X_FIELD)));
    EXPECT_FALSE(isReadOnly(control(IDC_Y_FIELD)));
}

TEST_F(ProgramTest, StoredPointsAreBrowsedWithUpAndDown)
{
    enterPoints({{1, 3}, {2, 5}, {3.14159265, 7.5}});
    EXPECT_EQ(g_app.points.pointCount, 3);
    EXPECT_EQ(g_app.points.x[2], 3.14159265);
    EXPECT_EQ(g_app.points.y[1], 5);

    tapControl(IDC_DOWN);
    EXPECT_EQ(g_app.points.currentIndex, 1);
    EXPECT_EQ(text(IDC_X_FIELD), L"2");
    tapControl(IDC_UP);
    // The field shows every digit, so storing the shown point again keeps it.
    EXPECT_EQ(text(IDC_X_FIELD), L"3.14159265");
    tapControl(IDC_ENTER);
    EXPECT_EQ(g_app.points.x[2], 3.14159265);
}

TEST_F(ProgramTest, UpAndDownAtTheEndsRewriteTheFieldsAndDropUnstoredTyping)
{
    enterPoints({{1, 10}, {2, 20}});
    retype(IDC_X_FIELD, L"99");
    tapControl(IDC_UP); // already at the last point
    EXPECT_EQ(g_app.points.currentIndex, 1);
    EXPECT_EQ(text(IDC_X_FIELD), L"2");

    tapControl(IDC_DOWN);
    retype(IDC_Y_FIELD, L"77");
    tapControl(IDC_DOWN); // already at the first point
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_EQ(text(IDC_Y_FIELD), L"10");
    EXPECT_EQ(g_app.points.y[0], 10);
}

TEST_F(ProgramTest, UpAndDownWithNoPointsStayAtTheFirstAndKeepTheFieldsReadOnly)
{
    tapControl(IDC_UP);
    tapControl(IDC_DOWN);
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"0");
    EXPECT_TRUE(isReadOnly(control(IDC_X_FIELD)));
}

TEST_F(ProgramTest, CountChangesKeepOrMoveTheCurrentPoint)
{
    enterPoints({{1, 1}, {2, 2}, {3, 3}});
    ASSERT_EQ(g_app.points.currentIndex, 2);

    retype(IDC_COUNT_FIELD, L"5"); // growing keeps the index
    EXPECT_EQ(g_app.points.pointCount, 5);
    EXPECT_EQ(g_app.points.currentIndex, 2);

    retype(IDC_COUNT_FIELD, L"2"); // shrinking below it moves to the new last point
    EXPECT_EQ(g_app.points.currentIndex, 1);
    EXPECT_EQ(text(IDC_X_FIELD), L"2");
    EXPECT_EQ(text(IDC_Y_FIELD), L"2");

    retype(IDC_COUNT_FIELD, L"3"); // the old third point is still there
    tapControl(IDC_UP);
    EXPECT_EQ(text(IDC_X_FIELD), L"3");
}

// Typing into the count field while the current point lies beyond the count being typed: the count
// change moves the point and rewrites the field, and the digits must still land where they were typed.
constexpr UINT kShiftEnd = 0; // Shift+End: selects from the caret to the end

struct CountTypingCase {
    const char* name;
    int count; // points before the typing, the last one current
    std::vector<UINT> keys;
    const wchar_t* typed;
    const wchar_t* shown;
    int currentIndex;
    const wchar_t* xShown; // the X field, as the last refresh left it
};

class CountTypingTest : public ProgramTest, public ::testing::WithParamInterface<CountTypingCase> {};

TEST_P(CountTypingTest, DigitsStayInTheOrderTyped)
{
    const CountTypingCase& c = GetParam();
    retype(IDC_COUNT_FIELD, std::to_wstring(c.count));
    g_app.points.currentIndex = c.count - 1;
    for (int i = 0; i < c.count; i++) g_app.points.x[i] = 100 + i;
    refreshEntryFields(mainWindow());
    tapControl(IDC_COUNT_FIELD);
    for (UINT vk : c.keys) {
        if (vk == kShiftEnd) {
            device::key(VK_END, false, true);
        } else {
            device::key(vk);
        }
    }
    type(c.typed);
    EXPECT_EQ(text(IDC_COUNT_FIELD), c.shown);
    EXPECT_EQ(g_app.points.pointCount, std::stoi(c.shown));
    EXPECT_EQ(g_app.points.currentIndex, c.currentIndex);
    EXPECT_EQ(text(IDC_X_FIELD), c.xShown);
    // The caret stayed behind the last digit typed: one more goes to the end.
    if (std::wstring(c.shown).size() < 3) {
        type(L"7");
        EXPECT_EQ(text(IDC_COUNT_FIELD), std::wstring(c.shown) + L"7");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CountTypingTest,
    ::testing::Values(
        CountTypingCase{"EndBackspaceFive", 10, {VK_END, VK_BACK}, L"5", L"15", 0, L"100"},
        CountTypingCase{"SelectedThreeTypedTwelve", 3, {VK_HOME, kShiftEnd}, L"12", L"12", 0, L"100"},
        CountTypingCase{"GrowingFromTenToTwentyFive", 10, {VK_HOME, kShiftEnd}, L"25", L"25", 1, L"101"},
        // Emptied on the way: the fields keep the texts of the last refresh, at count 2.
        CountTypingCase{"ShrinkingThroughEmpty", 25, {VK_END, VK_BACK, VK_BACK}, L"3", L"3", 0, L"101"},
        CountTypingCase{"MiddleDigitReplaced", 19, {VK_HOME, VK_RIGHT, VK_DELETE}, L"2", L"12", 0, L"100"},
        CountTypingCase{"TypedInTheMiddle", 100, {VK_HOME, VK_RIGHT, VK_DELETE}, L"5", L"150", 9, L"109"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, CountRewrittenAtTheCapacityKeepsTheCaretInRange)
{
    tapControl(IDC_COUNT_FIELD);
    key(VK_HOME);
    device::key(VK_END, false, true);
    type(L"2000000");
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"1000000");
    key(VK_BACK); // the caret is at the end of the shown text, not at its start
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"100000");
    EXPECT_EQ(g_app.points.pointCount, 100000);
}

TEST_F(ProgramTest, EmptyingTheCountKeepsTheTextsButLocksTheFieldsAndHidesTheBar)
{
    enterPoints({{4, 8}, {5, 9}});
    retype(IDC_COUNT_FIELD, L"");
    EXPECT_EQ(g_app.points.pointCount, 0);
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_EQ(text(IDC_X_FIELD), L"5");
    EXPECT_TRUE(isReadOnly(control(IDC_X_FIELD)));
    EXPECT_TRUE(isReadOnly(control(IDC_Y_FIELD)));
    EXPECT_EQ(clientPixel(mainWindow(), 20, 144), kBackground);
}

TEST_F(ProgramTest, CountAboveTheCapacityIsBroughtToTheCapacityAndShown)
{
    retype(IDC_COUNT_FIELD, L"1000001");
    EXPECT_EQ(g_app.points.pointCount, POINT_CAPACITY);
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"1000000");
    tapControl(IDC_UP);
    tapControl(IDC_DOWN);
    EXPECT_EQ(g_app.points.currentIndex, 0);
}

struct BarCase {
    const char* name;
    int count;
    int current;
    int endColumn;
};

class PositionBarTest : public ProgramTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(PositionBarTest, DonePartEndsAtTheCurrentPointsShare)
{
    const BarCase& c = GetParam();
    retype(IDC_COUNT_FIELD, std::to_wstring(c.count));
    for (int i = 0; i < c.current; i++) tapControl(IDC_UP);
    EXPECT_EQ(clientPixel(mainWindow(), 10, 143), kBarDone);
    EXPECT_EQ(clientPixel(mainWindow(), c.endColumn - 1, 146), kBarDone);
    if (c.endColumn < 150) {
        EXPECT_EQ(clientPixel(mainWindow(), c.endColumn, 143), kBarRest);
    }
    EXPECT_EQ(clientPixel(mainWindow(), 149, 146), c.endColumn == 150 ? kBarDone : kBarRest);
    EXPECT_EQ(clientPixel(mainWindow(), 150, 144), kBackground);
    EXPECT_EQ(clientPixel(mainWindow(), 20, 142), kBackground);
    EXPECT_EQ(clientPixel(mainWindow(), 20, 147), kBackground);
}

INSTANTIATE_TEST_SUITE_P(Points, PositionBarTest,
                         ::testing::Values(BarCase{"FirstOfThree", 3, 0, 56}, BarCase{"SecondOfThree", 3, 1, 103},
                                           BarCase{"LastOfThree", 3, 2, 150}, BarCase{"FirstOfTwo", 2, 0, 80},
                                           BarCase{"LastOfTwo", 2, 1, 150}),
                         [](const auto& info) { return std::string(info.param.name); });

class TypedNumberTest : public ProgramTest, public ::testing::WithParamInterface<TypedNumberCase> {};

// Enter keeps what the fields show; the table's own text shows the stored value at the next refresh.
TEST_P(TypedNumberTest, EnterStoresAFieldOfOneNumberAndKeepsTheOldValueForAnyOtherText)
{
    const TypedNumberCase& c = GetParam();
    enterPoints({{6, 7}});
    retype(IDC_X_FIELD, c.typed);
    retype(IDC_Y_FIELD, c.typed);
    tapControl(IDC_ENTER);
    EXPECT_EQ(g_app.points.x[0], c.read ? c.value : 6);
    EXPECT_EQ(g_app.points.y[0], c.read ? c.value : 7);
    EXPECT_EQ(text(IDC_X_FIELD), c.typed);
    EXPECT_EQ(text(IDC_Y_FIELD), c.typed);
    EXPECT_EQ(g_app.points.pointCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Typed, TypedNumberTest, ::testing::ValuesIn(kTypedNumbers), typedNumberName);

TEST_F(ProgramTest, EnterParsesEachFieldOnItsOwn)
{
    enterPoints({{6, 7}});
    retype(IDC_X_FIELD, L"abc");
    retype(IDC_Y_FIELD, L"2");
    tapControl(IDC_ENTER);
    EXPECT_EQ(g_app.points.x[0], 6);
    EXPECT_EQ(g_app.points.y[0], 2);

    retype(IDC_X_FIELD, L"1.5e3");
    tapControl(IDC_ENTER);
    EXPECT_EQ(g_app.points.x[0], 1500);
    tapControl(IDC_UP);
    EXPECT_EQ(text(IDC_X_FIELD), L"1500");

    retype(IDC_X_FIELD, L"-2,5e3");
    tapControl(IDC_ENTER);
    tapControl(IDC_UP);
    EXPECT_EQ(text(IDC_X_FIELD), L"-2500") << "the stored value is shown with a point, as every value is";
}

TEST_F(ProgramTest, NewClearsTheTableButNotTheModel)
{
    enterPoints({{1, 2}, {3, 4}});
    g_app.modelId = 5;
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
    device::pump();
    EXPECT_EQ(g_app.points.pointCount, 0);
    EXPECT_EQ(g_app.points.x[1], 0);
    EXPECT_EQ(g_app.modelId, 5);
    EXPECT_EQ(text(IDC_COUNT_FIELD), L"0");
    EXPECT_EQ(text(IDC_X_FIELD), L"0");
    EXPECT_TRUE(isReadOnly(control(IDC_Y_FIELD)));
}

TEST_F(ProgramTest, ButtonsActOnlyOnClicksAndFieldsOnlyOnChanges)
{
    enterPoints({{1, 1}, {2, 2}});
    tapControl(IDC_DOWN);
    for (int id : {IDC_UP, IDC_DOWN, IDC_ENTER, IDC_FUNCTION, IDC_CALCULATE}) {
        SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(id, 1), 0);
    }
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDC_COUNT_FIELD, EN_SETFOCUS), 0);
    device::pump();
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_EQ(topLevelCount(), 1);

    SetWindowTextW(control(IDC_COUNT_FIELD), L"1");
    EXPECT_EQ(g_app.points.pointCount, 1) << "EN_CHANGE of the program's own write counts";
}

TEST_F(ProgramTest, ExitAsksFirstAndCancelKeepsEverything)
{
    enterPoints({{1, 2}});
    whenWaiting([] {
        EXPECT_EQ(topLevelCount(), 2);
        device::key(VK_ESCAPE);
    });
    key(VK_F1);
    EXPECT_TRUE(IsWindow(mainWindow()));
    EXPECT_EQ(g_app.points.pointCount, 1);
    EXPECT_FALSE(device::quit_requested());
}

TEST_F(ProgramTest, ExitConfirmedEndsTheProgram)
{
    whenWaiting([] { device::key(VK_RETURN); });
    key(VK_F1);
    EXPECT_FALSE(IsWindow(mainWindow()));
    int code = -1;
    EXPECT_TRUE(device::quit_requested(&code));
    EXPECT_EQ(code, 0);
}

TEST_F(ProgramTest, HostWindowCloseGoesThroughTheExitQuestion)
{
    whenWaiting([] { device::key(VK_ESCAPE); });
    device::host_close();
    device::pump();
    EXPECT_TRUE(IsWindow(mainWindow()));
}

TEST_F(ProgramTest, HostWindowCloseAnsweredCancelLeavesTheWindowsAsTheyStood)
{
    for (int button : {IDC_FUNCTION, IDC_CALCULATE}) {
        HWND secondary = openWith(button, button == IDC_FUNCTION ? L"F(x):" : L"Calculate");
        ASSERT_EQ(frontWindow(), secondary);
        HWND during = nullptr;
        whenWaiting([&] {
            during = frontWindow(); // the question, over everything
            device::key(VK_ESCAPE);
        });
        device::host_close();
        device::pump();
        EXPECT_NE(during, secondary);
        EXPECT_EQ(frontWindow(), secondary);
        EXPECT_EQ(GetForegroundWindow(), secondary);
        EXPECT_EQ(topLevelCount(), 2);
        // Its own OK still closes it and the main window is back in front.
        SendMessageW(secondary, WM_CLOSE, 0, 0);
        device::pump();
        EXPECT_EQ(frontWindow(), mainWindow());
    }
}

TEST_F(ProgramTest, RotationMovesTheButtonsWithTheRightAndBottomEdges)
{
    device::rotate();
    device::pump();
    RECT client;
    GetClientRect(mainWindow(), &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 188);

    struct Expected {
        int id;
        int x;
        int y;
    };
    for (Expected e : {Expected{IDC_UP, 250, 35}, Expected{IDC_DOWN, 250, 70}, Expected{IDC_ENTER, 10, 153},
                       Expected{IDC_FUNCTION, 250, 118}, Expected{IDC_CALCULATE, 250, 153},
                       Expected{IDC_COUNT_FIELD, 10, 20}, Expected{IDC_Y_FIELD, 10, 120}}) {
        RECT r;
        GetWindowRect(control(e.id), &r);
        EXPECT_EQ(r.left, e.x) << e.id;
        EXPECT_EQ(r.top, e.y + kNavBarHeight) << e.id;
    }
}

// A turn and a turn back put every field and button where the window created it; in between none of
// them changes size.
TEST_F(ProgramTest, RotatingBackPutsEveryControlWhereItStarted)
{
    const int ids[] = {IDC_COUNT_FIELD, IDC_X_FIELD, IDC_Y_FIELD, IDC_UP,
                       IDC_DOWN,        IDC_ENTER,   IDC_FUNCTION, IDC_CALCULATE};
    RECT started[8];
    for (int i = 0; i < 8; i++) GetWindowRect(control(ids[i]), &started[i]);

    device::rotate();
    device::pump();
    for (int i = 0; i < 8; i++) {
        RECT r;
        GetWindowRect(control(ids[i]), &r);
        EXPECT_EQ(r.right - r.left, started[i].right - started[i].left) << ids[i];
        EXPECT_EQ(r.bottom - r.top, started[i].bottom - started[i].top) << ids[i];
    }

    device::rotate();
    device::pump();
    for (int i = 0; i < 8; i++) {
        RECT r;
        GetWindowRect(control(ids[i]), &r);
        EXPECT_TRUE(EqualRect(&r, &started[i])) << ids[i];
    }
}

TEST_F(ProgramTest, SecondStartBringsTheFirstForwardAndEnds)
{
    tapControl(IDC_CALCULATE);
    ASSERT_NE(frontWindow(), mainWindow());
    EXPECT_FALSE(initInstance(GetModuleHandleW(nullptr), SW_SHOW));
    EXPECT_EQ(frontWindow(), mainWindow());
    EXPECT_EQ(topLevelCount(), 2);
}
