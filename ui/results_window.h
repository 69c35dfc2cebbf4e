// SPDX-License-Identifier: GPL-3.0-or-later
// The results window ("Calculate"): formula, A, B, N and S above the plot.
#ifndef KELVORA_RESULTS_WINDOW_H
#define KELVORA_RESULTS_WINDOW_H

#include <windows.h>

#include "app_state.h"
#include "plot.h"

// The class of the results window, registered at start-up.
#define RESULTS_CLASS_NAME L"CalcF"

LRESULT CALLBACK ResultsWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void openResultsWindow();
// Opens the results window on the fit already in the state record (openResultsWindow fits first).
HWND createResultsWindow();
void paintResultsWindow(HWND window);

// What the results window shows: the formula of model modelId, A, B (N) and S of fit, and the plot of
// the count points (x[i], y[i]) with the model's value at each.
struct ResultsContent {
    int modelId;
    FitResult fit;
    double exponentN;
    const double* x;
    const double* y;
    int count;
    const unsigned char* hollow; // points drawn hollow (left out of the fit); NULL: none
};

// The frame of the results window's drawing: its background, the colour of its text lines, and what
// draws those lines (context is handed to it).
struct ResultsFrame {
    COLORREF background;
    COLORREF textColour;
    void (*drawText)(HWND window, HDC dc, const void* context);
    const void* context;
};

// Paints over the client area of window: the frame's background, its text lines, then plot. marks is
// the working memory of the paint that calls it.
void drawResultsFrame(HWND window, HDC dc, const ResultsFrame* frame, const PlotContent* plot, PlotMarks* marks);

// Paints content over the client area of window: background, text lines, plot. fitted (room for count
// values), blockRanges (room for PLOT_BLOCK_COUNT(count)) and marks are the working memory of the paint
// that calls it.
void drawResults(HWND window, HDC dc, const ResultsContent* content, double* fitted, PlotBlockRanges* blockRanges,
                 PlotMarks* marks);
// One text line of a number formatted with format ("A=%g") at (x, y) of the client area.
void drawNumberLine(HWND window, HDC dc, int x, int y, LPCWSTR format, double value);

#endif
