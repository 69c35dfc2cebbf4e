// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of a fit as PNG files, drawn by the program's own windows on the headless device.
#ifndef KELVORA_PLOT_FILE_H
#define KELVORA_PLOT_FILE_H

struct FitRecord;

// The points a picture shows; hollow (NULL: none) marks those drawn as an outline (left out of the fit).
struct PlotPoints {
    const double* x;
    const double* y;
    int count;
    const unsigned char* hollow;
};

// The results window's picture (formula, A, B, N, S and the plot) of the fit over the points, drawn by
// the window's own drawing; its client area width x height pixels, written to path. False, with a line
// on standard error, when the file cannot be written.
bool writeResultsPicture(const char* path, int width, int height, const PlotPoints& points, const FitRecord& fit);

// The residuals Y - fitted of that fit against X, drawn by the same plot with the zero line as its
// curve, under the formula and S.
bool writeResidualsPicture(const char* path, int width, int height, const PlotPoints& points, const FitRecord& fit);

#endif
