// SPDX-License-Identifier: GPL-3.0-or-later
// Calculate and the results window: the fitted numbers, their text lines and the plot's pixels.
#include "ui_test_support.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "models.h"
#include "plot.h"
#include "results_window.h"

namespace device = kelvora::device;

namespace {

constexpr COLORREF kResultsBackground = RGB(190, 180, 255);
constexpr COLORREF kResultsText = RGB(100, 0, 0);
constexpr COLORREF kGrid = RGB(150, 150, 150);
constexpr COLORREF kFill = RGB(250, 250, 250);
constexpr COLORREF kMarker = RGB(180, 0, 0);
constexpr COLORREF kCurve = RGB(0, 0, 255);

} // namespace

class ResultsTest : public ProgramTest {
protected:
    HWND calculate() { return openWith(IDC_CALCULATE, L"Calculate"); }
};

TEST_F(ResultsTest, StraightLineThroughThreePointsIsDrawnThroughItsMarkers)
{
    enterPoints({{1, 3}, {2, 5}, {3, 7}});
    HWND results = calculate();
    EXPECT_DOUBLE_EQ(g_app.fit.a, 1);
    EXPECT_DOUBLE_EQ(g_app.fit.b, 2);
    EXPECT_EQ(g_app.fit.s, 0);

    RECT client;
    GetClientRect(results, &client);
    ASSERT_EQ(client.right, 240);
    ASSERT_EQ(client.bottom, 268);
    // Markers start at (60, 248), (145, 149) and (230, 50); the 3-pixel pen fills their middle.
    EXPECT_EQ(clientPixel(results, 61, 249), kMarker);
    EXPECT_EQ(clientPixel(results, 146, 150), kMarker);
    EXPECT_EQ(clientPixel(results, 231, 51), kMarker);
    // Grid lines at x = 60, 77, ... and y = 58, 77, ...; the frame's inside is light.
    EXPECT_EQ(clientPixel(results, 77, 200), kGrid);
    EXPECT_EQ(clientPixel(results, 200, 77), kGrid);
    EXPECT_EQ(clientPixel(results, 70, 70), kFill);
    // The fitted line between the markers.
    EXPECT_GT(countColour(results, {90, 180, 120, 230}, kCurve), 10);
    // Text lines in their colour; no N line for the straight line.
    EXPECT_GT(countColour(results, {10, 0, 100, 13}, kResultsText), 5);
    EXPECT_GT(countColour(results, {10, 15, 60, 28}, kResultsText), 3);
    EXPECT_GT(countColour(results, {130, 30, 180, 43}, kResultsText), 3);
    EXPECT_EQ(countColour(results, {130, 15, 200, 28}, kResultsText), 0);
    EXPECT_EQ(clientPixel(results, 200, 5), kResultsBackground);
}

TEST_F(ResultsTest, PowerModelShowsItsExponentBesideA)
{
    enterPoints({{1, 3}, {2, 9}, {3, 19}});
    g_app.modelId = MODEL_POWER_N;
    HWND results = calculate();
    EXPECT_NEAR(g_app.fit.a, 1, 1e-12);
    EXPECT_NEAR(g_app.fit.b, 2, 1e-12);
    EXPECT_GT(countColour(results, {130, 15, 180, 28}, kResultsText), 3);
}

TEST_F(ResultsTest, EmptyTableGivesZerosAndAPlotWithoutCurveOrMarkers)
{
    HWND results = calculate();
    EXPECT_EQ(g_app.fit.a, 0);
    EXPECT_EQ(g_app.fit.b, 0);
    EXPECT_EQ(g_app.fit.s, 0);
    EXPECT_EQ(countColour(results, {60, 50, 231, 249}, kMarker), 0);
    EXPECT_EQ(countColour(results, {60, 50, 231, 249}, kCurve), 0);
    EXPECT_EQ(clientPixel(results, 60, 100), kGrid);
}

TEST_F(ResultsTest, OnePointAndUndefinedValuesDrawWhatCanBeDrawn)
{
    enterPoints({{2, 4}});
    HWND results = calculate();
    EXPECT_TRUE(std::isnan(g_app.fit.a));
    // Both axes collapse to one value: the marker sits in the middle of the frame.
    EXPECT_EQ(clientPixel(results, 146, 150), kMarker);

    key(VK_F1); // back to the data-entry window
    enterPoints({{0, 1}, {1, 2}, {2, 3}});
    g_app.modelId = 2; // Y=A+B/X is undefined at x = 0
    HWND second = calculate();
    EXPECT_NE(second, results);
    EXPECT_TRUE(IsWindow(second));
}

