// SPDX-License-Identifier: GPL-3.0-or-later
// Least squares on Y itself: the linearised fit's A and B refined by Levenberg-Marquardt, so the
// residuals that are minimised are those S measures, not those of the transformed line.
#ifndef KELVORA_REFINE_H
#define KELVORA_REFINE_H

#include "fit.h"
#include "fit_uncertainty.h"

enum RefineStatus {
    REFINE_CONVERGED,
    REFINE_NO_START,      // fewer than two points inside the line's domain, or the line has no finite A, B
    REFINE_TOO_FEW,       // fewer than two points where the model has a value at the start
    REFINE_NOT_CONVERGED, // the iteration stopped (limit reached, or no usable step) away from a minimum
    REFINE_POLE_IN_DATA,  // the solution puts a pole of the model inside the span of the data's X
    REFINE_DEGENERATE,    // at the solution A and B are not determined apart (|correlation| > 0.9999)
};

struct RefineResult {
    RefineStatus status;
    FitResult fit;             // A, B, residual sum and S (n - 1) over the points used
    FitUncertainty uncertainty; // standard errors from the Jacobian at the solution; r2Line the start's
    int iterations;
    int pointsUsed;            // points whose residuals were minimised
    int leftOutOfStart;        // of those, the points the line could not take (y <= 0 under a log ...)
    int leftOut;               // points where the model has no finite value at the start, not used at all
    double startA;
    double startB;
    double startR2Line;        // R2 of the straight line the start came from (its points only)
    double poleX;              // the pole inside the data (REFINE_POLE_IN_DATA)
    double correlation;        // of A and B at the solution
    bool scannedStart;         // the solution came from a scanned start (scanA, scanB): the line's gave none
    double scanA;
    double scanB;
    double chi2;               // sum of w * residual^2 of a weighted refinement, NaN without weights
    int dof;                   // points used less the free parameters
    char reason[160];          // why a refinement gave no fit: did not converge, a pole, degenerate
};

#define REFINE_MAX_ITERATIONS 200

// Weights of the residuals on Y, one per point (NULL: all 1). absolute: they are 1/sigma^2 of sigma
// that are one standard deviation, so the covariance is not scaled by chi2 / (n - 2).
struct RefineWeights {
    const double* w;
    bool absolute;
};

// The least-squares solver behind a refinement. Both take the same trust-region LM steps.
enum RefineSolver {
    REFINE_STREAMING, // sums J'WJ and J'Wr point by point: one pass an iteration, no memory per point
    REFINE_DENSE,     // QR of the whole n x 2 Jacobian (GSL's small-problem solver), kept as a reference
};

// Fits model modelId (exponent exponentN for the power model) to the count points by least squares on Y,
// starting from the linearised fit of the points inside the line's domain. When that start leads to no
// fit, a model with a pole is started again on either side of it (its pole scanned beside the data,
// the factor solved linearly), and the best fit reached is kept.
RefineResult refineFit(const double* x, const double* y, int count, int modelId, double exponentN,
                       int maxIterations);

// refineFit minimising the weighted sum of squares on Y (the start stays the unweighted line's); a
// point whose weight is not a number >= 0 is left out.
RefineResult refineWeightedFit(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                               double exponentN, int maxIterations);

// refineWeightedFit by the solver chosen.
RefineResult refineFitWith(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                           double exponentN, int maxIterations, RefineSolver solver);

// A linearised fit the caller already holds, taken as the start instead of fitting the line again: A
// and B of the straight line fitted over every one of the points, and that line's R2.
struct RefineStart {
    double a;
    double b;
    double r2Line;
};

// The start in *start when fit and line (fitPointsWithLine over the count points, r2Line its R2) are
// the line the refinement would start from: the line took every point. False: let it find its own.
bool lineFitAsStart(const double* x, const double* y, int count, int modelId, const FitResult& fit,
                    const LineFit& line, double r2Line, RefineStart* start);

// What a refinement is asked: least squares on Y of model modelId over the count points with the
// weights given, for A and B, or for the one parameter that fixed leaves free (fixed.parameter -1: none).
struct RefineRequest {
    const double* x;
    const double* y;
    RefineWeights weights;
    int count;
    int modelId;
    double exponentN;
    FixedParameter fixed;
    int maxIterations;
    RefineSolver solver; // one free parameter is always solved densely
};

// The one refinement entry point, on GSL's trust-region solvers: from start (NULL: the linearised fit
// of the points the model's line takes, with the fixed parameter held), over the points where the model
// has a value there; a model with a pole and two free parameters is started again on either side of it
// when that start leads to no fit.
RefineResult refineProblem(const RefineRequest& request, const RefineStart* start);

// refineFitWith from the start given (NULL: the line it fits itself).
RefineResult refineFitFrom(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                           double exponentN, int maxIterations, RefineSolver solver, const RefineStart* start);

#endif
