// SPDX-License-Identifier: GPL-3.0-or-later
// Profile intervals: at each held value the other parameter refitted by the refinement with one
// parameter held (GSL's Levenberg-Marquardt on one unknown), carried from one held value to the next;
// the bound bracketed by steps of growing multiples of the standard error and placed by Brent's method
// (GSL) on tau^2 - cutoff^2.
#include "profile.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_roots.h>
#include <float.h>
#include <math.h>

#include "models.h"
#include "refine.h"

namespace {

#define PROFILE_BRACKET_STEPS 14 // out to 2^12 standard errors
#define PROFILE_ROOT_STEPS 100

double weightOf(const double* w, int i)
{
    return w != NULL ? w[i] : 1.0;
}

void parametersWith(int parameter, double value, double other, double* a, double* b)
{
    *a = parameter == 0 ? value : other;
    *b = parameter == 0 ? other : value;
}

// The residual sum (weighted) with the parameter held at value and the other at other.
double sumAt(const ProfileProblem& p, int parameter, double value, double other)
{
    double a, b, sum = 0.0;
    parametersWith(parameter, value, other, &a, &b);
    for (int i = 0; i < p.count; ++i) {
        double r = evaluateModelWith(p.modelId, a, b, p.exponentN, p.x[i]) - p.y[i];
        sum += weightOf(p.w, i) * r * r;
    }
    return isfinite(sum) ? sum : NAN;
}

struct Search {
    const ProfileProblem* problem;
    int parameter;
    double s2;
    double cutoff2;
    double other; // the free parameter's fit at the last held value
};

double excessOverCutoff(double value, void* data)
{
    Search* search = static_cast<Search*>(data);
    double sum = profiledSum(*search->problem, search->parameter, value, &search->other);
    return (sum - search->problem->sum) / search->s2 - search->cutoff2;
}

// The bound between inner (tau below the cutoff) and outer (above it).
double placeBound(Search* search, double inner, double outer)
{
    gsl_function f = {excessOverCutoff, search};
    gsl_root_fsolver* solver = gsl_root_fsolver_alloc(gsl_root_fsolver_brent);
    double low = inner < outer ? inner : outer, high = inner < outer ? outer : inner;
    double root = NAN;
    if (gsl_root_fsolver_set(solver, &f, low, high) == GSL_SUCCESS) {
        for (int step = 0; step < PROFILE_ROOT_STEPS; ++step) {
            if (gsl_root_fsolver_iterate(solver) != GSL_SUCCESS) break;
            root = gsl_root_fsolver_root(solver);
            low = gsl_root_fsolver_x_lower(solver);
            high = gsl_root_fsolver_x_upper(solver);
            if (gsl_root_test_interval(low, high, 0.0, 1e-13) == GSL_SUCCESS) break;
        }
    }
    gsl_root_fsolver_free(solver);
    return root;
}

// One side (direction -1 or +1): steps of 1/2, 1, 2 ... standard errors until tau passes the cutoff.
bool searchSide(const ProfileProblem& p, int parameter, double s, double cutoff, int direction, double* bound)
{
    double centre = parameter == 0 ? p.a : p.b, se = parameter == 0 ? p.seA : p.seB;
    if (!(se > 0.0) || !isfinite(se)) se = fabs(centre) > 0.0 ? 1e-3 * fabs(centre) : 1e-3;
    Search search = {&p, parameter, s * s, cutoff * cutoff, parameter == 0 ? p.b : p.a};
    double inner = centre, multiple = 0.5;
    for (int step = 0; step < PROFILE_BRACKET_STEPS; ++step, multiple *= 2.0) {
        double outer = centre + direction * multiple * se;
        double excess = excessOverCutoff(outer, &search);
        if (isnan(excess)) return false;
        if (excess > 0.0) {
            *bound = placeBound(&search, inner, outer);
            return !isnan(*bound);
        }
        inner = outer;
    }
    *bound = direction * INFINITY;
    return true;
}

} // namespace

double profiledSum(const ProfileProblem& problem, int parameter, double value, double* other)
{
    // The refinement with the parameter held, from the other's last fit.
    RefineRequest request = {problem.x, problem.y, RefineWeights{problem.w, false}, problem.count, problem.modelId,
                             problem.exponentN, FixedParameter{parameter, value}, REFINE_MAX_ITERATIONS,
                             REFINE_DENSE};
    RefineStart start = {parameter == 0 ? value : *other, parameter == 0 ? *other : value, NAN};
    RefineResult fit = refineProblem(request, &start);
    if (fit.status != REFINE_CONVERGED || fit.pointsUsed != problem.count) return NAN;
    *other = parameter == 0 ? fit.fit.b : fit.fit.a;
    return sumAt(problem, parameter, value, *other);
}

ProfileInterval profileInterval(const ProfileProblem& problem, int parameter, double s, double cutoff)
{
    ProfileInterval interval = {NAN, NAN, false};
    gsl_error_handler_t* previous = gsl_set_error_handler_off();
    bool low = searchSide(problem, parameter, s, cutoff, -1, &interval.low);
    bool high = searchSide(problem, parameter, s, cutoff, +1, &interval.high);
    gsl_set_error_handler(previous);
    interval.ok = low && high;
    return interval;
}
