// SPDX-License-Identifier: GPL-3.0-or-later
// The bootstrap. One generator seeded with the caller's seed draws a seed for every resample first, so
// resample k always draws the same residuals whichever thread fits it and in whatever order; the fits
// land in their own slots, and the intervals are taken of the sorted slots afterwards.
#include "bootstrap.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_rng.h>
#include <gsl/gsl_sort.h>
#include <gsl/gsl_statistics_double.h>
#include <math.h>

#include <thread>
#include <vector>

#include "models.h"

namespace {

struct Resampling {
    const BootstrapProblem* problem;
    std::vector<double> fitted;        // the curve at each X
    std::vector<double> scaled;        // sqrt(w) * residual of each point, the pool drawn from
    std::vector<double> inverseRoot;   // 1 / sqrt(w): a drawn residual back on point i's scale
    std::vector<unsigned long> seeds;  // one a resample
    std::vector<double> a, b;          // one a resample; NaN where it gave no fit
};

bool prepare(const BootstrapProblem& p, Resampling* r)
{
    r->problem = &p;
    r->fitted.resize(p.count);
    r->scaled.resize(p.count);
    r->inverseRoot.resize(p.count);
    for (int i = 0; i < p.count; ++i) {
        double root = p.w != NULL ? sqrt(p.w[i]) : 1.0;
        r->fitted[i] = evaluateModelWith(p.modelId, p.a, p.b, p.exponentN, p.x[i]);
        r->scaled[i] = root * (p.y[i] - r->fitted[i]);
        r->inverseRoot[i] = 1.0 / root;
        if (!isfinite(r->scaled[i]) || !isfinite(r->inverseRoot[i])) return false;
    }
    return true;
}

// Resamples first, first + stride, ... with a generator and a Y of the thread's own.
void fitResamples(Resampling* r, int first, int stride)
{
    const BootstrapProblem& p = *r->problem;
    gsl_rng* rng = gsl_rng_alloc(gsl_rng_mt19937);
    std::vector<double> y(p.count);
    for (size_t k = (size_t)first; k < r->seeds.size(); k += (size_t)stride) {
        gsl_rng_set(rng, r->seeds[k]);
        for (int i = 0; i < p.count; ++i) {
            double drawn = r->scaled[gsl_rng_uniform_int(rng, (unsigned long)p.count)];
            y[i] = r->fitted[i] + drawn * r->inverseRoot[i];
        }
        double a = NAN, b = NAN;
        if (!p.refit(y.data(), p.context, &a, &b) || !isfinite(a) || !isfinite(b)) a = b = NAN;
        r->a[k] = a;
        r->b[k] = b;
    }
    gsl_rng_free(rng);
}

// The finite values of v sorted, their 2.5% and 97.5% points and standard deviation.
void percentiles(std::vector<double> v, double interval[2], double* sd)
{
    std::vector<double> finite;
    for (double value : v)
        if (!isnan(value)) finite.push_back(value);
    gsl_sort(finite.data(), 1, finite.size());
    interval[0] = gsl_stats_quantile_from_sorted_data(finite.data(), 1, finite.size(), 0.025);
    interval[1] = gsl_stats_quantile_from_sorted_data(finite.data(), 1, finite.size(), 0.975);
    *sd = finite.size() > 1 ? gsl_stats_sd(finite.data(), 1, finite.size()) : NAN;
}

} // namespace

BootstrapResult bootstrapIntervals(const BootstrapProblem& problem, int resamples, unsigned long seed, int threads)
{
    BootstrapResult result = {false, resamples, 0, {NAN, NAN}, {NAN, NAN}, NAN, NAN};
    Resampling r;
    if (resamples < 1 || problem.count < 1 || !prepare(problem, &r)) return result;
    gsl_rng* master = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(master, seed);
    for (int k = 0; k < resamples; ++k) r.seeds.push_back(gsl_rng_get(master));
    gsl_rng_free(master);
    r.a.assign(resamples, NAN);
    r.b.assign(resamples, NAN);
    // The refinement turns GSL's handler off and back on around each fit; off here first, every
    // thread's "back on" leaves it off until all are done.
    gsl_error_handler_t* previous = gsl_set_error_handler_off();
    if (threads < 1) threads = 1;
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) workers.emplace_back(fitResamples, &r, t, threads);
    fitResamples(&r, 0, threads);
    for (std::thread& worker : workers) worker.join();
    gsl_set_error_handler(previous);
    for (int k = 0; k < resamples; ++k)
        if (isnan(r.a[k])) ++result.failed;
    if (result.failed == resamples) return result;
    percentiles(r.a, result.ciA, &result.seA);
    percentiles(r.b, result.ciB, &result.seB);
    result.ok = true;
    return result;
}

bool refineRefit(const double* y, void* context, double* a, double* b)
{
    const RefineRefitContext& c = *static_cast<const RefineRefitContext*>(context);
    RefineStart start = {c.startA, c.startB, NAN};
    RefineResult fit = refineFitFrom(c.x, y, c.weights, c.count, c.modelId, c.exponentN, REFINE_MAX_ITERATIONS,
                                     REFINE_STREAMING, &start);
    *a = fit.fit.a;
    *b = fit.fit.b;
    return fit.status == REFINE_CONVERGED;
}
