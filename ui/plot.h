// The plot of the results window: frame, grid, bound labels, captions, fitted polyline, point markers.
#ifndef KELVORA_PLOT_H
#define KELVORA_PLOT_H

#include <windows.h>

struct PlotBounds {
    double xMin;
    double xMax;
    double yMin;
    double yMax;
};

extern PlotBounds g_plotBounds;

void computePlotBounds();
int mapToPixel(double value, double lo, double hi, int p0, int p1);
void drawPlot(HWND window, HDC dc, int left, int top, int right, int bottom);

#endif
