// SPDX-License-Identifier: GPL-3.0-or-later
// Machine-readable output of kelvora-fit: one JSON object per fit, and the residuals of a fit as CSV.
#ifndef KELVORA_FIT_OUTPUT_H
#define KELVORA_FIT_OUTPUT_H

#include <stdio.h>

#include <string>

#include "fit_problem.h"
#include "fit_record.h"

struct FitReport {
    const char* file;          // the name as given on the command line ("-" for standard input)
    const FitRecord* record;   // the fit: model, A, B, S, errors, count, dof, chi2 ...
    const char* warning;       // what standard error says of this fit (no finite numbers, no convergence), or NULL
    const char* weighting;     // "none", "1/sigma^2 (sigma relative)" ...
    bool weighted;             // chi2 and chi2_nu are written (finite or null)
    bool ranked;               // --all: aicc and akaike_weight are written
    double aicc;
    double akaikeWeight;
    int sameCurveAs;           // --all: "same_curve_as" names the model of an earlier line with this curve (-1: none)
    int predictionCount;       // "predictions" written when > 0
    const double* predictX;
    const double* predictions; // five per predictX: y, ci low, ci high, pi low, pi high
    int inverseCount;          // "inverse" written when > 0
    const double* inverseY;
    const double* inverses;    // three per inverseY: x, interval low, interval high (NaN: no X)
};

// The fit as one JSON object on one line, keys in a fixed order; a number that is not finite is null.
// A "warning" key comes last, and only when the fit has one.
std::string fitJson(const FitReport* report);

// The text as a JSON string literal: quotes, backslashes and control characters escaped, bytes that are
// no UTF-8 replaced by U+FFFD, so any file name gives valid JSON.
std::string jsonString(const char* text);

// The band written beside the residuals at x (its context is the caller's), as its lower and upper Y.
typedef bool (*BandAt)(double x, double* low, double* high, const void* context);

// What the residual CSV writes: the points, the fit, the input's texts of X and Y (NULL: the numbers
// with 17 digits), and an optional band.
struct ResidualsCsv {
    const double* x;
    const double* y;
    int count;
    int modelId;
    double a, b, exponentN;
    const InputTexts* texts;
    BandAt band;              // NULL: no band columns
    const void* bandContext;
    const char* bandName;     // the columns bandName_low and bandName_high
};

// "x,y,fitted,residual" and one line per point, residual = y - fitted, x and y as the input wrote them
// (or with 17 digits), fitted and residual with 17 digits. Returns false when writing failed.
bool writeResidualsCsv(FILE* out, const ResidualsCsv* csv);

#endif
