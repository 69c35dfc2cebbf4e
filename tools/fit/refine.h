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
    const char* reason;        // what stopped a refinement that did not converge
};

#define REFINE_MAX_ITERATIONS 200

// Fits model modelId (exponent exponentN for the power model) to the count points by least squares on Y,
// starting from the linearised fit of the points inside the line's domain.
RefineResult refineFit(const double* x, const double* y, int count, int modelId, double exponentN,
                       int maxIterations);

#endif
