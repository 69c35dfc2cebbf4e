// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the fits with errors in both variables and of the bootstrap beside the plain refinement in
// the same run: York's line and orthogonal distance regression of a line and of an exponential at
// 1,000,000 points (the regression alone from the Y-only fit, and with that start fit included), and
// 1,000 residual resamples of 1,000 points on one thread and on two.
// bench/scipy_odr.py runs the regression beside SciPy's odr on the same points.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdio.h>

#include <vector>

#include "bootstrap.h"
#include "refine.h"
#include "xy_errors.h"

namespace {

// 0 <= x < 10 with errors in both: X off by up to 1% of its sigma pattern, Y a decay (model 5) or a
// line (model 0) with a ripple; sigmaX 0.01, sigmaY 1% of Y plus 0.001.
struct ErrorsData {
    std::vector<double> x, y, sx, sy, w;
    ErrorsData(int count, int modelId) : x(count), y(count), sx(count, 0.01), sy(count), w(count)
    {
        for (int i = 0; i < count; ++i) {
            double truth = 10.0 * i / count;
            x[i] = truth + 0.01 * sin(i * 1.3);
            double clean = modelId == 0 ? 2.0 - 0.3 * truth : 5.0 * exp(-0.5 * truth);
            sy[i] = 0.01 * fabs(clean) + 0.001;
            y[i] = clean + sy[i] * cos(i * 0.7);
            w[i] = 1.0 / (sy[i] * sy[i]);
        }
    }
    XYPoints points() const { return XYPoints{x.data(), y.data(), sx.data(), sy.data(), (int)x.size()}; }
    RefineResult yOnly(int modelId) const
    {
        return refineWeightedFit(x.data(), y.data(), RefineWeights{w.data(), true}, (int)x.size(), modelId, 0.0,
                                 REFINE_MAX_ITERATIONS);
    }
};

// The baseline: the weighted refinement on Y of the same points.
void BM_RefineOnY(benchmark::State& state)
{
    int modelId = (int)state.range(1);
    ErrorsData d((int)state.range(0), modelId);
    RefineResult r = {};
    for (auto _ : state) {
        r = d.yOnly(modelId);
        benchmark::DoNotOptimize(r);
    }
    state.counters["iterations"] = r.iterations;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void labelWith(benchmark::State& state, const XYFit& fit)
{
    char label[96];
    snprintf(label, sizeof label, "A=%.15g B=%.15g", fit.a, fit.b);
    state.SetLabel(label);
    state.counters["iterations"] = fit.iterations;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_York(benchmark::State& state)
{
    ErrorsData d((int)state.range(0), 0);
    XYFit fit = {};
    for (auto _ : state) {
        fit = yorkLine(d.points());
        benchmark::DoNotOptimize(fit);
    }
    labelWith(state, fit);
}

// The regression alone, from the Y-only fit made once before the timing.
void BM_Odr(benchmark::State& state)
{
    int modelId = (int)state.range(1);
    ErrorsData d((int)state.range(0), modelId);
    RefineResult start = d.yOnly(modelId);
    XYFit fit = {};
    for (auto _ : state) {
        fit = odrFit(d.points(), modelId, 0.0, start.fit.a, start.fit.b, ODR_MAX_ITERATIONS, NULL);
        benchmark::DoNotOptimize(fit);
    }
    labelWith(state, fit);
}

// What kelvora-fit --sigma-xy does for a model other than the line: the Y-only fit, then the regression.
void BM_OdrWithStart(benchmark::State& state)
{
    int modelId = (int)state.range(1);
    ErrorsData d((int)state.range(0), modelId);
    XYFit fit = {};
    for (auto _ : state) {
        RefineResult start = d.yOnly(modelId);
        fit = odrFit(d.points(), modelId, 0.0, start.fit.a, start.fit.b, ODR_MAX_ITERATIONS, NULL);
        benchmark::DoNotOptimize(fit);
    }
    labelWith(state, fit);
}

// Resamples of 1,000 points of the decay refined from the fit, on range(1) threads.
void BM_Bootstrap(benchmark::State& state)
{
    ErrorsData d(1000, 5);
    RefineResult fit = refineFit(d.x.data(), d.y.data(), 1000, 5, 0.0, REFINE_MAX_ITERATIONS);
    RefineRefitContext context = {d.x.data(), RefineWeights{NULL, false}, 1000, 5, 0.0, fit.fit.a, fit.fit.b};
    BootstrapProblem p = {d.x.data(), d.y.data(), NULL, 1000, 5, 0.0, fit.fit.a, fit.fit.b, refineRefit, &context};
    BootstrapResult r = {};
    for (auto _ : state) {
        r = bootstrapIntervals(p, (int)state.range(0), 28, (int)state.range(1));
        benchmark::DoNotOptimize(r);
    }
    state.counters["failed"] = r.failed;
}

} // namespace

BENCHMARK(BM_RefineOnY)->Args({1000000, 0})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_York)->Args({1000000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Odr)->Args({1000000, 0})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OdrWithStart)->Args({1000000, 0})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bootstrap)->Args({1000, 1})->Args({1000, 2})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
