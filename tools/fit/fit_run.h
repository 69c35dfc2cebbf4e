// SPDX-License-Identifier: GPL-3.0-or-later
// One file through kelvora-fit: its problem made from the options, the fit (or every model's, ranked),
// then the output, the residuals and the pictures.
#ifndef KELVORA_FIT_RUN_H
#define KELVORA_FIT_RUN_H

#include "fit_problem.h"
#include "options.h"

// Fits the chosen model (or every model with --all) to the points of store and prints the block (or the
// JSON lines) for the file named fileName, then the residuals and pictures asked for. Returns
// FIT_EXIT_FITTED; FIT_EXIT_NOT_FINITE when the printed fit has a non-finite A, B or S or its
// refinement gave no fit (with --all: when the first ranked has); FIT_EXIT_BAD_FILE when a point has
// no weight or a picture could not be written.
int runFile(const FitOptions& options, PointStore* store, const char* fileName);

#endif
