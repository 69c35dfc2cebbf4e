// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of kelvora-fit's statistics beside the plain fit in the same run: the uncertainty of a fit,
// the least-squares refinement of an exponential by the streaming and by the dense solver (time, and
// the heap it holds at its peak beyond the points), and all sixteen models refined.
// bench/scipy_curve_fit.py runs the refinements beside SciPy's curve_fit on the same points.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <math.h>
#include <stdio.h>

#include <vector>

#include "fit.h"
#include "fit_uncertainty.h"
#include "models.h"
#include "refine.h"

// Heap in use and its peak, counted by wrapping the C allocator (GSL allocates with malloc; operator
// new ends there too). An address-sanitised build keeps the sanitiser's allocator and counts nothing.
namespace {

size_t g_heapInUse = 0;
size_t g_heapPeak = 0;

} // namespace

#if !defined(__SANITIZE_ADDRESS__)
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {

void* counted(void* block)
{
    if (block != NULL) {
        g_heapInUse += malloc_usable_size(block);
        if (g_heapInUse > g_heapPeak) g_heapPeak = g_heapInUse;
    }
    return block;
}

void uncount(void* block)
{
    if (block != NULL) g_heapInUse -= malloc_usable_size(block);
}

} // namespace

extern "C" {
void* malloc(size_t size)
{
    return counted(__libc_malloc(size));
}

void* calloc(size_t count, size_t size)
{
    return counted(__libc_calloc(count, size));
}

void* realloc(void* block, size_t size)
{
    uncount(block);
    return counted(__libc_realloc(block, size));
}

void free(void* block)
{
    uncount(block);
    __libc_free(block);
}
}
#endif

namespace {

// A decay 5*exp(-0.5x) over 0 <= x < 10 with 1% multiplicative ripple, so every Y is positive.
struct Decay {
    std::vector<double> x, y;
    explicit Decay(int count) : x(count), y(count)
    {
        for (int i = 0; i < count; ++i) {
            x[i] = 10.0 * i / count;
            y[i] = 5.0 * exp(-0.5 * x[i]) * (1.0 + 0.01 * sin(i * 0.7));
        }
    }
};

void BM_PlainFit(benchmark::State& state)
{
    Decay data((int)state.range(0));
    int modelId = (int)state.range(1);
    for (auto _ : state) {
        FitResult fit = fitPoints(data.x.data(), data.y.data(), (int)data.x.size(), modelId, 2.0);
        benchmark::DoNotOptimize(fit);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FitWithUncertainty(benchmark::State& state)
{
    Decay data((int)state.range(0));
    int modelId = (int)state.range(1);
    int count = (int)data.x.size();
    for (auto _ : state) {
        LineFit line;
        FitResult fit = fitPointsWithLine(data.x.data(), data.y.data(), count, modelId, 2.0, &line);
        FitUncertainty u = linearisedUncertainty(modelId, count, &fit, &line);
        benchmark::DoNotOptimize(u);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The whole refinement (start, iterations, errors); the label holds A and B to compare with SciPy.
void BM_Refine(benchmark::State& state)
{
    Decay data((int)state.range(0));
    int modelId = (int)state.range(1);
    RefineSolver solver = state.range(2) == 0 ? REFINE_STREAMING : REFINE_DENSE;
    RefineResult r = {};
    size_t heapBefore = g_heapInUse;
    g_heapPeak = heapBefore;
    for (auto _ : state) {
        r = refineFitWith(data.x.data(), data.y.data(), RefineWeights{NULL, false}, (int)data.x.size(), modelId, 2.0,
                          REFINE_MAX_ITERATIONS, solver);
        benchmark::DoNotOptimize(r);
    }
    state.counters["lm_iterations"] = r.iterations;
    state.counters["peak_heap_MB"] = (double)(g_heapPeak - heapBefore) / 1e6;
    state.counters["points_MB"] = (double)(data.x.size() * 2 * sizeof(double)) / 1e6;
    char label[96];
    snprintf(label, sizeof label, "%s A=%.17g B=%.17g", solver == REFINE_STREAMING ? "streaming" : "dense", r.fit.a,
             r.fit.b);
    state.SetLabel(label);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What kelvora-fit --refine does: the plain fit with its uncertainty, then the refinement started from
// that line. Its time less BM_FitWithUncertainty's is the refinement's own; the label as BM_Refine's.
void BM_PlainAndRefine(benchmark::State& state)
{
    Decay data((int)state.range(0));
    int modelId = (int)state.range(1);
    int count = (int)data.x.size();
    RefineResult r = {};
    for (auto _ : state) {
        LineFit line;
        FitResult fit = fitPointsWithLine(data.x.data(), data.y.data(), count, modelId, 2.0, &line);
        FitUncertainty u = linearisedUncertainty(modelId, count, &fit, &line);
        RefineStart start;
        bool haveStart = lineFitAsStart(data.x.data(), data.y.data(), count, modelId, fit, line, u.r2Line, &start);
        r = refineFitFrom(data.x.data(), data.y.data(), RefineWeights{NULL, false}, count, modelId, 2.0,
                          REFINE_MAX_ITERATIONS, REFINE_STREAMING, haveStart ? &start : NULL);
        benchmark::DoNotOptimize(r);
    }
    char label[96];
    snprintf(label, sizeof label, "plain+refine A=%.17g B=%.17g", r.fit.a, r.fit.b);
    state.SetLabel(label);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// --all without and with the refinement: every model's linearised fit and uncertainty, then LM.
void BM_AllModels(benchmark::State& state)
{
    Decay data((int)state.range(0));
    bool refine = state.range(1) != 0;
    int count = (int)data.x.size();
    for (auto _ : state) {
        for (int k = 0; k < MODEL_COUNT; ++k) {
            LineFit line;
            FitResult fit = fitPointsWithLine(data.x.data(), data.y.data(), count, k, 2.0, &line);
            FitUncertainty u = linearisedUncertainty(k, count, &fit, &line);
            benchmark::DoNotOptimize(u);
            if (refine) {
                RefineResult r = refineFit(data.x.data(), data.y.data(), count, k, 2.0, REFINE_MAX_ITERATIONS);
                benchmark::DoNotOptimize(r);
            }
        }
    }
}

} // namespace

// Arguments: points, model (0 straight line, 5 exponential).
BENCHMARK(BM_PlainFit)->Args({1000000, 0})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitWithUncertainty)->Args({1000000, 0})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
// Arguments: points, model, solver (0 streaming, 1 dense).
BENCHMARK(BM_Refine)->Args({1000000, 5, 0})->Args({1000000, 5, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAndRefine)->Args({1000000, 5})->Unit(benchmark::kMillisecond);
// Arguments: points, refine (0 or 1).
BENCHMARK(BM_AllModels)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
