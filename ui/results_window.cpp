// SPDX-License-Identifier: GPL-3.0-or-later
// The results window: fits the selected model when it opens, then shows the formula, the parameters
// and S above the plot, all read anew from the state record at every paint.
#include "results_window.h"

#include <string.h>
#include <wchar.h>

#include "app_state.h"
#include "fit.h"
#include "frame.h"
#include "label.h"
#include "models.h"
#include "plot.h"
#include "resource.h"

#define RESULTS_BACKGROUND RGB(190, 180, 255)
#define RESULTS_TEXT_COLOUR RGB(100, 0, 0)

// What the fitted values of the results window's plot were found for.
struct ResultsPlotKey {
    int modelId;
    double a;
    double b;
    double exponentN;
    int count;
    unsigned pointEdits;
};

// The working memory of the results window's plot, kept from one paint to the next while nothing it
// was found for changes: the bounds and the ranges of each block of points, and the fitted values of
// the blocks a drawing has needed (found holds a flag per block); and the marks of one drawing. Only
// paintResultsWindow uses it.
struct ResultsPlot {
    BOOL valid;
    ResultsPlotKey key;
    PlotBounds bounds;
};
static ResultsPlot g_resultsPlot;
static PlotBlockRanges g_resultsRanges[PLOT_BLOCK_COUNT(POINT_CAPACITY)];
static double g_resultsFitted[POINT_CAPACITY];
static unsigned char g_resultsFittedFound[PLOT_BLOCK_COUNT(POINT_CAPACITY)];
static PlotMarks g_resultsMarks;

void openResultsWindow()
{
    fitModel();
    createResultsWindow();
}

HWND createResultsWindow()
{
    g_resultsPlot.valid = FALSE; // each Calculate finds the fitted values anew
    HWND window = CreateWindowExW(0, RESULTS_CLASS_NAME, L"Calculate", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                  NULL, NULL, g_app.ui.instance, NULL);
    g_app.ui.resultsWindow = window;
    if (window != NULL) fitBelowMenuBar(window);
    return window;
}

void drawNumberLine(HWND window, HDC dc, int x, int y, LPCWSTR format, double value)
{
    WCHAR line[TEXT_CAPACITY];
    swprintf(line, TEXT_CAPACITY, format, value);
    drawLabel(window, dc, x, y, line);
}

void drawResultsFrame(HWND window, HDC dc, const ResultsFrame* frame, const PlotContent* plot, PlotMarks* marks)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(frame->background);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, background);
    FillRect(dc, &client, background);

    COLORREF previousColour = GetTextColor(dc);
    SetTextColor(dc, frame->textColour);
    SetBkMode(dc, TRANSPARENT);
    frame->drawText(window, dc, frame->context);
    SetTextColor(dc, previousColour);

    drawPlot(window, dc, client.left, client.top, client.right, client.bottom, plot, marks);

    SelectObject(dc, previousBrush);
    DeleteObject(background);
}

// The results window's text: the formula, A, B (N) and S.
static void drawResultsText(HWND window, HDC dc, const void* context)
{
    const ResultsContent* content = (const ResultsContent*)context;
    drawLabel(window, dc, 10, 0, modelText(content->modelId));
    drawNumberLine(window, dc, 10, 15, L"A=%g", content->fit.a);
    drawNumberLine(window, dc, 10, 30, L"B=%g", content->fit.b);
    if (modelUsesExponent(content->modelId)) drawNumberLine(window, dc, 130, 15, L"N=%g", content->exponentN);
    drawNumberLine(window, dc, 130, 30, L"S=%g", content->fit.s);
}

static void drawResultsPlot(HWND window, HDC dc, const ResultsContent* content, const PlotContent* plot,
                            PlotMarks* marks)
{
    ResultsFrame frame = {RESULTS_BACKGROUND, RESULTS_TEXT_COLOUR, drawResultsText, content};
    drawResultsFrame(window, dc, &frame, plot, marks);
}

void drawResults(HWND window, HDC dc, const ResultsContent* content, double* fitted, PlotBlockRanges* blockRanges,
                 PlotMarks* marks)
{
    PlotBounds bounds = computeFittedValuesAndBounds(content->modelId, content->fit.a, content->fit.b,
                                                     content->exponentN, content->x, content->y, content->count,
                                                     fitted, blockRanges);
    PlotContent plot = {content->x, content->y, fitted, content->count, bounds, content->hollow, blockRanges, NULL};
    drawResultsPlot(window, dc, content, &plot, marks);
}

static BOOL sameKey(const ResultsPlotKey* first, const ResultsPlotKey* second)
{
    // Bit for bit, so that a NaN parameter matches itself and -0 does not match 0.
    return first->modelId == second->modelId && memcmp(&first->a, &second->a, sizeof(double)) == 0 &&
           memcmp(&first->b, &second->b, sizeof(double)) == 0 &&
           memcmp(&first->exponentN, &second->exponentN, sizeof(double)) == 0 && first->count == second->count &&
           first->pointEdits == second->pointEdits;
}

static PlotFittedValues resultsFittedValues(const ResultsContent* content)
{
    PlotFittedValues fitted = {content->modelId, content->fit.a,   content->fit.b,
                               content->exponentN, g_resultsFitted, g_resultsFittedFound};
    return fitted;
}

// The bounds and block ranges of the results plot in g_resultsPlot and g_resultsRanges, with the
// fitted values of the blocks found that the bounds needed. They depend on the points, the model, the fit and the exponent
// alone, not on the window's size: they are found at the first paint after a Calculate and kept through
// rotations and repaints. Another window can still change what they depend on while this one stays
// open behind it (a point entered, a file loaded, another model chosen), so each paint checks that
// nothing has before it keeps them.
static void findResultsPlot(const ResultsContent* content)
{
    ResultsPlotKey key;
    memset(&key, 0, sizeof(key));
    key.modelId = content->modelId;
    key.a = content->fit.a;
    key.b = content->fit.b;
    key.exponentN = content->exponentN;
    key.count = content->count;
    key.pointEdits = g_app.pointEdits;
    if (g_resultsPlot.valid && sameKey(&g_resultsPlot.key, &key)) return;
    PlotFittedValues fitted = resultsFittedValues(content);
    g_resultsPlot.bounds = computeBoundsOfFittedValues(&fitted, content->x, content->y, content->count, g_resultsRanges);
    g_resultsPlot.key = key;
    g_resultsPlot.valid = TRUE;
}

void paintResultsWindow(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const PointTable* points = &g_app.points;
    int count = points->pointCount;
    if (count > POINT_CAPACITY) count = POINT_CAPACITY;
    ResultsContent content = {g_app.modelId, g_app.fit, g_app.exponentN, points->x, points->y, count, NULL};
    findResultsPlot(&content);
    PlotFittedValues fitted = resultsFittedValues(&content);
    PlotContent plot = {content.x, content.y, NULL, count, g_resultsPlot.bounds, NULL, g_resultsRanges, &fitted};
    drawResultsPlot(window, dc, &content, &plot, &g_resultsMarks);
    EndPaint(window, &paint);
}

LRESULT CALLBACK ResultsWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onFrameCreate(window);
    case WM_ACTIVATE:
        return onFrameActivate(window, wParam, lParam);
    case WM_PAINT:
        paintResultsWindow(window);
        return 0;
    case WM_CLOSE:
        return closeSecondaryWindow(window);
    case WM_SETTINGCHANGE:
        return onFrameSettingChange(window, wParam, lParam);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_OK) {
            SendMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
