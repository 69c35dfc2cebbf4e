// SPDX-License-Identifier: GPL-3.0-or-later
// The plot at many points, pixel for pixel against a plain rendering that draws every segment and every
// marker one by one, as the drawing rules state them; and the plot of values whose range overflows.
#include <kelvora_device.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "app_state.h"
#include "fit.h"
#include "label.h"
#include "models.h"
#include "plot.h"

namespace device = kelvora::device;

namespace {

bool g_plainRendering = false;
std::vector<COLORREF> g_rendered; // the client area as the last paint left it, row by row
std::vector<double> g_fitted;
PlotBounds g_plotBounds;
PlotMarks g_marks;
const PlotContent* g_handedContent = nullptr; // drawn instead of the state record's plot when set

bool g_withRanges = false; // the plot is handed the ranges of its blocks, as the results window does
std::vector<double> g_lazyFitted;
std::vector<unsigned char> g_lazyFound;
std::vector<PlotBlockRanges> g_ranges;
PlotFittedValues g_fittedValues;

// The plot of the state record's points and fit, as the results window draws it: with g_withRanges,
// with the ranges of its blocks and its fitted values found block by block. The plain rendering takes
// g_plotBounds from it, found point by point.
PlotContent stateContent()
{
    const PointTable& t = g_app.points;
    g_fitted.assign((size_t)t.pointCount + 1, 0.0);
    computeFittedValues(g_app.modelId, g_app.fit.a, g_app.fit.b, g_app.exponentN, t.x, t.pointCount,
                        g_fitted.data());
    g_plotBounds = computePlotBounds(t.x, t.y, g_fitted.data(), t.pointCount);
    if (!g_withRanges) {
        return PlotContent{t.x, t.y, g_fitted.data(), t.pointCount, g_plotBounds, nullptr, nullptr, nullptr};
    }
    size_t blocks = (size_t)PLOT_BLOCK_COUNT(t.pointCount) + 1;
    g_ranges.assign(blocks, PlotBlockRanges{});
    g_lazyFound.assign(blocks, 1); // set anew by computeBoundsOfFittedValues
    g_lazyFitted.assign((size_t)t.pointCount + 1, -12345.0); // a value no block may show unless it was found
    g_fittedValues = {g_app.modelId, g_app.fit.a, g_app.fit.b, g_app.exponentN, g_lazyFitted.data(), g_lazyFound.data()};
    PlotBounds bounds = computeBoundsOfFittedValues(&g_fittedValues, t.x, t.y, t.pointCount, g_ranges.data());
    return PlotContent{t.x, t.y, nullptr, t.pointCount, bounds, nullptr, g_ranges.data(), &g_fittedValues};
}

// The pixel of a value on one axis, or false when it has none (a value or bound that is no finite
// number); equal bounds put the value in the middle.
bool plainAxis(double value, double lo, double hi, int p0, int p1, int* pixel)
{
    if (!std::isfinite(value) || !std::isfinite(lo) || !std::isfinite(hi)) return false;
    *pixel = hi == lo ? p0 + (p1 - p0) / 2 : mapToPixel(value, lo, hi, p0, p1);
    return true;
}

bool plainPixel(int left, int right, int bottom, int top, double x, double y, POINT* p)
{
    int px, py;
    const PlotBounds& b = g_plotBounds;
    if (!plainAxis(x, b.xMin, b.xMax, left, right, &px) || !plainAxis(y, b.yMin, b.yMax, bottom, top, &py)) return false;
    *p = POINT{px, py};
    return true;
}

void plainLabel(HWND window, HDC dc, double value, int x, int y, int alignRight, int alignBottom)
{
    WCHAR text[64];
    swprintf(text, 64, L"%6.3g", value);
    SIZE size{};
    GetTextExtentExPointW(dc, text, (int)wcslen(text), 0, nullptr, nullptr, &size);
    drawLabel(window, dc, x - alignRight * size.cx, y - alignBottom * size.cy, text);
}

// Every step of the plot the straightforward way: one LineTo per point, one Rectangle per marker.
void plainPlot(HWND window, HDC dc, int width, int height)
{
    const int left = 60, right = width - 10, bottom = height - 20, top = 50;
    const PointTable& t = g_app.points;
    HBRUSH fill = CreateSolidBrush(RGB(250, 250, 250));
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    stateContent();
    HPEN grid = CreatePen(PS_SOLID, 1, RGB(150, 150, 150));
    HGDIOBJ oldPen = SelectObject(dc, grid);
    Rectangle(dc, left, bottom, right, top);
    plainLabel(window, dc, g_plotBounds.xMin, left, bottom, 0, 0);
    plainLabel(window, dc, g_plotBounds.xMax, right, bottom, 1, 0);
    plainLabel(window, dc, g_plotBounds.yMin, left, bottom, 1, 1);
    plainLabel(window, dc, g_plotBounds.yMax, left, top, 1, 0);
    SIZE size{};
    GetTextExtentExPointW(dc, AXIS_X_TEXT, (int)wcslen(AXIS_X_TEXT), 0, nullptr, nullptr, &size);
    drawLabel(window, dc, left + (right - size.cx - left) / 2, bottom, AXIS_X_TEXT);
    const WCHAR* axisY = modelText(AXIS_Y_INDEX);
    GetTextExtentExPointW(dc, axisY, (int)wcslen(axisY), 0, nullptr, nullptr, &size);
    drawLabel(window, dc, 10, top + (bottom - size.cy - top) / 2, axisY);
    for (int k = 0; k <= 10; k++) {
        MoveToEx(dc, left + k * ((right - left) / 10), top, nullptr);
        LineTo(dc, left + k * ((right - left) / 10), bottom);
    }
    for (int k = 0; k <= 10; k++) {
        int y = bottom - 10 * ((bottom - top) / 10) + k * ((bottom - top) / 10);
        MoveToEx(dc, left, y, nullptr);
        LineTo(dc, right, y);
    }
    HPEN curve = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    SelectObject(dc, curve);
    bool drawing = false;
    POINT p;
    for (int i = 0; i < t.pointCount; i++) {
        if (!plainPixel(left, right, bottom, top, t.x[i], evaluateModel(t.x[i]), &p)) {
            drawing = false;
            continue;
        }
        if (!drawing) MoveToEx(dc, p.x, p.y, nullptr);
        LineTo(dc, p.x, p.y);
        drawing = true;
    }
    HPEN marker = CreatePen(PS_SOLID, 3, RGB(180, 0, 0));
    SelectObject(dc, marker);
    for (int i = 0; i < t.pointCount; i++) {
        if (plainPixel(left, right, bottom, top, t.x[i], t.y[i], &p)) Rectangle(dc, p.x, p.y, p.x + 2, p.y + 2);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(grid);
    DeleteObject(marker);
    DeleteObject(curve);
    DeleteObject(fill);
}

LRESULT CALLBACK PlotWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT rc;
    GetClientRect(window, &rc);
    FillRect(dc, &rc, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    if (g_plainRendering) {
        plainPlot(window, dc, rc.right, rc.bottom);
    } else {
        PlotContent content = g_handedContent != nullptr ? *g_handedContent : stateContent();
        drawPlot(window, dc, rc.left, rc.top, rc.right, rc.bottom, &content, &g_marks);
    }
    g_rendered.clear();
    for (int y = 0; y < rc.bottom; y++) {
        for (int x = 0; x < rc.right; x++) g_rendered.push_back(GetPixel(dc, x, y));
    }
    EndPaint(window, &ps);
    return 0;
}

class PlotRendering : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetAppState();
        device::start_headless();
        WNDCLASSW wc{};
        wc.lpfnWndProc = PlotWindow;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PlotTest";
        RegisterClassW(&wc);
        m_window = CreateWindowExW(0, L"PlotTest", L"Plot", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override { device::stop(); }

    std::vector<COLORREF> render(bool plain, bool withRanges = false)
    {
        g_plainRendering = plain;
        g_withRanges = withRanges;
        InvalidateRect(m_window, nullptr, FALSE);
        UpdateWindow(m_window);
        g_withRanges = false;
        return g_rendered;
    }

    // The number of pixels where the program's plot, drawn with and without the ranges of its blocks,
    // differs from the plain one, in portrait and landscape.
    int differingPixels()
    {
        int differing = 0;
        for (int turn = 0; turn < 2; turn++) {
            std::vector<COLORREF> fast = render(false);
            std::vector<COLORREF> withRanges = render(false, true);
            std::vector<COLORREF> plain = render(true);
            for (size_t i = 0; i < fast.size(); i++) differing += (fast[i] != plain[i]) + (withRanges[i] != plain[i]);
            device::rotate();
            SetWindowPos(m_window, nullptr, 0, 26, device::screen_width(), device::screen_height() - 26, SWP_NOZORDER);
        }
        return differing;
    }

    HWND m_window = nullptr;
};

struct Dataset {
    const char* name;
    int model;
    double a, b;
    double (*x)(int i, std::mt19937& random);
    double (*y)(double x, int i, std::mt19937& random);
};

double uniform(std::mt19937& random)
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(random);
}

// Sorted measurements on a fine grid, a wave that runs up and down many times within each pixel column,
// points in random order, a model undefined at some of them (the polyline breaks there), and runs of
// points on one pixel that such breaks and missing Y interrupt.
const Dataset kDatasets[] = {
    {"sorted grid, straight line", 0, 1.0, 0.5, [](int i, std::mt19937&) { return i * 0.001; },
     [](double x, int, std::mt19937& r) { return 1.0 + 0.5 * x + (uniform(r) - 0.5) * x * 0.1; }},
    {"fast wave", 0, 50.0, 0.0, [](int i, std::mt19937&) { return i * 0.001; },
     [](double x, int, std::mt19937&) { return 100.0 * std::sin(x * 7.0) + 50.0; }},
    {"random order, exponential", 5, 2.0, 0.3, [](int, std::mt19937& r) { return uniform(r) * 10.0 - 5.0; },
     [](double x, int, std::mt19937& r) { return 2.0 * std::exp(0.3 * x) * (0.8 + 0.4 * uniform(r)); }},
    {"logarithm with gaps", 10, 1.0, 2.0, [](int i, std::mt19937& r) { return i % 7 == 0 ? -1.0 : uniform(r) * 100.0; },
     [](double x, int i, std::mt19937& r) { return i % 11 == 0 ? NAN : std::log(std::fabs(x) + 1.0) + uniform(r); }},
    {"runs of one pixel broken by gaps", 10, 1.0, 2.0,
     [](int i, std::mt19937&) { return (i / 40) % 9 == 4 ? -1.0 : (i / 40) * 0.05 + 0.01; },
     [](double, int i, std::mt19937&) { return i % 17 == 0 ? NAN : std::floor(i / 30.0); }},
};

void fillTable(const Dataset& d, int count)
{
    std::mt19937 random(7);
    g_app.points.pointCount = count;
    for (int i = 0; i < count; i++) {
        g_app.points.x[i] = d.x(i, random);
        g_app.points.y[i] = d.y(g_app.points.x[i], i, random);
    }
    g_app.modelId = d.model;
    g_app.fit.a = d.a;
    g_app.fit.b = d.b;
}

// The plot draws what it is handed: the same points and fit give the same picture whatever the state
// record holds (here: nothing).
TEST_F(PlotRendering, DrawsWhatItIsHandedNotTheStateRecord)
{
    std::vector<double> x, y;
    for (int i = 0; i < 40; i++) {
        x.push_back(0.25 * i);
        y.push_back(1.0 + 0.5 * i + (i % 3) * 0.7);
    }
    g_app.points.pointCount = 40;
    std::copy(x.begin(), x.end(), g_app.points.x);
    std::copy(y.begin(), y.end(), g_app.points.y);
    g_app.modelId = 5;
    fitModel();
    FitResult fit = g_app.fit;
    std::vector<COLORREF> fromState = render(false);

    std::vector<double> fitted(40);
    computeFittedValues(5, fit.a, fit.b, 2.0, x.data(), 40, fitted.data());
    PlotContent handed = {x.data(), y.data(), fitted.data(), 40,
                          computePlotBounds(x.data(), y.data(), fitted.data(), 40), nullptr, nullptr, nullptr};
    resetAppState();
    g_handedContent = &handed;
    std::vector<COLORREF> fromContent = render(false);
    g_handedContent = nullptr;
    EXPECT_TRUE(fromState == fromContent);
}

} // namespace

