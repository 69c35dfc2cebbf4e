// The results window ("Calculate"): formula, A, B, N and S above the plot.
#ifndef KELVORA_RESULTS_WINDOW_H
#define KELVORA_RESULTS_WINDOW_H

#include <windows.h>

// The class of the results window, registered at start-up (and by the tools that draw it).
#define RESULTS_CLASS_NAME L"CalcF"

LRESULT CALLBACK ResultsWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void openResultsWindow();
// Opens the results window on the fit already in the state record (openResultsWindow fits first).
HWND createResultsWindow();
void paintResultsWindow(HWND window);
// One text line of a number formatted with format ("A=%g") at (x, y) of the client area.
void drawNumberLine(HWND window, HDC dc, int x, int y, LPCWSTR format, double value);

#endif
