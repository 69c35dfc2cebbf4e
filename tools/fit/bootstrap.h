// SPDX-License-Identifier: GPL-3.0-or-later
// Bootstrap intervals by resampling residuals: each resample puts residuals drawn with replacement on
// the fitted curve and fits again; the 2.5% and 97.5% points of the resampled A and B bound the
// intervals. A seed fixes every draw, and the resamples are spread over threads without changing them.
#ifndef KELVORA_BOOTSTRAP_H
#define KELVORA_BOOTSTRAP_H

#include "refine.h"

// Fits a resampled Y (count values, the points' X and weights are the caller's) into *a, *b; false when
// it gives no fit. context is the caller's; it is called from several threads at once.
typedef bool (*BootstrapRefit)(const double* y, void* context, double* a, double* b);

struct BootstrapProblem {
    const double* x;
    const double* y;
    const double* w; // weights on Y (NULL: all 1): the residuals are resampled as sqrt(w) * r
    int count;
    int modelId;
    double exponentN;
    double a;        // the fit resampled around
    double b;
    BootstrapRefit refit;
    void* context;
};

struct BootstrapResult {
    bool ok;           // false: no resample gave a fit, or the fit has no value at a point
    int resamples;
    int failed;        // resamples that gave no fit, left out of the intervals
    double ciA[2];
    double ciB[2];
    double seA;        // standard deviation of the resampled A
    double seB;
};

#define BOOTSTRAP_THREADS 2

// resamples resamples drawn from seed, on threads threads (1: the calling thread alone).
BootstrapResult bootstrapIntervals(const BootstrapProblem& problem, int resamples, unsigned long seed, int threads);

// A refit by the least-squares refinement from (startA, startB): the context of refineRefit.
struct RefineRefitContext {
    const double* x;
    RefineWeights weights;
    int count;
    int modelId;
    double exponentN;
    double startA;
    double startB;
};
bool refineRefit(const double* y, void* context, double* a, double* b);

#endif
