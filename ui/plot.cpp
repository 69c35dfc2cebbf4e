// SPDX-License-Identifier: GPL-3.0-or-later
// The plot: the measured points and the fitted values at the same X values share one frame, whose
// bounds cover both; the fitted polyline joins the points in table order.
#include "plot.h"

#include <math.h>
#include <string.h>
#include <wchar.h>

#include "label.h"
#include "models.h"
#include "plot_internal.h"

#define FILL_COLOUR RGB(250, 250, 250)
#define GRID_COLOUR RGB(150, 150, 150)
#define CURVE_COLOUR RGB(0, 0, 255)
#define MARKER_COLOUR RGB(180, 0, 0)
#define LABEL_CAPACITY 64

// Thousands of points share a pixel when there are many. Drawing a segment or a marker again sets the
// same pixels in the same colour, and every segment is drawn before every marker, so each distinct
// segment and marker is drawn once, the markers in whatever order: the picture stays exactly the same
// at a fraction of the work. The pixels of a block of points are found in loops of their own, which
// the compiler turns into vector divisions.

struct PlotArea {
    int left;
    int right;
    int bottom;
    int top;
};

// One axis: its bounds and pixels, and what the mapping derives from them, found once for all values.
struct AxisMap {
    double lo;
    double range;     // hi - lo
    double halfLo;    // lo * 0.5, and below hi * 0.5 - lo * 0.5: for bounds whose difference overflows
    double halfRange;
    BOOL halved;
    double span;      // p1 - p0
    int p0;
    int middle;       // the pixel of every value when the bounds are equal
    BOOL usable;      // both bounds are finite numbers
    BOOL single;      // the bounds are equal
};

static AxisMap axisMap(double lo, double hi, int p0, int p1)
{
    AxisMap axis;
    axis.lo = lo;
    axis.range = hi - lo;
    axis.halfLo = lo * 0.5;
    axis.halfRange = hi * 0.5 - lo * 0.5;
    axis.halved = isinf(hi - lo) && isfinite(hi) && isfinite(lo);
    axis.span = (double)(p1 - p0);
    axis.p0 = p0;
    axis.middle = p0 + (p1 - p0) / 2;
    axis.usable = isfinite(lo) && isfinite(hi);
    axis.single = hi == lo;
    return axis;
}

// The position of value on the axis before truncation. Bounds whose difference overflows (-1e308 and
// 1e308) are halved first, which is exact for such large numbers, so values between them still spread
// across the axis.
static inline double axisPosition(const AxisMap* axis, double value)
{
    double t = axis->halved ? (value * 0.5 - axis->halfLo) / axis->halfRange : (value - axis->lo) / axis->range;
    return t * axis->span + (double)axis->p0;
}

// Truncates toward zero. A position that is no number, or lies beyond the range of an int, comes back
// at the nearer end of that range (or at p0), so the conversion is always defined.
static inline int truncatedPixel(const AxisMap* axis, double r)
{
    if (isnan(r)) return axis->p0;
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return (-2147483647 - 1);
    return (int)r;
}

int mapToPixel(double value, double lo, double hi, int p0, int p1)
{
    AxisMap axis = axisMap(lo, hi, p0, p1);
    return truncatedPixel(&axis, axisPosition(&axis, value));
}

// The pixel of one value on an axis from its position, or FALSE when it has none: a value or bound that
// is not a finite number. An axis whose bounds are equal carries its single value in its middle.
static inline BOOL axisPixel(const AxisMap* axis, double value, double position, int* pixel)
{
    if (!isfinite(value) || !axis->usable) return FALSE;
    *pixel = axis->single ? axis->middle : truncatedPixel(axis, position);
    return TRUE;
}

// What a point of a block has: a pixel on X, a pixel of its fitted value, a solid marker.
#define POINT_HAS_X 0x1
#define POINT_HAS_FITTED 0x2
#define POINT_HAS_MARKER 0x4

