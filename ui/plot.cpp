// The plot: the measured points and the fitted values at the same X values share one frame, whose
// bounds cover both; the fitted polyline joins the points in table order.
#include "plot.h"

#include <math.h>
#include <string.h>
#include <wchar.h>

#include "label.h"
#include "models.h"

#define FILL_COLOUR RGB(250, 250, 250)
#define GRID_COLOUR RGB(150, 150, 150)
#define CURVE_COLOUR RGB(0, 0, 255)
#define MARKER_COLOUR RGB(180, 0, 0)
#define LABEL_CAPACITY 64

// Thousands of points share a pixel when there are many. Drawing a segment or a marker again sets the
// same pixels in the same colour, and every segment is drawn before every marker, so each distinct
// segment and marker is drawn once: the picture stays exactly the same at a fraction of the work.

struct PlotArea {
    int left;
    int right;
    int bottom;
    int top;
};

void computeFittedValues(int modelId, double a, double b, double exponentN, const double* x, int count,
                         double* fitted)
{
    for (int i = 0; i < count; i++) fitted[i] = evaluateModelWith(modelId, a, b, exponentN, x[i]);
}

PlotBounds computePlotBounds(const double* x, const double* y, const double* fitted, int count)
{
    PlotBounds bounds = {0.0, 0.0, 0.0, 0.0};
    if (count <= 0) return bounds;
    bounds.xMin = bounds.xMax = x[0];
    bounds.yMin = bounds.yMax = y[0];
    for (int i = 0; i < count; i++) {
        if (x[i] > bounds.xMax) bounds.xMax = x[i];
        if (x[i] < bounds.xMin) bounds.xMin = x[i];
        if (y[i] > bounds.yMax) bounds.yMax = y[i];
        if (y[i] < bounds.yMin) bounds.yMin = y[i];
        if (fitted[i] > bounds.yMax) bounds.yMax = fitted[i];
        if (fitted[i] < bounds.yMin) bounds.yMin = fitted[i];
    }
    return bounds;
}

// Truncates toward zero. Bounds whose difference overflows (-1e308 and 1e308) are halved first, which
// is exact for such large numbers, so values between them still spread across the axis. A result that
// is no number, or lies beyond the range of an int, comes back at the nearer end of that range (or at
// p0), so the conversion is always defined.
int mapToPixel(double value, double lo, double hi, int p0, int p1)
{
    double t = (value - lo) / (hi - lo);
    if (isinf(hi - lo) && isfinite(hi) && isfinite(lo)) t = (value * 0.5 - lo * 0.5) / (hi * 0.5 - lo * 0.5);
    double span = (double)(p1 - p0);
    double r = t * span + (double)p0;
    if (isnan(r)) return p0;
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return (-2147483647 - 1);
    return (int)r;
}

// The pixel of one value on an axis, or FALSE when it has none: a value or bound that is not a finite
// number. An axis whose bounds are equal carries its single value in its middle.
static BOOL axisPixel(double value, double lo, double hi, int p0, int p1, int* pixel)
{
    if (!isfinite(value) || !isfinite(lo) || !isfinite(hi)) return FALSE;
    if (hi == lo) {
        *pixel = p0 + (p1 - p0) / 2;
        return TRUE;
    }
    *pixel = mapToPixel(value, lo, hi, p0, p1);
    return TRUE;
}

static BOOL plotPixel(const PlotArea* area, const PlotBounds* bounds, double x, double y, POINT* pixel)
{
    int px;
    int py;
    if (!axisPixel(x, bounds->xMin, bounds->xMax, area->left, area->right, &px)) return FALSE;
    if (!axisPixel(y, bounds->yMin, bounds->yMax, area->bottom, area->top, &py)) return FALSE;
    pixel->x = px;
    pixel->y = py;
    return TRUE;
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
    unsigned long long slot = (key * 0x9E3779B97F4A7C15ULL) >> 48;
    while (marks->segmentsDrawn[slot] != 0) {
        if (marks->segmentsDrawn[slot] == key) return FALSE;
        slot = (slot + 1) & (PLOT_SEGMENT_SLOTS - 1);
    }
    marks->segmentsDrawn[slot] = key;
    marks->segmentCount++;
    return TRUE;
}

