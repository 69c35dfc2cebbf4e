// kelvora-fit's output: fits the points held in g_app and prints one block of results.
#ifndef KELVORA_FIT_REPORT_H
#define KELVORA_FIT_REPORT_H

#include <stdio.h>

#include "options.h"

// Prints the formula of model modelId as plain ASCII text.
void printFormula(FILE* out, int modelId);

// Fits the chosen model (or all sixteen with --all) to g_app.points and prints the block (or the JSON
// lines) for the file named fileName, then the residuals and pictures asked for. Returns
// FIT_EXIT_FITTED; FIT_EXIT_NOT_FINITE when the printed fit has a non-finite A, B or S or its
// refinement did not converge (with --all: when no model gives a finite fit); FIT_EXIT_BAD_FILE when a
// picture could not be written.
// sigma: sigma of Y per point with --sigma, else nullptr.
int reportFit(const FitOptions& options, const char* fileName, const double* sigma);

// Y of the fit last reported (the one model, or the first of --all) at x, with its 95% confidence band
// or, with prediction, the prediction band of one new measurement; false before any fit. The plots draw
// the band from it.
bool shownFitBand(double x, bool prediction, double* y, double* low, double* high);

#endif