// The pixels of a block of points, each axis found in loops of their own.
struct BlockPixels {
    int x[PLOT_BLOCK];
    int fitted[PLOT_BLOCK];
    int y[PLOT_BLOCK];
    int has[PLOT_BLOCK]; // POINT_HAS_* bits
};

// The pixels of one point, as a block holds them.
struct PointPixels {
    int x;
    int fitted;
    int y;
    int has;
};

// truncatedPixel without a branch: the position is clamped in doubles first, so that the conversion is
// always defined, and a NaN takes the pixel nanPixel.
static inline int clampedPixel(double r, double nanPixel)
{
    double clamped = r < -2147483648.0 ? -2147483648.0 : r;
    clamped = clamped > 2147483647.0 ? 2147483647.0 : clamped;
    return (int)(r != r ? nanPixel : clamped);
}

// The pixel of a value on an axis that has pixels, as axisPixel finds it.
static inline int valuePixel(const AxisMap* axis, double value)
{
    return axis->single ? axis->middle : truncatedPixel(axis, axisPosition(axis, value));
}

// TRUE when every value of a block whose range is range has the same pixel, *pixel, or every one has
// none (*hasPixel FALSE). Each step from a value to its pixel (a difference or the halves' difference,
// a quotient by the positive range, a product by the span, a sum, a truncation) rounds monotonically,
// so the pixel is a monotonic function of the value: when the least and the greatest values of a
// block share a pixel, every value between them has that pixel too.
static BOOL sharedPixel(const AxisMap* axis, const PlotRange* range, int* pixel, BOOL* hasPixel)
{
    *pixel = 0;
    *hasPixel = FALSE;
    if (!axis->usable) return TRUE;
    if (isnan(range->least)) return FALSE; // a value that is no finite number has no pixel
    *pixel = valuePixel(axis, range->least);
    *hasPixel = TRUE;
    return *pixel == valuePixel(axis, range->greatest);
}

// The pixels of count values on an axis, as axisPixel gives them one by one, and bit set in has[i] for
// each value that has one (a value without keeps pixel 0). known (NULL: none) is the range of the
// values: when they share a pixel, the values themselves are not read. Bounds whose difference is a
// plain number, the common case, take a loop the compiler turns into vector code.
WIDER_VECTORS static void axisPixels(const AxisMap* axis, const double* values, int count, const PlotRange* known,
                                     int* pixels, int* has, int bit)
{
    int shared = 0;
    BOOL sharedHasPixel = FALSE;
    if (!axis->usable || (known != NULL && sharedPixel(axis, known, &shared, &sharedHasPixel))) {
        for (int i = 0; i < count; i++) {
            pixels[i] = shared;
            has[i] |= sharedHasPixel ? bit : 0;
        }
        return;
    }
    if (axis->halved || axis->single) {
        for (int i = 0; i < count; i++) {
            int pixel = 0;
            if (axisPixel(axis, values[i], axisPosition(axis, values[i]), &pixel)) has[i] |= bit;
            pixels[i] = pixel;
        }
        return;
    }
    double lo = axis->lo;
    double range = axis->range;
    double span = axis->span;
    double p0 = (double)axis->p0;
    for (int i = 0; i < count; i++) { // axisPosition's operations, in its order
        double value = values[i];
        BOOL finite = fabs(value) <= 1.7976931348623157e308;
        int pixel = clampedPixel((value - lo) / range * span + p0, p0);
        pixels[i] = finite ? pixel : 0;
        has[i] |= finite ? bit : 0;
    }
}

// TRUE when the ranges of a block show that all its points have the pixels of its first, which go into
// *point; such a block draws what its first point draws.
static BOOL blockIsOnePoint(const AxisMap* xAxis, const AxisMap* yAxis, const PlotBlockRanges* ranges,
                            PointPixels* point)
{
    BOOL hasX;
    BOOL hasFitted;
    BOOL hasMarker;
    if (!sharedPixel(xAxis, &ranges->x, &point->x, &hasX) ||
        !sharedPixel(yAxis, &ranges->fitted, &point->fitted, &hasFitted) ||
        !sharedPixel(yAxis, &ranges->y, &point->y, &hasMarker)) {
        return FALSE;
    }
    point->has = (hasX ? POINT_HAS_X : 0) | (hasFitted ? POINT_HAS_FITTED : 0) | (hasMarker ? POINT_HAS_MARKER : 0);
    return TRUE;
}