TEST_F(PlotRendering, ManyPointsLookExactlyAsWhenDrawnOneByOne)
{
    for (int count : {1000, 100000}) {
        for (const Dataset& d : kDatasets) {
            fillTable(d, count);
            EXPECT_EQ(differingPixels(), 0) << d.name << " at " << count << " points";
        }
    }
}

// Bounds so far apart that their difference overflows still place every value where it belongs.
TEST_F(PlotRendering, ValuesAcrossTheWholeDoubleRangeLandInPlace)
{
    const double xs[] = {-1e308, 1e308, 0};
    g_app.points.pointCount = 3;
    for (int i = 0; i < 3; i++) {
        g_app.points.x[i] = xs[i];
        g_app.points.y[i] = xs[i];
    }
    g_app.fit.b = 1; // the straight line through every point
    const PlotBounds b = stateContent().bounds;
    const int expected[] = {60, 230, 145};
    const int expectedY[] = {248, 50, 149};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(mapToPixel(xs[i], b.xMin, b.xMax, 60, 230), expected[i]) << xs[i];
        EXPECT_EQ(mapToPixel(xs[i], b.yMin, b.yMax, 248, 50), expectedY[i]) << xs[i];
    }
    EXPECT_EQ(mapToPixel(-1.7e308, -1.7e308, 1.7e308, 0, 10), 0);
    EXPECT_EQ(mapToPixel(1.7e308, -1.7e308, 1.7e308, 0, 10), 10);
}

