// kelvora-fit's output: fits the points held in g_app and prints one block of results.
#ifndef KELVORA_FIT_REPORT_H
#define KELVORA_FIT_REPORT_H

#include <stdio.h>

#include "options.h"

// Prints the formula of model modelId as plain ASCII text.
void printFormula(FILE* out, int modelId);

// Fits the chosen model (or all sixteen with --all) to g_app.points and prints the block.
// Returns FIT_EXIT_FITTED, or FIT_EXIT_NOT_FINITE when the printed fit has a non-finite A, B or S
// (with --all: when no model gives a finite fit).
int reportFit(const FitOptions& options);

#endif
