// SPDX-License-Identifier: GPL-3.0-or-later
// Robust fits: points far from the curve weighed down by a weight function of their scaled residual
// (bisquare, Huber, Cauchy, fair, Welsch with GSL's tuning constants), the linearised fit by GSL's
// gsl_multifit_robust on the model's straight line, the refinement by iteratively reweighted least
// squares on Y with the same weight function.
#ifndef KELVORA_ROBUST_H
#define KELVORA_ROBUST_H

enum RobustKind { ROBUST_BISQUARE, ROBUST_HUBER, ROBUST_CAUCHY, ROBUST_FAIR, ROBUST_WELSCH, ROBUST_KIND_COUNT };

// The kind of a name ("bisquare" ...); false for a name that is none.
bool robustKindNamed(const char* name, RobustKind* kind);
const char* robustKindName(RobustKind kind);
// The weight of a residual u, scaled by the tuning constant and the residuals' robust spread.
double robustWeight(RobustKind kind, double u);

struct RobustFit {
    bool ok;
    double a;
    double b;
    double seA;       // from the final weighted fit, its covariance scaled by its chi2 per degree of freedom
    double seB;
    double covAB;
    double sigma;     // the robust spread of the residuals (median absolute deviation / 0.6745)
    int iterations;
    char reason[160];
};

// The linearised fit of the count points (weights w on Y, NULL: all 1) with the robust weights of each
// point in weights[] (count values: the final weight, 1 for a point fully counted).
RobustFit robustLinearisedFit(const double* x, const double* y, const double* w, int count, int modelId,
                              double exponentN, RobustKind kind, double* weights);

#define ROBUST_MAX_ITERATIONS 100

// The refinement on Y from startA, startB: each pass weighs the residuals of the last fit (scaled by
// their leverage and robust spread) and refits with the data weights times those; it stops when A and
// B no longer move. weights[] receives the final robust weights.
RobustFit robustRefinedFit(const double* x, const double* y, const double* w, int count, int modelId,
                           double exponentN, RobustKind kind, double startA, double startB, int maxIterations,
                           double* weights);

#endif
