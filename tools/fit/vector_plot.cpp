// SPDX-License-Identifier: GPL-3.0-or-later
// The publication plot: a page in points with cairo's SVG or PDF surface written into the file through
// the atomic replace, so an unfinished plot never stands in place of an older one. Text is set in
// points, so a larger --size gives more room, not larger letters.
#include "vector_plot.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "models.h"
#include "picture_file.h"
#include "plot_font.h"

namespace {

const double FONT_SIZE = 10.0; // points, whatever the page size
const double LINE_HEIGHT = 13.0;
const double TICK_LENGTH = 4.0;
const double MARKER_RADIUS = 2.2;
const double PAD = 8.0;
const int MAX_TICKS = 7;
const int TICK_CAPACITY = 32;

struct Range {
    double lower, upper;
};

// A rectangle of the page (points) and the data it shows.
struct Frame {
    double left, top, width, height;
    Range x, y;
};

double pageX(const Frame& f, double x)
{
    return f.left + (x - f.x.lower) / (f.x.upper - f.x.lower) * f.width;
}

double pageY(const Frame& f, double y)
{
    return f.top + f.height - (y - f.y.lower) / (f.y.upper - f.y.lower) * f.height;
}

// A range that can be drawn: widened when empty or a single value, padded by a share of its span.
Range padded(double lower, double upper, double share)
{
    if (!(lower <= upper)) return Range{0.0, 1.0};
    double span = upper - lower;
    if (!(span > 0.0)) span = lower != 0.0 ? fabs(lower) * 0.2 : 1.0;
    return Range{lower - span * share, upper + span * share};
}

double fitted(const VectorPlot* plot, double x)
{
    return evaluateModelWith(plot->modelId, plot->a, plot->b, plot->exponentN, x);
}

double sigmaAt(const VectorPlot* plot, int i)
{
    return plot->sigma != NULL && isfinite(plot->sigma[i]) ? fabs(plot->sigma[i]) : 0.0;
}

// The span of X, of Y with its error bars, and of the residuals (symmetric about 0), over finite points.
void dataRanges(const VectorPlot* plot, Range* x, Range* y, Range* residual)
{
    double xl = INFINITY, xu = -INFINITY, yl = INFINITY, yu = -INFINITY, largest = 0.0;
    for (int i = 0; i < plot->count; ++i) {
        if (!isfinite(plot->x[i]) || !isfinite(plot->y[i])) continue;
        double s = sigmaAt(plot, i);
        xl = fmin(xl, plot->x[i]);
        xu = fmax(xu, plot->x[i]);
        yl = fmin(yl, plot->y[i] - s);
        yu = fmax(yu, plot->y[i] + s);
        double r = plot->y[i] - fitted(plot, plot->x[i]);
        if (isfinite(r)) largest = fmax(largest, fabs(r) + s);
    }
    *x = padded(xl, xu, 0.04);
    *y = padded(yl, yu, 0.06);
    *residual = largest > 0.0 ? Range{-largest * 1.15, largest * 1.15} : Range{-1.0, 1.0};
}

void tickLabel(double value, double step, char* text, size_t size)
{
    // Plain decimals for ordinary magnitudes, as many as the step has; powers of ten beyond them, with
    // enough digits that neighbouring ticks differ.
    int stepExponent = (int)floor(log10(step));
    double largest = fmax(fabs(value), step);
    if (largest < 1e6 && step >= 1e-4) {
        snprintf(text, size, "%.*f", stepExponent < 0 ? -stepExponent : 0, value);
        return;
    }
    int digits = value != 0.0 ? (int)floor(log10(fabs(value))) - stepExponent + 1 : 1;
    if (digits < 1) digits = 1;
    if (digits > 15) digits = 15;
    snprintf(text, size, "%.*g", digits, value);
}

double textWidth(cairo_t* cr, const char* text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    return extents.x_advance;
}

// Text with its anchor at (x, y): horizontal 0 left, 0.5 centre, 1 right; vertically centred on y.
void showText(cairo_t* cr, double x, double y, double horizontal, const char* text)
{
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_move_to(cr, x - horizontal * textWidth(cr, text), y + (font.ascent - font.descent) / 2.0);
    cairo_show_text(cr, text);
}

// The widest Y tick label of a range, for the left margin.
double widestYLabel(cairo_t* cr, Range y)
{
    double ticks[TICK_CAPACITY], step, widest = 0.0;
    int count = niceTicks(y.lower, y.upper, MAX_TICKS, ticks, TICK_CAPACITY, &step);
    for (int i = 0; i < count; ++i) {
        char text[32];
        tickLabel(ticks[i], step, text, sizeof text);
        widest = fmax(widest, textWidth(cr, text));
    }
    return widest;
}

// The frame's box, its ticks on the left and bottom, the Y labels, and the X labels when asked.
void drawAxes(cairo_t* cr, const Frame& f, bool xLabels, const char* yTitle)
{
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 0.8);
    cairo_rectangle(cr, f.left, f.top, f.width, f.height);
    cairo_stroke(cr);
    double ticks[TICK_CAPACITY], step;
    char text[32];
    int count = niceTicks(f.x.lower, f.x.upper, MAX_TICKS, ticks, TICK_CAPACITY, &step);
    for (int i = 0; i < count; ++i) {
        double px = pageX(f, ticks[i]);
        cairo_move_to(cr, px, f.top + f.height);
        cairo_line_to(cr, px, f.top + f.height - TICK_LENGTH);
        cairo_stroke(cr);
        if (!xLabels) continue;
        tickLabel(ticks[i], step, text, sizeof text);
        showText(cr, px, f.top + f.height + TICK_LENGTH + FONT_SIZE * 0.7, 0.5, text);
    }
    count = niceTicks(f.y.lower, f.y.upper, MAX_TICKS, ticks, TICK_CAPACITY, &step);
    double widest = 0.0;
    for (int i = 0; i < count; ++i) {
        double py = pageY(f, ticks[i]);
        cairo_move_to(cr, f.left, py);
        cairo_line_to(cr, f.left + TICK_LENGTH, py);
        cairo_stroke(cr);
        tickLabel(ticks[i], step, text, sizeof text);
        showText(cr, f.left - TICK_LENGTH, py, 1.0, text);
        widest = fmax(widest, textWidth(cr, text));
    }
    cairo_save(cr);
    cairo_translate(cr, f.left - TICK_LENGTH - widest - FONT_SIZE * 0.9, f.top + f.height / 2.0);
    cairo_rotate(cr, -M_PI / 2.0);
    showText(cr, 0, 0, 0.5, yTitle);
    cairo_restore(cr);
}

