// SPDX-License-Identifier: GPL-3.0-or-later
// Fit timings: fitModel on the point table beside the raw-sum formula, for a few sizes and models.
#include <benchmark/benchmark.h>
#include <math.h>

#include "app_state.h"
#include "fit.h"

static void fillPoints(int count)
{
    g_app.points.pointCount = count;
    for (int i = 0; i < count; ++i) {
        double x = 1.0 + i * 0.001;
        g_app.points.x[i] = x;
        g_app.points.y[i] = 2.0 + 3.0 * x + 0.01 * sin(i * 0.7);
    }
}

static void BM_FitModel(benchmark::State& state)
{
    fillPoints((int)state.range(0));
    g_app.modelId = (int)state.range(1);
    for (auto _ : state) {
        fitModel();
        benchmark::DoNotOptimize(g_app.fit);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Arguments: number of points, model (0 straight line, 5 exponential, 15 power with N = 2).
#define FIT_ARGUMENTS ->Args({1000, 0})->Args({1000000, 0})->Args({1000000, 5})->Args({1000000, 15})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_FitModel) FIT_ARGUMENTS;

BENCHMARK_MAIN();