// A hollow point is an outline with the plot's own fill inside; the others stay solid markers.
TEST_F(PlotRendering, HollowPointsAreOutlinesOnly)
{
    std::vector<double> x = {1, 2, 3}, y = {1, 5, 2}, fitted = {1, 1.5, 2};
    const unsigned char hollow[3] = {0, 1, 0};
    PlotContent handed = {x.data(), y.data(), fitted.data(), 3, computePlotBounds(x.data(), y.data(), fitted.data(), 3),
                          hollow, nullptr, nullptr};
    g_handedContent = &handed;
    std::vector<COLORREF> pixels = render(false);
    g_handedContent = nullptr;
    RECT rc;
    GetClientRect(m_window, &rc);
    const COLORREF marker = RGB(180, 0, 0);
    auto at = [&](int i, int dx, int dy) {
        int px = mapToPixel(x[i], handed.bounds.xMin, handed.bounds.xMax, 60, rc.right - 10) + dx;
        int py = mapToPixel(y[i], handed.bounds.yMin, handed.bounds.yMax, rc.bottom - 20, 50) + dy;
        return pixels[(size_t)py * rc.right + px];
    };
    EXPECT_EQ(at(0, 1, 1), marker);          // solid
    EXPECT_NE(at(1, 1, 1), marker);          // hollow inside
    EXPECT_EQ(at(1, -3, 1), marker);         // its outline, left and right
    EXPECT_EQ(at(1, 4, 1), marker);
    EXPECT_EQ(at(2, 1, 1), marker);
}