// The pixels of points first .. first + count - 1: X, fitted value and marker. Returns TRUE when all of
// them have the pixels of the first, which alone is then filled in.
static BOOL blockPixels(const AxisMap* xAxis, const AxisMap* yAxis, const PlotContent* content, int first, int count,
                        BlockPixels* block)
{
    const PlotBlockRanges* ranges = content->blockRanges != NULL ? &content->blockRanges[first / PLOT_BLOCK] : NULL;
    PointPixels point;
    if (ranges != NULL && content->hollow == NULL && blockIsOnePoint(xAxis, yAxis, ranges, &point)) {
        block->x[0] = point.x;
        block->fitted[0] = point.fitted;
        block->y[0] = point.y;
        block->has[0] = point.has;
        return TRUE;
    }
    for (int i = 0; i < count; i++) block->has[i] = 0;
    axisPixels(xAxis, content->x + first, count, ranges ? &ranges->x : NULL, block->x, block->has, POINT_HAS_X);
    const PlotRange* fittedRange = ranges ? &ranges->fitted : NULL;
    int shared;
    BOOL sharedHasPixel;
    BOOL fittedShared = !yAxis->usable || (fittedRange != NULL && sharedPixel(yAxis, fittedRange, &shared, &sharedHasPixel));
    const double* fitted = fittedShared ? NULL : blockFittedValues(content, first, count); // not read when shared
    axisPixels(yAxis, fitted, count, fittedRange, block->fitted, block->has, POINT_HAS_FITTED);
    axisPixels(yAxis, content->y + first, count, ranges ? &ranges->y : NULL, block->y, block->has, POINT_HAS_MARKER);
    if (content->hollow == NULL) return FALSE;
    for (int i = 0; i < count; i++) {
        if (content->hollow[first + i]) block->has[i] &= ~POINT_HAS_MARKER;
    }
    return FALSE;
}

// The points of a block that differ from the point before them in any pixel or in what they have, in
// order. A point equal to the one before draws nothing new: its segment would go from a pixel to
// itself and its marker is marked already. last is the last point of the block before (has -1: none)
// and becomes this block's last. The comparisons run in a loop the compiler turns into vector code.
static int changedPoints(const BlockPixels* block, int count, PointPixels* last, int* changed)
{
    int differs[PLOT_BLOCK];
    differs[0] = block->x[0] != last->x || block->fitted[0] != last->fitted || block->y[0] != last->y ||
                 block->has[0] != last->has;
    for (int i = 1; i < count; i++) {
        differs[i] = (block->x[i] != block->x[i - 1]) | (block->fitted[i] != block->fitted[i - 1]) |
                     (block->y[i] != block->y[i - 1]) | (block->has[i] != block->has[i - 1]);
    }
    int n = 0;
    for (int i = 0; i < count; i++) {
        changed[n] = i;
        n += differs[i];
    }
    last->x = block->x[count - 1];
    last->fitted = block->fitted[count - 1];
    last->y = block->y[count - 1];
    last->has = block->has[count - 1];
    return n;
}

static int textWidth(HDC dc, LPCWSTR text, int* height)
{
    SIZE size;
    size.cx = 0;
    size.cy = 0;
    GetTextExtentExPointW(dc, text, (int)wcslen(text), 0, NULL, NULL, &size);
    if (height != NULL) *height = size.cy;
    return size.cx;
}

