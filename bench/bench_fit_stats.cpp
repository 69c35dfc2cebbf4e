// Cost of kelvora-fit's statistics beside the plain fit in the same run: the uncertainty of a fit,
// the least-squares refinement of an exponential, and all sixteen models refined.
#include <benchmark/benchmark.h>
#include <math.h>

#include <vector>

#include "fit.h"
#include "fit_uncertainty.h"
#include "models.h"
#include "refine.h"

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

void BM_Refine(benchmark::State& state)
{
    Decay data((int)state.range(0));
    int modelId = (int)state.range(1);
    int iterations = 0;
    for (auto _ : state) {
        RefineResult r = refineFit(data.x.data(), data.y.data(), (int)data.x.size(), modelId, 2.0,
                                   REFINE_MAX_ITERATIONS);
        iterations = r.iterations;
        benchmark::DoNotOptimize(r);
    }
    state.counters["lm_iterations"] = iterations;
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
BENCHMARK(BM_Refine)->Args({1000000, 5})->Unit(benchmark::kMillisecond);
// Arguments: points, refine (0 or 1).
BENCHMARK(BM_AllModels)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
