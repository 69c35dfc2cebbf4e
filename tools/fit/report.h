// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit's output formats: the text block of a fit, the block for a paper, the ranked line of
// --all, predictions and inverses, the JSON line and the warnings. They only format: every value comes
// from the problem, the fit record and its view (fit_statistics.h) handed to them.
#ifndef KELVORA_FIT_REPORT_H
#define KELVORA_FIT_REPORT_H

#include <stdio.h>

#include <string>
#include <vector>

#include "fit_problem.h"
#include "fit_record.h"
#include "fit_statistics.h"

// How numbers are written: 6 significant digits (%g), or 17 with --precise; a NaN as "nan".
struct NumberFormat {
    bool precise;
};

// value in the format, into text (at least 32 characters); returns text.
const char* formatNumber(NumberFormat format, double value, char* text);

// A NaN prints as "nan" whatever its sign bit: "-nan" would suggest a meaning it does not have.
double shownNumber(double value);

// Prints the formula of model modelId as plain ASCII text.
void printFormula(FILE* out, int modelId);

// The block of one fit: formula, A=, B=, (N=), S=, the errors and intervals, R2, and what the problem
// and the refinement add.
void printFitBlock(FILE* out, NumberFormat format, const FitProblem& problem, const FitRecord& record);

// The block one pastes into a paper.
void printPaperBlock(FILE* out, const FitProblem& problem, const FitRecord& record);

// A fit of --all in the ranking: its measures, then the model (K, N, formula) and what it left out.
// sameCurveAs: the model of an earlier line that is this model's curve in another form, or -1.
struct RankedFit {
    const FitRecord* record;
    double aicc;
    double akaikeWeight;
    int sameCurveAs;
};
void printRankedLine(FILE* out, NumberFormat format, const FitProblem& problem, const RankedFit& ranked);

// Y with its intervals at each X, X at each Y, one line each.
void printPredictions(FILE* out, NumberFormat format, const FitView& view, const std::vector<double>& predictX,
                      const std::vector<double>& inverseY);

// What standard error says of a fit that is not what was asked for, and the JSON's "warning": a
// refinement that gave no fit, or no finite A, B or S; empty for a sound fit.
std::string fitWarning(const FitProblem& problem, const FitRecord& record);

// The warning on standard error, with the file and the formula.
void warnAboutFit(const char* fileName, int modelId, const std::string& warning);

// One JSON line of a fit; ranked (non-NULL) adds AICc and the Akaike weight, view (non-NULL) the
// predictions and inverses.
void printJsonLine(FILE* out, const char* fileName, const FitProblem& problem, const FitRecord& record,
                   const RankedFit* ranked, const FitView* view, const std::vector<double>& predictX,
                   const std::vector<double>& inverseY);

#endif