static void drawBoundLabels(HWND window, HDC dc, const PlotArea* area, const PlotBounds* bounds)
{
    WCHAR label[LABEL_CAPACITY];
    int height;

    swprintf(label, LABEL_CAPACITY, L"%6.3g", bounds->xMin);
    drawLabel(window, dc, area->left, area->bottom, label);
    swprintf(label, LABEL_CAPACITY, L"%6.3g", bounds->xMax);
    drawLabel(window, dc, area->right - textWidth(dc, label, NULL), area->bottom, label);
    swprintf(label, LABEL_CAPACITY, L"%6.3g", bounds->yMin);
    int width = textWidth(dc, label, &height);
    drawLabel(window, dc, area->left - width, area->bottom - height, label);
    swprintf(label, LABEL_CAPACITY, L"%6.3g", bounds->yMax);
    drawLabel(window, dc, area->left - textWidth(dc, label, NULL), area->top, label);
}

static void drawCaptions(HWND window, HDC dc, const PlotArea* area, int left)
{
    int height;
    int width = textWidth(dc, AXIS_X_TEXT, NULL);
    drawLabel(window, dc, area->left + (area->right - width - area->left) / 2, area->bottom, AXIS_X_TEXT);
    textWidth(dc, modelText(AXIS_Y_INDEX), &height);
    drawLabel(window, dc, left + 10, area->top + (area->bottom - height - area->top) / 2, modelText(AXIS_Y_INDEX));
}

// Lines anchored at the corner of (xMin, yMin); the remainder of each division falls at the right and
// top edges.
static void drawGrid(HDC dc, const PlotArea* area)
{
    int stepX = (area->right - area->left) / 10;
    int stepY = (area->bottom - area->top) / 10;
    for (int k = 0; k <= 10; k++) {
        int x = area->left + k * stepX;
        MoveToEx(dc, x, area->top, NULL);
        LineTo(dc, x, area->bottom);
    }
    for (int k = 0; k <= 10; k++) {
        int y = area->bottom - 10 * stepY + k * stepY;
        MoveToEx(dc, area->left, y, NULL);
        LineTo(dc, area->right, y);
    }
}

// TRUE the first time a segment comes up in this drawing. Far-away ends, or a full table, are never
// remembered, so such segments are simply drawn each time.
static BOOL firstTimeSegment(PlotMarks* marks, POINT from, POINT to)
{
    if (from.x < 0 || from.x > 0xFFFF || from.y < 0 || from.y > 0xFFFF || to.x < 0 || to.x > 0xFFFF || to.y < 0 ||
        to.y > 0xFFFF || marks->segmentCount >= PLOT_SEGMENT_SLOTS / 2) {
        return TRUE;
    }
    unsigned long long key = ((unsigned long long)from.x << 48 | (unsigned long long)from.y << 32 |
                              (unsigned long long)to.x << 16 | (unsigned long long)to.y) + 1;
    unsigned long long slot = (key * 0x9E3779B97F4A7C15ULL) >> (64 - PLOT_SEGMENT_SLOT_BITS);
    while (marks->segmentsDrawn[slot] != 0) {
        if (marks->segmentsDrawn[slot] == key) return FALSE;
        slot = (slot + 1) & (PLOT_SEGMENT_SLOTS - 1);
    }
    marks->segmentsDrawn[slot] = key;
    marks->segmentCount++;
    return TRUE;
}

// Marks the marker at (x, y) on the grid of marker pixels; FALSE when it lies off the grid.
static BOOL markMarker(PlotMarks* marks, int x, int y)
{
    if (x < 0 || x >= PLOT_MARKER_GRID || y < 0 || y >= PLOT_MARKER_GRID) return FALSE;
    int bit = y * PLOT_MARKER_GRID + x;
    marks->markersDrawn[bit / 8] |= (unsigned char)(1 << (bit % 8));
    return TRUE;
}

static BOOL isHollow(const PlotContent* content, int i)
{
    return content->hollow != NULL && content->hollow[i];
}

// The fitted polyline as it is drawn point by point: where it stands and whether the pen is there.
struct FittedLine {
    BOOL drawing;
    BOOL penAtFrom; // the DC's current position is `from`
    POINT from;
};

