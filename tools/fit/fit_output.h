// Machine-readable output of kelvora-fit: one JSON object per fit, and the residuals of a fit as CSV.
#ifndef KELVORA_FIT_OUTPUT_H
#define KELVORA_FIT_OUTPUT_H

#include <stdio.h>

#include <string>

#include "fit.h"
#include "fit_uncertainty.h"

struct FitReport {
    const char* file;     // the name as given on the command line ("-" for standard input)
    int modelId;
    double exponentN;     // written for the power model only
    int count;            // points the fit used
    FitResult fit;
    FitUncertainty uncertainty;
    bool refined;
    int iterations;       // written for a refined fit only
    const char* warning;  // what standard error says of this fit (no finite numbers, no convergence), or NULL
    int dof;              // degrees of freedom: count less the fitted parameters
    double covAB;         // covariance of A and B (0 with one fixed)
    const char* weighting; // "none", "1/sigma^2 (sigma relative)" ...
    double chi2;          // weighted sum of squares on Y; written when weighted (finite or null)
    bool weighted;
    bool ranked;          // --all: aicc and akaike_weight are written
    double aicc;
    double akaikeWeight;
    int predictionCount;  // "predictions" written when > 0
    const double* predictX;
    const double* predictions; // five per predictX: y, ci low, ci high, pi low, pi high
    int inverseCount;     // "inverse" written when > 0
    const double* inverseY;
    const double* inverses; // three per inverseY: x, interval low, interval high (NaN: no X)
};

// The fit as one JSON object on one line, keys in a fixed order; a number that is not finite is null.
// A "warning" key comes last, and only when the fit has one.
std::string fitJson(const FitReport* report);

// The text as a JSON string literal: quotes, backslashes and control characters escaped, bytes that are
// no UTF-8 replaced by U+FFFD, so any file name gives valid JSON.
std::string jsonString(const char* text);

// "x,y,fitted,residual" and one line per point, residual = y - fitted, numbers with 17 digits.
// Returns false when writing failed.
// band (may be NULL) adds two columns named bandName_low and bandName_high: the band at each x.
typedef void (*BandAt)(double x, double* low, double* high);
bool writeResidualsCsv(FILE* out, const double* x, const double* y, int count, int modelId, double a,
                       double b, double exponentN, BandAt band = NULL, const char* bandName = NULL);

#endif
