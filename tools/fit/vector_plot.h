// SPDX-License-Identifier: GPL-3.0-or-later
// Publication plots of a fit as SVG or PDF, drawn with cairo: numbered axes, the points (with their
// error bars when they carry sigma), the model's curve, an optional band and residual panel, and a
// legend with the formula and each parameter with its standard error.
#ifndef KELVORA_VECTOR_PLOT_H
#define KELVORA_VECTOR_PLOT_H

enum VectorFormat {
    VECTOR_NONE, // the name asks for no vector plot (a .png is the results window's picture)
    VECTOR_SVG,
    VECTOR_PDF,
};

// The format a file name asks for by its ending (.svg or .pdf, in any case).
VectorFormat vectorFormatOf(const char* path);

// The band drawn about the curve at x: its lower and upper Y; false where it has no value.
typedef bool (*PlotBand)(double x, double* lower, double* upper, const void* context);

struct VectorPlot {
    const double* x;
    const double* y;
    const double* sigma; // one sigma of each Y, drawn as error bars; NULL when the points carry none
    int count;
    int modelId;
    double a, b, exponentN;
    double seA, seB; // standard errors in the legend; NaN leaves "+- SE" out
    PlotBand band;   // NULL: no band
    const void* bandContext;
    const char* bandName; // its legend entry, such as "95% confidence band"
    bool residualPanel;   // Y - fitted against X under the plot
    double width, height; // the page in points; text keeps its size in points whatever these are
    const unsigned char* hollow; // points drawn as a ring only (left out of the fit); NULL: none
};

// The number of curve X: enough that no straight piece shows at the sizes people print.
#define VECTOR_PLOT_CURVE_POINTS 600

// Tick positions for the span lower..upper: about maxTicks multiples of a step of 1, 2 or 5 times a
// power of ten. Returns the count written to ticks (at most capacity) and the step.
int niceTicks(double lower, double upper, int maxTicks, double* ticks, int capacity, double* step);

// Draws plot into the file named path in its format (through the atomic replace of points files).
// False, with a line on standard error, when it cannot be written.
bool writeVectorPlot(const char* path, const VectorPlot* plot);

#endif