static BOOL firstTimeMarker(PlotMarks* marks, POINT at)
{
    if (at.x < 0 || at.x >= PLOT_MARKER_GRID || at.y < 0 || at.y >= PLOT_MARKER_GRID) return TRUE;
    int bit = at.y * PLOT_MARKER_GRID + at.x;
    if (marks->markersDrawn[bit / 8] & (1 << (bit % 8))) return FALSE;
    marks->markersDrawn[bit / 8] |= (unsigned char)(1 << (bit % 8));
    return TRUE;
}

// A point whose fitted value has no pixel breaks the polyline; it goes on from the next one that has.
// A segment from a pixel to itself draws nothing and is left out like one drawn before.
static void drawFittedLine(HDC dc, const PlotArea* area, const PlotContent* content, PlotMarks* marks)
{
    BOOL drawing = FALSE;
    BOOL penAtFrom = FALSE; // the DC's current position is `from`
    POINT from = {0, 0};
    POINT pixel;
    memset(marks->segmentsDrawn, 0, sizeof(marks->segmentsDrawn));
    marks->segmentCount = 0;
    for (int i = 0; i < content->count; i++) {
        if (!plotPixel(area, &content->bounds, content->x[i], content->fitted[i], &pixel)) {
            drawing = FALSE;
            continue;
        }
        BOOL moved = pixel.x != from.x || pixel.y != from.y;
        if (drawing && moved && firstTimeSegment(marks, from, pixel)) {
            if (!penAtFrom) MoveToEx(dc, from.x, from.y, NULL);
            LineTo(dc, pixel.x, pixel.y);
            penAtFrom = TRUE;
        } else if (!drawing || moved) {
            penAtFrom = FALSE;
        }
        from = pixel;
        drawing = TRUE;
    }
}

static BOOL isHollow(const PlotContent* content, int i)
{
    return content->hollow != NULL && content->hollow[i];
}

static void drawMarkers(HDC dc, const PlotArea* area, const PlotContent* content, PlotMarks* marks)
{
    POINT pixel;
    memset(marks->markersDrawn, 0, sizeof(marks->markersDrawn));
    for (int i = 0; i < content->count; i++) {
        if (!isHollow(content, i) && plotPixel(area, &content->bounds, content->x[i], content->y[i], &pixel) &&
            firstTimeMarker(marks, pixel)) {
            Rectangle(dc, pixel.x, pixel.y, pixel.x + 2, pixel.y + 2);
        }
    }
}

// Hollow points: a square outline around the point, its inside left as it was, so that it reads as a
// point the fit did not use. They are few (left out by hand), each drawn on its own.
static void drawHollowMarkers(HDC dc, const PlotArea* area, const PlotContent* content)
{
    if (content->hollow == NULL) return;
    HPEN pen = CreatePen(PS_SOLID, 1, MARKER_COLOUR);
    HPEN previousPen = (HPEN)SelectObject(dc, pen);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, GetStockObject(NULL_BRUSH));
    POINT pixel;
    for (int i = 0; i < content->count; i++) {
        if (isHollow(content, i) && plotPixel(area, &content->bounds, content->x[i], content->y[i], &pixel)) {
            Rectangle(dc, pixel.x - 3, pixel.y - 3, pixel.x + 5, pixel.y + 5);
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

    HPEN curvePen = CreatePen(PS_SOLID, 1, CURVE_COLOUR);
    SelectObject(dc, curvePen);
    drawFittedLine(dc, &area, content, marks);

    HPEN markerPen = CreatePen(PS_SOLID, 3, MARKER_COLOUR);
    SelectObject(dc, markerPen);
    drawMarkers(dc, &area, content, marks);
    drawHollowMarkers(dc, &area, content);

    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(gridPen);
    DeleteObject(markerPen);
    DeleteObject(curvePen);
    DeleteObject(fillBrush);
}
