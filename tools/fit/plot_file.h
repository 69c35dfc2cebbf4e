// Pictures of a fit as PNG files, drawn by the program's own windows on the headless device.
#ifndef KELVORA_PLOT_FILE_H
#define KELVORA_PLOT_FILE_H

struct FitResult;

// The results window's picture (formula, A, B, N, S and the plot) of the fit of model modelId to the
// points of g_app with its exponent, drawn by the window's own drawing; its client area width x height
// pixels, written to path. False, with a line on standard error, when the file cannot be written. The
// state record is only read.
bool writeResultsPicture(const char* path, int width, int height, int modelId, const FitResult* fit);

// The residuals Y - fitted of that fit against X, drawn by the same plot with the zero line as its
// curve, under the formula and S. The state record is only read.
bool writeResidualsPicture(const char* path, int width, int height, int modelId, const FitResult* fit);

#endif
