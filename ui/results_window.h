// The results window ("Calculate"): formula, A, B, N and S above the plot.
#ifndef KELVORA_RESULTS_WINDOW_H
#define KELVORA_RESULTS_WINDOW_H

#include <windows.h>

LRESULT CALLBACK ResultsWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void openResultsWindow();
void paintResultsWindow(HWND window);

#endif