void clipTo(cairo_t* cr, const Frame& f)
{
    cairo_rectangle(cr, f.left, f.top, f.width, f.height);
    cairo_clip(cr);
}

// The model's pole between two X: the curve is broken there rather than joined across it.
bool poleBetween(const VectorPlot* plot, double x0, double x1)
{
    const ModelRow* row = modelRow(plot->modelId);
    double pole;
    return row != NULL && row->pole != NULL && row->pole(plot->a, plot->b, &pole) &&
           pole >= fmin(x0, x1) && pole <= fmax(x0, x1);
}

double curveX(const Frame& f, int k)
{
    return f.x.lower + (f.x.upper - f.x.lower) * k / (VECTOR_PLOT_CURVE_POINTS - 1);
}

void drawBand(cairo_t* cr, const Frame& f, const VectorPlot* plot)
{
    if (plot->band == NULL) return;
    cairo_save(cr);
    clipTo(cr, f);
    cairo_set_source_rgba(cr, 0.2, 0.4, 0.8, 0.2);
    // Each run of X where the band has a value: the upper edge forward, the lower edge back.
    int k = 0;
    while (k < VECTOR_PLOT_CURVE_POINTS) {
        double lower, upper;
        int first = k;
        while (k < VECTOR_PLOT_CURVE_POINTS && plot->band(curveX(f, k), &lower, &upper, plot->bandContext) &&
               isfinite(lower) && isfinite(upper) && (k == first || !poleBetween(plot, curveX(f, k - 1), curveX(f, k)))) {
            double x = curveX(f, k);
            if (k == first) {
                cairo_move_to(cr, pageX(f, x), pageY(f, upper));
            } else {
                cairo_line_to(cr, pageX(f, x), pageY(f, upper));
            }
            ++k;
        }
        for (int j = k - 1; j >= first; --j) {
            plot->band(curveX(f, j), &lower, &upper, plot->bandContext);
            cairo_line_to(cr, pageX(f, curveX(f, j)), pageY(f, lower));
        }
        if (k > first) {
            cairo_close_path(cr);
            cairo_fill(cr);
        } else {
            ++k;
        }
    }
    cairo_restore(cr);
}

