// Pictures of a fit as PNG files, drawn by the program's own windows on the headless device.
#ifndef KELVORA_PLOT_FILE_H
#define KELVORA_PLOT_FILE_H

// The results window (formula, A, B, N, S and the plot) for the fit in g_app (modelId, fit, exponentN,
// points), its client area width x height pixels, written to path. False, with a line on standard
// error, when the file cannot be written.
bool writeResultsPicture(const char* path, int width, int height);

// The residuals Y - fitted of that fit against X, drawn by the same plot with the zero line as its
// curve, under the formula and S. g_app is as it was afterwards.
bool writeResidualsPicture(const char* path, int width, int height);

#endif
