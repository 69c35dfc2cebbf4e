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

void paintResultsWindow(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);

    HBRUSH background = CreateSolidBrush(RESULTS_BACKGROUND);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, background);
    FillRect(dc, &client, background);

    COLORREF previousColour = GetTextColor(dc);
    SetTextColor(dc, RESULTS_TEXT_COLOUR);
    SetBkMode(dc, TRANSPARENT);
    drawLabel(window, dc, 10, 0, modelText(g_app.modelId));
    drawNumberLine(window, dc, 10, 15, L"A=%g", g_app.fit.a);
    drawNumberLine(window, dc, 10, 30, L"B=%g", g_app.fit.b);
    if (modelUsesExponent(g_app.modelId)) drawNumberLine(window, dc, 130, 15, L"N=%g", g_app.exponentN);
    drawNumberLine(window, dc, 130, 30, L"S=%g", g_app.fit.s);
    SetTextColor(dc, previousColour);

    const PointTable* points = &g_app.points;
    int count = points->pointCount;
    if (count > POINT_CAPACITY) count = POINT_CAPACITY;
    computeFittedValues(g_app.modelId, g_app.fit.a, g_app.fit.b, g_app.exponentN, points->x, count,
                        g_resultsFitted);
    PlotContent content = {points->x, points->y, g_resultsFitted, count,
                           computePlotBounds(points->x, points->y, g_resultsFitted, count)};
    drawPlot(window, dc, client.left, client.top, client.right, client.bottom, &content, &g_resultsMarks);

    SelectObject(dc, previousBrush);
    DeleteObject(background);
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