TEST_F(ResultsTest, EachCalculateOpensItsOwnWindowClosedByItsOwnOk)
{
    enterPoints({{1, 1}, {2, 2}});
    HWND first = calculate();
    SetForegroundWindow(mainWindow());
    device::pump();
    HWND second = calculate();
    EXPECT_NE(first, second);
    EXPECT_EQ(topLevelCount(), 3);
    key(VK_F1);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_TRUE(IsWindow(first));
    EXPECT_EQ(g_app.points.pointCount, 2);
}

TEST_F(ResultsTest, HelpMenuItemsDoNothingThere)
{
    enterPoints({{1, 1}, {2, 2}});
    HWND results = calculate();
    for (int id : {IDM_NEW, IDM_ABOUT, IDM_LOAD, IDM_SAVE}) {
        SendMessageW(results, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    device::pump();
    EXPECT_EQ(g_app.points.pointCount, 2);
    EXPECT_EQ(topLevelCount(), 2);
}

// The client area of a window as its last paint left it, row by row.
std::vector<COLORREF> clientPixels(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < client.bottom; y++) {
        for (int x = 0; x < client.right; x++) pixels.push_back(GetPixel(dc, x, y));
    }
    ReleaseDC(window, dc);
    return pixels;
}

// What can change while a results window stays open behind another window, each followed by a paint of
// that results window. The plot it paints then must be the one a results window opened anew on the
// state record shows (createResultsWindow: the same fit, nothing kept from before).
struct ChangeBehindCase {
    const char* name;
    std::function<void()> change;
    bool changesPicture;
};

TEST_F(ResultsTest, PaintShowsWhatChangedWhileTheWindowStayedOpen)
{
    const ChangeBehindCase cases[] = {
        {"a point stored", [this] { retype(IDC_Y_FIELD, L"17"), tapControl(IDC_ENTER); }, true},
        {"the count lowered", [this] { retype(IDC_COUNT_FIELD, L"2"); }, true},
        {"a new table of as many points",
         [this] {
             SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
             retype(IDC_COUNT_FIELD, L"3");
         },
         true},
        {"another model", [] { g_app.modelId = 4; }, true},
        {"another exponent",
         [] {
             g_app.modelId = MODEL_POWER_N;
             g_app.exponentN = 0.5;
         },
         true},
        {"another fit", [] { g_app.fit.b = -1; }, true},
        {"nothing but a rotation", [] { device::rotate(); }, false},
    };
    for (const ChangeBehindCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        enterPoints({{1, 3}, {2, 5}, {3, 7}});
        HWND results = calculate();
        std::vector<COLORREF> before = clientPixels(results);
        SetForegroundWindow(mainWindow());
        device::pump();
        c.change();
        SetForegroundWindow(results);
        InvalidateRect(results, nullptr, FALSE);
        UpdateWindow(results);
        device::pump();
        std::vector<COLORREF> repainted = clientPixels(results);
        HWND fresh = createResultsWindow();
        device::pump();
        ASSERT_NE(fresh, nullptr);
        EXPECT_TRUE(clientPixels(fresh) == repainted);
        if (c.changesPicture) {
            EXPECT_FALSE(repainted == before);
        }
    }
}

struct MapCase {
    double value, lo, hi;
    int p0, p1, expected;
};

TEST(PlotMapping, TruncatesTowardZeroAndHitsTheEnds)
{
    const MapCase cases[] = {
        {2, 1, 5, 60, 230, 102}, {3, 0, 10, 248, 50, 188}, {5, 1, 5, 60, 230, 230},
        {0, 0, 10, 248, 50, 248}, {10, 0, 10, 248, 50, 50},
    };
    for (const MapCase& c : cases) {
        EXPECT_EQ(mapToPixel(c.value, c.lo, c.hi, c.p0, c.p1), c.expected) << c.value << " in " << c.lo << ".." << c.hi;
    }
    // No number, or beyond an int: still a defined pixel.
    EXPECT_EQ(mapToPixel(NAN, 0, 1, 60, 230), 60);
    EXPECT_EQ(mapToPixel(1e300, 0, 1, 60, 230), 2147483647);
}

TEST(PlotBoundsTest, FittedValuesWidenTheVerticalRange)
{
    resetAppState();
    g_app.points.pointCount = 3;
    double xs[] = {3, 1, 2};
    double ys[] = {1, 1, 1};
    for (int i = 0; i < 3; i++) {
        g_app.points.x[i] = xs[i];
        g_app.points.y[i] = ys[i];
    }
    g_app.fit.a = 0;
    g_app.fit.b = 2; // Y=A+B*X gives 6 at x = 3
    double fitted[3];
    computeFittedValues(g_app.modelId, g_app.fit.a, g_app.fit.b, g_app.exponentN, xs, 3, fitted);
    PlotBounds bounds = computePlotBounds(xs, ys, fitted, 3);
    EXPECT_EQ(bounds.xMin, 1);
    EXPECT_EQ(bounds.xMax, 3);
    EXPECT_EQ(bounds.yMin, 1);
    EXPECT_EQ(bounds.yMax, 6);
}

// Bounds found from the ranges of blocks of points are those found point by point, even where the
// order of the points decides: a zero bound keeps the sign of the first zero met (X, then each point's
// Y before its fitted value), a NaN first keeps a bound NaN, a later one never widens it. 600 points
// in three blocks: X = 1..600, Y = 400..406, fitted Y = 0.5 X + 3 (3.5 at X = 1, +0 at X = -6).
struct BoundsCase {
    const char* name;
    std::function<void(std::vector<double>& x, std::vector<double>& y)> change;
    PlotBounds expected;
    bool negativeZeroXMin, negativeZeroYMin;
};

TEST(PlotBoundsTest, BoundsFromBlocksAreThoseFoundPointByPoint)
{
    constexpr double inf = INFINITY;
    const BoundsCase cases[] = {
        {"plain", [](auto&, auto&) {}, {1, 600, 3.5, 406}, false, false},
        {"X zero met first as -0", [](auto& x, auto&) { x[300] = -0.0, x[400] = 0.0; }, {0, 600, 3, 406}, true, false},
        {"X zero met first as +0", [](auto& x, auto&) { x[300] = 0.0, x[400] = -0.0; }, {0, 600, 3, 406}, false, false},
        {"fitted zero before a -0 Y", [](auto& x, auto& y) { x[200] = -6, y[350] = -0.0; }, {-6, 600, 0, 406}, false,
         false},
        {"-0 Y before a fitted zero", [](auto& x, auto& y) { x[200] = -6, y[100] = -0.0; }, {-6, 600, 0, 406}, false,
         true},
        {"a later NaN never widens", [](auto&, auto& y) { y[450] = NAN; }, {1, 600, 3.5, 406}, false, false},
        {"an infinite Y widens", [](auto&, auto& y) { y[500] = inf; }, {1, 600, 3.5, inf}, false, false},
    };
    for (const BoundsCase& c : cases) {
        std::vector<double> x(600), y(600), fitted(600);
        for (int i = 0; i < 600; i++) {
            x[i] = 1 + i;
            y[i] = 400 + i % 7;
        }
        c.change(x, y);
        std::vector<PlotBlockRanges> ranges(PLOT_BLOCK_COUNT(600));
        std::vector<unsigned char> found(PLOT_BLOCK_COUNT(600));
        PlotFittedValues lazy = {0, 3, 0.5, 2, fitted.data(), found.data()};
        const PlotBounds bounds[] = {
            computeFittedValuesAndBounds(0, 3, 0.5, 2, x.data(), y.data(), 600, fitted.data(), ranges.data()),
            computeBoundsOfFittedValues(&lazy, x.data(), y.data(), 600, ranges.data()),
        };
        for (const PlotBounds& b : bounds) {
            EXPECT_EQ(b.xMin, c.expected.xMin) << c.name;
            EXPECT_EQ(b.xMax, c.expected.xMax) << c.name;
            EXPECT_EQ(b.yMin, c.expected.yMin) << c.name;
            EXPECT_EQ(b.yMax, c.expected.yMax) << c.name;
            EXPECT_TRUE(c.expected.xMin != 0 || std::signbit(b.xMin) == c.negativeZeroXMin) << c.name;
            EXPECT_TRUE(c.expected.yMin != 0 || std::signbit(b.yMin) == c.negativeZeroYMin) << c.name;
        }
    }
    std::vector<double> x = {NAN, 1, 2}, y = {1, 2, 3}, fitted(3);
    PlotBlockRanges ranges[1];
    PlotBounds b = computeFittedValuesAndBounds(0, 0, 1, 2, x.data(), y.data(), 3, fitted.data(), ranges);
    EXPECT_TRUE(std::isnan(b.xMin) && std::isnan(b.xMax)) << "a NaN X first";
}