// A point whose fitted value has no pixel breaks the polyline; it goes on from the next one that has.
// A segment from a pixel to itself draws nothing and is left out like one drawn before.
static void extendFittedLine(HDC dc, PlotMarks* marks, FittedLine* line, BOOL hasPixel, POINT pixel)
{
    if (!hasPixel) {
        line->drawing = FALSE;
        return;
    }
    BOOL moved = pixel.x != line->from.x || pixel.y != line->from.y;
    if (line->drawing && moved && firstTimeSegment(marks, line->from, pixel)) {
        if (!line->penAtFrom) MoveToEx(dc, line->from.x, line->from.y, NULL);
        LineTo(dc, pixel.x, pixel.y);
        line->penAtFrom = TRUE;
    } else if (!line->drawing || moved) {
        line->penAtFrom = FALSE;
    }
    line->from = pixel;
    line->drawing = TRUE;
}

// One pass over the points, a block at a time: the pixels of each are found once, its fitted value
// extends the polyline and its marker is marked on the grid; a point that repeats the pixels of the one
// before is passed over. Returns TRUE when a marker lies off the grid.
static BOOL drawFittedLineMarkingPoints(HDC dc, const AxisMap* xAxis, const AxisMap* yAxis,
                                         const PlotContent* content, PlotMarks* marks)
{
    FittedLine line = {FALSE, FALSE, {0, 0}};
    BOOL offGrid = FALSE;
    memset(marks->segmentsDrawn, 0, sizeof(marks->segmentsDrawn));
    marks->segmentCount = 0;
    memset(marks->markersDrawn, 0, sizeof(marks->markersDrawn));
    BlockPixels block;
    int changed[PLOT_BLOCK];
    PointPixels last = {0, 0, 0, -1};
    for (int first = 0; first < content->count; first += PLOT_BLOCK) {
        int count = content->count - first < PLOT_BLOCK ? content->count - first : PLOT_BLOCK;
        BOOL onePoint = blockPixels(xAxis, yAxis, content, first, count, &block);
        int changes = changedPoints(&block, onePoint ? 1 : count, &last, changed);
        for (int k = 0; k < changes; k++) {
            int i = changed[k];
            int has = block.has[i];
            if (!(has & POINT_HAS_X)) {
                line.drawing = FALSE;
                continue;
            }
            POINT pixel = {block.x[i], block.fitted[i]};
            extendFittedLine(dc, marks, &line, (has & POINT_HAS_FITTED) != 0, pixel);
            if ((has & POINT_HAS_MARKER) && !markMarker(marks, block.x[i], block.y[i])) offGrid = TRUE;
        }
    }
    return offGrid;
}

// TRUE when none of the 64 pixels of a grid row from x (a multiple of 64) has a marker: most of most
// rows have none.
static BOOL noMarkerIn64(const unsigned char* row, int x)
{
    unsigned long long word;
    memcpy(&word, row + x / 8, sizeof(word));
    return word == 0;
}

// A marker is the 2 x 2 Rectangle drawn with the 3-pixel pen: a 4 x 4 square from one pixel above and
// left of its point. A run of markers side by side in one row of the grid covers one rectangle, filled
// at once; the pixels are those the markers' Rectangles draw.
static void drawMarkerRuns(HDC dc, HBRUSH markerBrush, const PlotMarks* marks)
{
    for (int y = 0; y < PLOT_MARKER_GRID; y++) {
        const unsigned char* row = marks->markersDrawn + y * (PLOT_MARKER_GRID / 8);
        int x = 0;
        while (x < PLOT_MARKER_GRID) {
            if (x % 64 == 0 && noMarkerIn64(row, x)) {
                x += 64;
                continue;
            }
            if (x % 8 == 0 && row[x / 8] == 0) {
                x += 8;
                continue;
            }
            if (!(row[x / 8] & (1 << (x % 8)))) {
                x++;
                continue;
            }
            int first = x;
            while (x < PLOT_MARKER_GRID && (row[x / 8] & (1 << (x % 8)))) x++;
            RECT square = {first - 1, y - 1, x + 2, y + 3};
            FillRect(dc, &square, markerBrush);
        }
    }
}