// The curve at VECTOR_PLOT_CURVE_POINTS X across the frame, broken where it has no value or a pole.
void drawCurve(cairo_t* cr, const Frame& f, const VectorPlot* plot)
{
    cairo_save(cr);
    clipTo(cr, f);
    cairo_set_source_rgb(cr, 0.05, 0.25, 0.65);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    bool drawing = false;
    double previousX = 0.0;
    // Values far outside the frame are held at a few frame heights: the clip hides them, and no
    // coordinate overflows what a viewer can draw.
    double limit = 4.0 * f.height;
    for (int k = 0; k < VECTOR_PLOT_CURVE_POINTS; ++k) {
        double x = curveX(f, k), y = fitted(plot, x);
        if (!isfinite(y) || (drawing && poleBetween(plot, previousX, x))) {
            drawing = false;
            if (!isfinite(y)) continue;
        }
        double py = fmax(f.top - limit, fmin(f.top + f.height + limit, pageY(f, y)));
        if (drawing) {
            cairo_line_to(cr, pageX(f, x), py);
        } else {
            cairo_move_to(cr, pageX(f, x), py);
        }
        drawing = true;
        previousX = x;
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

// The points (residuals when residual is true) with their error bars.
void drawPoints(cairo_t* cr, const Frame& f, const VectorPlot* plot, bool residual)
{
    cairo_save(cr);
    clipTo(cr, f);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 0.6);
    for (int i = 0; i < plot->count; ++i) {
        double x = plot->x[i], y = residual ? plot->y[i] - fitted(plot, plot->x[i]) : plot->y[i];
        if (!isfinite(x) || !isfinite(y)) continue;
        double px = pageX(f, x), py = pageY(f, y), s = sigmaAt(plot, i);
        if (s > 0.0) {
            double top = pageY(f, y + s), bottom = pageY(f, y - s);
            cairo_move_to(cr, px, top);
            cairo_line_to(cr, px, bottom);
            cairo_move_to(cr, px - 2.0, top);
            cairo_line_to(cr, px + 2.0, top);
            cairo_move_to(cr, px - 2.0, bottom);
            cairo_line_to(cr, px + 2.0, bottom);
            cairo_stroke(cr);
        }
        cairo_new_sub_path(cr);
        cairo_arc(cr, px, py, MARKER_RADIUS, 0.0, 2.0 * M_PI);
        if (plot->hollow != NULL && plot->hollow[i]) {
            cairo_stroke(cr);
        } else {
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);
}

void drawZeroLine(cairo_t* cr, const Frame& f)
{
    double dash = 3.0;
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
    cairo_set_line_width(cr, 0.6);
    cairo_set_dash(cr, &dash, 1, 0.0);
    cairo_move_to(cr, f.left, pageY(f, 0.0));
    cairo_line_to(cr, f.left + f.width, pageY(f, 0.0));
    cairo_stroke(cr);
    cairo_restore(cr);
}

// "NAME = value +- SE" with SE to two significant digits and the value rounded to match.
void valueWithError(char* text, size_t size, const char* name, double value, double se)
{
    if (isnan(value)) {
        snprintf(text, size, "%s = nan", name); // printf may sign a NaN
        return;
    }
    if (!(se > 0.0) || !isfinite(se) || !isfinite(value)) {
        snprintf(text, size, "%s = %.6g", name, value);
        return;
    }
    int decimals = 1 - (int)floor(log10(se));
    if (decimals >= 0 && decimals <= 12) {
        snprintf(text, size, "%s = %.*f \u00b1 %.*f", name, decimals, value, decimals, se);
        return;
    }
    // Very large or very small: both in units of a power of ten, shown once.
    int power = (int)floor(log10(fmax(fabs(value), se)));
    double unit = pow(10.0, power);
    int shifted = decimals + power;
    if (shifted < 0) shifted = 0;
    snprintf(text, size, "%s = (%.*f \u00b1 %.*f)e%d", name, shifted, value / unit, shifted, se / unit, power);
}

bool anyHollow(const VectorPlot* plot)
{
    for (int i = 0; plot->hollow != NULL && i < plot->count; ++i)
        if (plot->hollow[i]) return true;
    return false;
}

// The legend above the plot: the marks of the points and the curve with the formula, the parameters,
// and the band. Returns the height it takes.
double drawLegend(cairo_t* cr, const VectorPlot* plot, double left, double top, bool draw)
{
    char formula[96] = {0};
    const WCHAR* model = modelText(plot->modelId);
    for (size_t i = 0; model[i] != 0 && i + 1 < sizeof formula; ++i) formula[i] = (char)model[i];
    char a[96], b[96], n[48] = "";
    valueWithError(a, sizeof a, "A", plot->a, plot->seA);
    valueWithError(b, sizeof b, "B", plot->b, plot->seB);
    if (modelUsesExponent(plot->modelId)) snprintf(n, sizeof n, "N = %g", plot->exponentN);
    int lines = plot->band != NULL ? 3 : 2;
    if (!draw) return lines * LINE_HEIGHT;
    double y = top + LINE_HEIGHT / 2.0;
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_new_sub_path(cr);
    cairo_arc(cr, left + 6.0, y, MARKER_RADIUS, 0.0, 2.0 * M_PI);
    cairo_fill(cr);
    showText(cr, left + 14.0, y, 0.0, plot->sigma != NULL ? "points \u00b1 \u03c3" : "points");
    double x = left + 24.0 + textWidth(cr, plot->sigma != NULL ? "points \u00b1 \u03c3" : "points");
    cairo_set_source_rgb(cr, 0.05, 0.25, 0.65);
    cairo_set_line_width(cr, 1.2);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 18.0, y);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    showText(cr, x + 24.0, y, 0.0, formula);
    if (anyHollow(plot)) {
        double ring = x + 24.0 + textWidth(cr, formula) + 18.0;
        cairo_set_line_width(cr, 0.6);
        cairo_new_sub_path(cr);
        cairo_arc(cr, ring + 6.0, y, MARKER_RADIUS, 0.0, 2.0 * M_PI);
        cairo_stroke(cr);
        showText(cr, ring + 14.0, y, 0.0, "left out of the fit");
    }
    y += LINE_HEIGHT;
    showText(cr, left + 14.0, y, 0.0, a);
    double next = left + 14.0 + textWidth(cr, a) + 18.0;
    showText(cr, next, y, 0.0, b);
    if (n[0] != 0) showText(cr, next + textWidth(cr, b) + 18.0, y, 0.0, n);
    if (plot->band != NULL) {
        y += LINE_HEIGHT;
        cairo_set_source_rgba(cr, 0.2, 0.4, 0.8, 0.2);
        cairo_rectangle(cr, left + 1.0, y - 4.0, 10.0, 8.0);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        showText(cr, left + 14.0, y, 0.0, plot->bandName != NULL ? plot->bandName : "band");
    }
    return lines * LINE_HEIGHT;
}

void drawPlot(cairo_t* cr, const VectorPlot* plot)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_font_size(cr, FONT_SIZE);

    Range x, y, residual;
    dataRanges(plot, &x, &y, &residual);
    double labelWidth = widestYLabel(cr, y);
    if (plot->residualPanel) labelWidth = fmax(labelWidth, widestYLabel(cr, residual));
    double left = PAD + FONT_SIZE * 1.6 + labelWidth + TICK_LENGTH;
    double top = PAD + drawLegend(cr, plot, 0, 0, false) + PAD;
    double bottom = plot->height - (PAD + LINE_HEIGHT * 2.0 + TICK_LENGTH);
    double width = plot->width - left - PAD * 2.0;
    double height = bottom - top;
    if (!(width > 10.0 && height > 10.0)) return; // nothing fits: the page stays white
    drawLegend(cr, plot, left, PAD, true);

    double panelGap = PAD * 1.5;
    double mainHeight = plot->residualPanel ? (height - panelGap) * 0.72 : height;
    Frame main = {left, top, width, mainHeight, x, y};
    drawBand(cr, main, plot);
    drawCurve(cr, main, plot);
    drawPoints(cr, main, plot, false);
    drawAxes(cr, main, !plot->residualPanel, "Y");
    const Frame* lowest = &main;
    Frame panel = {left, top + mainHeight + panelGap, width, height - mainHeight - panelGap, x, residual};
    if (plot->residualPanel) {
        drawZeroLine(cr, panel);
        drawPoints(cr, panel, plot, true);
        drawAxes(cr, panel, true, "Y \u2212 fit");
        lowest = &panel;
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    showText(cr, left + width / 2.0, lowest->top + lowest->height + TICK_LENGTH + FONT_SIZE * 0.7 + LINE_HEIGHT, 0.5,
             "X");
}

struct VectorContent {
    const VectorPlot* plot;
    VectorFormat format;
    char message[96];
};

cairo_status_t writeToStream(void* closure, const unsigned char* data, unsigned int length)
{
    return fwrite(data, 1, length, (FILE*)closure) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

bool writeVectorStream(FILE* file, const void* content)
{
    VectorContent* vector = (VectorContent*)content;
    const VectorPlot* plot = vector->plot;
    cairo_surface_t* surface;
    if (vector->format == VECTOR_SVG) {
        surface = cairo_svg_surface_create_for_stream(writeToStream, file, plot->width, plot->height);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
    } else {
        surface = cairo_pdf_surface_create_for_stream(writeToStream, file, plot->width, plot->height);
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "kelvora-fit");
    }
    errno = 0;
    cairo_t* cr = cairo_create(surface);
    PlotFont font = openPlotFont(cr);
    drawPlot(cr, plot);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    closePlotFont(&font);
    if (status != CAIRO_STATUS_SUCCESS) {
        snprintf(vector->message, sizeof vector->message, "%s", cairo_status_to_string(status));
        return false;
    }
    return fflush(file) == 0 && !ferror(file);
}

} // namespace

