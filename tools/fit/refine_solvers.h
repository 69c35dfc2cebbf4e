// SPDX-License-Identifier: GPL-3.0-or-later
// The two solvers of the refinement (refine.cpp: the dense one and the entry point; refine_streaming.cpp:
// the streaming one) and what they share: the problem they solve, GSL's iteration with its stopping
// tests, and the covariance at the solution.
#ifndef KELVORA_REFINE_SOLVERS_H
#define KELVORA_REFINE_SOLVERS_H

#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_multilarge_nlinear.h>
#include <gsl/gsl_vector.h>
#include <math.h>
#include <stdio.h>

#include "refine.h"

namespace refine_solvers {

const char* const NO_DERIVATIVE = "the model has no derivative at a point for these A and B";

struct Problem {
    const double* x;
    const double* y;
    const double* w; // weight of each point's squared residual; NULL for all 1
    int count;
    int modelId;
    double exponentN;
    FixedParameter fixed; // a parameter held at its value: the solver moves the other alone
};
// The free parameters the solver moves: A and B, or the one a fixed parameter leaves.
inline size_t freeParameters(const Problem* problem)
{
    return problem->fixed.parameter >= 0 ? 1 : 2;
}
// A and B at the solver's position p.
inline void parametersAt(const Problem* problem, const gsl_vector* p, double* a, double* b)
{
    int fixed = problem->fixed.parameter;
    *a = fixed == 0 ? problem->fixed.value : gsl_vector_get(p, 0);
    *b = fixed == 1 ? problem->fixed.value : gsl_vector_get(p, fixed == 0 ? 0 : 1);
}
inline void setReason(RefineResult* result, const char* text)
{
    snprintf(result->reason, sizeof result->reason, "%s", text);
}

// (J'J)^-1, in units where the columns of J are divided by 2^exponent0 and 2^exponent1.
struct ColumnCovariance {
    double c00, c01, c11;
    int exponent0, exponent1;
};

inline bool usableCovariance(const ColumnCovariance& c)
{
    return c.c00 > 0.0 && c.c11 > 0.0 && isfinite(c.c00) && isfinite(c.c11) && isfinite(c.c01);
}

// The same with one parameter fixed: the free one's variance alone.
inline bool usableCovariance(const ColumnCovariance& c, int fixed)
{
    if (fixed < 0) return usableCovariance(c);
    double variance = fixed == 0 ? c.c11 : c.c00;
    return variance > 0.0 && isfinite(variance);
}

// Where a solver stopped, and (J'W J)^-1 there; with sumsAtSolution also the unweighted residual sum
// there, from the solver's last pass.
struct Solution {
    double a, b;
    ColumnCovariance covariance;
    bool sumsAtSolution;
    ScaledSum residualSum;
};

inline int solverIterate(gsl_multifit_nlinear_workspace* work)
{
    return gsl_multifit_nlinear_iterate(work);
}

inline int solverIterate(gsl_multilarge_nlinear_workspace* work)
{
    return gsl_multilarge_nlinear_iterate(work);
}

inline int solverTest(double xtol, double gtol, double ftol, int* info, gsl_multifit_nlinear_workspace* work)
{
    return gsl_multifit_nlinear_test(xtol, gtol, ftol, info, work);
}

inline int solverTest(double xtol, double gtol, double ftol, int* info, gsl_multilarge_nlinear_workspace* work)
{
    return gsl_multilarge_nlinear_test(xtol, gtol, ftol, info, work);
}

// Runs the solver from the start until its steps are smaller than xtol relative to A and B; true
// when it reached a minimum.
template <typename Workspace>
bool iterate(Workspace* work, double xtol, int maxIterations, RefineResult* result, double gtol = 1e-12)
{
    const double ftol = 0.0;
    for (result->iterations = 0; result->iterations < maxIterations;) {
        int status = solverIterate(work);
        // No step lowers the residual sum any more: the parameters are at its minimum to rounding.
        if (status == GSL_ENOPROG) return true;
        if (status != GSL_SUCCESS) {
            setReason(result, status == GSL_EDOM ? NO_DERIVATIVE : gsl_strerror(status));
            return false;
        }
        ++result->iterations;
        int info = 0;
        status = solverTest(xtol, gtol, ftol, &info, work);
        if (status == GSL_SUCCESS) return true;
        if (status != GSL_CONTINUE) {
            setReason(result, gsl_strerror(status));
            return false;
        }
    }
    setReason(result, "iteration limit reached");
    return false;
}

// The sums of one pass over the points at a position (in the scaled units below): sum of w r^2, J'Wr
// and J'WJ, and whether every point had a finite derivative there.
struct PassSums {
    double u0, u1;
    double residualSum, g0, g1, s00, s01, s11;
    bool derivativesFinite;
};

// The streaming solver works in units where the residuals are divided by 2^residualExponent and the
// parameters by 2^exponentA and 2^exponentB, powers of two (exact) chosen at the start so that the
// residuals and the columns of the Jacobian are near 1: their squares and sums of a million of them
// stay normal doubles for X and Y anywhere in the double range.
struct Streaming {
    const Problem* problem;
    int residualExponent, exponentA, exponentB;
    double residualScale, scaleA, scaleB; // 2^-residualExponent, 2^exponentA, 2^exponentB
    // The last pass: GSL asks for the residual norm at a trial position and, when it takes the step,
    // for J'r and J'J at the same position; one pass serves both.
    PassSums last;
    bool lastValid;
};

// The largest magnitude's power of two, within +-LARGEST_SCALE_EXPONENT (0 for 0, infinity and NaN).
int clampedExponent(double largest);

// The streaming solver's scales at a start (a, b), and in *usable (when not NULL) the count of points
// with a value and a usable weight there.
Streaming streamingScales(const Problem* problem, double a, double b, int* usable);

// Runs the streaming solver from (startA, startB); scales: those of the start over the problem's
// points, NULL to take them here. True when it reached a minimum.
bool solveStreaming(const Problem* problem, const Streaming* scales, double startA, double startB, int maxIterations,
                    RefineResult* result, Solution* solution);

} // namespace refine_solvers

#endif
