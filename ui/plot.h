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
#define PLOT_BLOCK 256           // points whose pixels are found together
#define PLOT_BLOCK_COUNT(points) (((points) + PLOT_BLOCK - 1) / PLOT_BLOCK)

struct PlotBounds {
    double xMin;
    double xMax;
    double yMin;
    double yMax;
};

// The least and the greatest of the values of one block of points on one axis; both NaN when one of
// the values is not a finite number.
struct PlotRange {
    double least;
    double greatest;
};

// The ranges of X, of the fitted values and of Y in one block of PLOT_BLOCK points (points 0..255 are
// the first block; the last block may be shorter).
struct PlotBlockRanges {
    PlotRange x;
    PlotRange fitted;
    PlotRange y;
};

// The fitted values of a plot drawn more than once, found block by block as its drawings need them: a
// block whose points share a pixel never needs them, and a large plot of sorted points has few other
// blocks. values has room for every point; found holds one flag per block of PLOT_BLOCK points, set
// once the block's values are in values. Whoever keeps them clears found when the fit or points change.
struct PlotFittedValues {
    int modelId;
    double a;
    double b;
    double exponentN;
    double* values;
    unsigned char* found;
};

// What one plot shows: the points (x[i], y[i]), the model's value fitted[i] at each x[i], joined in
// table order, and the frame's bounds, which cover both. hollow (NULL: none) marks points drawn as an
// outline only, such as points a fit left out. blockRanges (NULL: none) are the ranges of each block of
// the points, as computeFittedValuesAndBounds finds them: a plot drawn more than once keeps them, and
// a block whose points all land on one pixel is then drawn without reading its points again. With
// fittedValues (NULL: none), fitted is not read and the values are found through it.
struct PlotContent {
    const double* x;
    const double* y;
    const double* fitted;
    int count;
    PlotBounds bounds;
    const unsigned char* hollow;
    const PlotBlockRanges* blockRanges;
    PlotFittedValues* fittedValues;
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

// computeFittedValues and computePlotBounds in one pass over the points, with the ranges of each block
// of points into blockRanges (PLOT_BLOCK_COUNT(count) of them) unless it is NULL.
PlotBounds computeFittedValuesAndBounds(int modelId, double a, double b, double exponentN, const double* x,
                                        const double* y, int count, double* fitted, PlotBlockRanges* blockRanges);

// The bounds of the count points and the values of fitted's model at them, with the ranges of each block
// into blockRanges, for a plot that finds its fitted values block by block: fitted's flags are set
// anew, and only the blocks with a value that is no finite number keep their values now.
PlotBounds computeBoundsOfFittedValues(PlotFittedValues* fitted, const double* x, const double* y, int count,
                                       PlotBlockRanges* blockRanges);

int mapToPixel(double value, double lo, double hi, int p0, int p1);

// Draws content into the rectangle (left, top, right, bottom) of window's client area, with marks as
// its working memory.
void drawPlot(HWND window, HDC dc, int left, int top, int right, int bottom, const PlotContent* content,
              PlotMarks* marks);

#endif