VectorFormat vectorFormatOf(const char* path)
{
    size_t length = strlen(path);
    if (length <= 4) return VECTOR_NONE;
    if (strcasecmp(path + length - 4, ".svg") == 0) return VECTOR_SVG;
    if (strcasecmp(path + length - 4, ".pdf") == 0) return VECTOR_PDF;
    return VECTOR_NONE;
}

int niceTicks(double lower, double upper, int maxTicks, double* ticks, int capacity, double* step)
{
    double span = upper - lower;
    *step = NAN;
    if (!(span > 0.0) || !isfinite(span) || maxTicks < 1) return 0;
    double raw = span / maxTicks;
    double magnitude = pow(10.0, floor(log10(raw)));
    double normalised = raw / magnitude;
    double factor = normalised <= 1.0 ? 1.0 : normalised <= 2.0 ? 2.0 : normalised <= 5.0 ? 5.0 : 10.0;
    *step = factor * magnitude;
    int count = 0;
    for (double k = ceil(lower / *step - 1e-9); count < capacity; k += 1.0) {
        double tick = k * *step;
        if (tick > upper + *step * 1e-9) break;
        ticks[count++] = fabs(tick) < *step * 1e-9 ? 0.0 : tick;
    }
    return count;
}

bool writeVectorPlot(const char* path, const VectorPlot* plot)
{
    VectorContent content = {plot, vectorFormatOf(path), ""};
    if (content.format == VECTOR_NONE) {
        fprintf(stderr, "kelvora-fit: %s: a vector plot is named .svg or .pdf\n", path);
        return false;
    }
    return writePictureFile(path, writeVectorStream, &content, content.message);
}
