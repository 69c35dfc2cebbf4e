// SPDX-License-Identifier: GPL-3.0-or-later
// The results window: fits the selected model when it opens, then shows the formula, the parameters
// and S above the plot, all read anew from the state record at every paint.
#include "results_window.h"

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

// The working memory of the results window's plot: the fitted value of every point and the marks of
// one drawing. Only paintResultsWindow uses them, anew at every paint.
static double g_resultsFitted[POINT_CAPACITY];
static PlotMarks g_resultsMarks;

void openResultsWindow()
{
    fitModel();
    createResultsWindow();
}

HWND createResultsWindow()
{
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

void drawResults(HWND window, HDC dc, const ResultsContent* content, double* fitted, PlotMarks* marks)
{
    PlotContent plot = {content->x, content->y, fitted, content->count,
                        computeFittedValuesAndBounds(content->modelId, content->fit.a, content->fit.b,
                                                     content->exponentN, content->x, content->y, content->count,
                                                     fitted),
                        content->hollow};
    ResultsFrame frame = {RESULTS_BACKGROUND, RESULTS_TEXT_COLOUR, drawResultsText, content};
    drawResultsFrame(window, dc, &frame, &plot, marks);
}

void paintResultsWindow(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const PointTable* points = &g_app.points;
    int count = points->pointCount;
    if (count > POINT_CAPACITY) count = POINT_CAPACITY;
    ResultsContent content = {g_app.modelId, g_app.fit, g_app.exponentN, points->x, points->y, count, NULL};
    drawResults(window, dc, &content, g_resultsFitted, &g_resultsMarks);
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
