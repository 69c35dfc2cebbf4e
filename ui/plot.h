// SPDX-License-Identifier: GPL-3.0-or-later
// The plot of the results window: frame, grid, bound labels, captions, fitted polyline, point markers.
// It draws what it is handed and keeps nothing between paints: the paint that draws a plot owns the
// content and the working memory (PlotMarks) and passes them in.
#ifndef KELVORA_PLOT_H
#define KELVORA_PLOT_H

#include <windows.h>

// The table of segments drawn: 2^16 slots (a larger table misses the cache more often than it saves
// segments, even when a shuffled polyline fills it).
#define PLOT_SEGMENT_SLOT_BITS 16
#define PLOT_SEGMENT_SLOTS (1 << PLOT_SEGMENT_SLOT_BITS)
#define PLOT_MARKER_GRID 1024    // markers are remembered for pixels 0..1023 on both axes

struct PlotBounds {
    double xMin;
    double xMax;
    double yMin;
    double yMax;
};

// What one plot shows: the points (x[i], y[i]), the model's value fitted[i] at each x[i], joined in
// table order, and the frame's bounds, which cover both. hollow (NULL: none) marks points drawn as an
// outline only, such as points a fit left out.
struct PlotContent {
    const double* x;
    const double* y;
    const double* fitted;
    int count;
    PlotBounds bounds;
    const unsigned char* hollow;
};

// Segments and markers drawn so far in one drawing, so that each distinct one is drawn once.
struct PlotMarks {
    unsigned long long segmentsDrawn[PLOT_SEGMENT_SLOTS]; // key + 1; 0 is a free slot
    int segmentCount;
    unsigned char markersDrawn[PLOT_MARKER_GRID * PLOT_MARKER_GRID / 8]; // one bit per pixel
};

// fitted[i] = the value of model modelId with a, b and exponentN at x[i], for the count points.
void computeFittedValues(int modelId, double a, double b, double exponentN, const double* x, int count,
                         double* fitted);

// The bounds of the count points and their fitted values (all 0 for no point).
PlotBounds computePlotBounds(const double* x, const double* y, const double* fitted, int count);

// computeFittedValues and computePlotBounds in one pass over the points.
PlotBounds computeFittedValuesAndBounds(int modelId, double a, double b, double exponentN, const double* x,
                                        const double* y, int count, double* fitted);

int mapToPixel(double value, double lo, double hi, int p0, int p1);

// Draws content into the rectangle (left, top, right, bottom) of window's client area, with marks as
// its working memory.
void drawPlot(HWND window, HDC dc, int left, int top, int right, int bottom, const PlotContent* content,
              PlotMarks* marks);

#endif
