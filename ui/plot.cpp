// The plot: the measured points and the fitted values at the same X values share one frame, whose
// bounds cover both; the fitted polyline joins the points in table order.
#include "plot.h"

#include <math.h>
#include <wchar.h>

#include "app_state.h"
#include "main_window.h"
#include "models.h"

#define FILL_COLOUR RGB(250, 250, 250)
#define GRID_COLOUR RGB(150, 150, 150)
#define CURVE_COLOUR RGB(0, 0, 255)
#define MARKER_COLOUR RGB(180, 0, 0)
#define LABEL_CAPACITY 64

PlotBounds g_plotBounds;

struct PlotArea {
    int left;
    int right;
    int bottom;
    int top;
};

void computePlotBounds()
{
    const PointTable* table = &g_app.points;
    PlotBounds* bounds = &g_plotBounds;
    bounds->xMin = bounds->xMax = table->x[0];
    bounds->yMin = bounds->yMax = table->y[0];
    for (int i = 0; i < table->pointCount; i++) {
        double x = table->x[i];
        double y = table->y[i];
        double fitted = evaluateModel(x);
        if (x > bounds->xMax) bounds->xMax = x;
        if (x < bounds->xMin) bounds->xMin = x;
        if (y > bounds->yMax) bounds->yMax = y;
        if (y < bounds->yMin) bounds->yMin = y;
        if (fitted > bounds->yMax) bounds->yMax = fitted;
        if (fitted < bounds->yMin) bounds->yMin = fitted;
    }
}

// Truncates toward zero. A result that is no number, or lies beyond the range of an int, comes back
// at the nearer end of that range (or at p0), so the conversion is always defined.
int mapToPixel(double value, double lo, double hi, int p0, int p1)
{
    double t = (value - lo) / (hi - lo);
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

static BOOL plotPixel(const PlotArea* area, double x, double y, POINT* pixel)
{
    int px;
    int py;
    const PlotBounds* bounds = &g_plotBounds;
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

static void drawBoundLabels(HWND window, HDC dc, const PlotArea* area)
{
    WCHAR label[LABEL_CAPACITY];
    int height;
    const PlotBounds* bounds = &g_plotBounds;

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

// A point whose fitted value has no pixel breaks the polyline; it goes on from the next one that has.
static void drawFittedLine(HDC dc, const PlotArea* area)
{
    const PointTable* table = &g_app.points;
    BOOL drawing = FALSE;
    POINT pixel;
    for (int i = 0; i < table->pointCount; i++) {
        double x = table->x[i];
        if (!plotPixel(area, x, evaluateModel(x), &pixel)) {
            drawing = FALSE;
            continue;
        }
        if (!drawing) MoveToEx(dc, pixel.x, pixel.y, NULL);
        LineTo(dc, pixel.x, pixel.y);
        drawing = TRUE;
    }
}

static void drawMarkers(HDC dc, const PlotArea* area)
{
    const PointTable* table = &g_app.points;
    POINT pixel;
    for (int i = 0; i < table->pointCount; i++) {
        if (plotPixel(area, table->x[i], table->y[i], &pixel)) {
            Rectangle(dc, pixel.x, pixel.y, pixel.x + 2, pixel.y + 2);
        }
    }
}

void drawPlot(HWND window, HDC dc, int left, int top, int right, int bottom)
{
    HBRUSH fillBrush = CreateSolidBrush(FILL_COLOUR);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, fillBrush);
    PlotArea area;
    area.left = left + 60;
    area.right = right - 10;
    area.bottom = bottom - 20;
    area.top = top + 50;
    computePlotBounds();

    HPEN gridPen = CreatePen(PS_SOLID, 1, GRID_COLOUR);
    HPEN previousPen = (HPEN)SelectObject(dc, gridPen);
    Rectangle(dc, area.left, area.bottom, area.right, area.top);
    drawBoundLabels(window, dc, &area);
    drawCaptions(window, dc, &area, left);
    drawGrid(dc, &area);

    HPEN curvePen = CreatePen(PS_SOLID, 1, CURVE_COLOUR);
    SelectObject(dc, curvePen);
    drawFittedLine(dc, &area);

    HPEN markerPen = CreatePen(PS_SOLID, 3, MARKER_COLOUR);
    SelectObject(dc, markerPen);
    drawMarkers(dc, &area);

    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(gridPen);
    DeleteObject(markerPen);
    DeleteObject(curvePen);
    DeleteObject(fillBrush);
}