// The pixel of point i, or FALSE when its X or Y has none.
static BOOL pointPixel(const AxisMap* xAxis, const AxisMap* yAxis, const PlotContent* content, int i, int* x, int* y)
{
    return axisPixel(xAxis, content->x[i], axisPosition(xAxis, content->x[i]), x) &&
           axisPixel(yAxis, content->y[i], axisPosition(yAxis, content->y[i]), y);
}

// Every marker is drawn after every segment, all in one colour, so their order changes no pixel: those
// on the grid once each, row by row, then those off it (a picture wider than the grid) one by one.
static void drawMarkers(HDC dc, const AxisMap* xAxis, const AxisMap* yAxis, const PlotContent* content,
                        const PlotMarks* marks, BOOL offGrid)
{
    HBRUSH markerBrush = CreateSolidBrush(MARKER_COLOUR);
    drawMarkerRuns(dc, markerBrush, marks);
    DeleteObject(markerBrush);
    for (int i = 0; offGrid && i < content->count; i++) {
        int x;
        int y;
        if (!isHollow(content, i) && pointPixel(xAxis, yAxis, content, i, &x, &y) &&
            (x < 0 || x >= PLOT_MARKER_GRID || y < 0 || y >= PLOT_MARKER_GRID)) {
            Rectangle(dc, x, y, x + 2, y + 2);
        }
    }
}

// Hollow points: a square outline around the point, its inside left as it was, so that it reads as a
// point the fit did not use. They are few (left out by hand), each drawn on its own.
static void drawHollowMarkers(HDC dc, const AxisMap* xAxis, const AxisMap* yAxis, const PlotContent* content)
{
    if (content->hollow == NULL) return;
    HPEN pen = CreatePen(PS_SOLID, 1, MARKER_COLOUR);
    HPEN previousPen = (HPEN)SelectObject(dc, pen);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, GetStockObject(NULL_BRUSH));
    for (int i = 0; i < content->count; i++) {
        int x;
        int y;
        if (isHollow(content, i) && pointPixel(xAxis, yAxis, content, i, &x, &y)) {
            Rectangle(dc, x - 3, y - 3, x + 5, y + 5);
        }
    }
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(pen);
}

void drawPlot(HWND window, HDC dc, int left, int top, int right, int bottom, const PlotContent* content,
              PlotMarks* marks)
{
    HBRUSH fillBrush = CreateSolidBrush(FILL_COLOUR);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, fillBrush);
    PlotArea area;
    area.left = left + 60;
    area.right = right - 10;
    area.bottom = bottom - 20;
    area.top = top + 50;

    HPEN gridPen = CreatePen(PS_SOLID, 1, GRID_COLOUR);
    HPEN previousPen = (HPEN)SelectObject(dc, gridPen);
    Rectangle(dc, area.left, area.bottom, area.right, area.top);
    drawBoundLabels(window, dc, &area, &content->bounds);
    drawCaptions(window, dc, &area, left);
    drawGrid(dc, &area);

    AxisMap xAxis = axisMap(content->bounds.xMin, content->bounds.xMax, area.left, area.right);
    AxisMap yAxis = axisMap(content->bounds.yMin, content->bounds.yMax, area.bottom, area.top);
    HPEN curvePen = CreatePen(PS_SOLID, 1, CURVE_COLOUR);
    SelectObject(dc, curvePen);
    BOOL offGrid = drawFittedLineMarkingPoints(dc, &xAxis, &yAxis, content, marks);

    HPEN markerPen = CreatePen(PS_SOLID, 3, MARKER_COLOUR);
    SelectObject(dc, markerPen);
    drawMarkers(dc, &xAxis, &yAxis, content, marks, offGrid);
    drawHollowMarkers(dc, &xAxis, &yAxis, content);

    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(gridPen);
    DeleteObject(markerPen);
    DeleteObject(curvePen);
    DeleteObject(fillBrush);
}
