// SPDX-License-Identifier: GPL-3.0-or-later
// The results window painted end to end on the headless device (fit done once before), beside the plain
// evaluation of the model at every point, the floor of any plot that shows the fitted values: the
// first paint after a Calculate, which finds them, and the paints after it, which keep them.
#include <benchmark/benchmark.h>
#include <kelvora_device.h>

#include <algorithm>
#include <math.h>
#include <random>

#include "app_state.h"
#include "fit.h"
#include "kelvora.h"
#include "models.h"
#include "results_window.h"

namespace device = kelvora::device;

// Measurement-like data, as in the points-file benchmark: X on a 0.001 grid, Y a wave with 17 digits.
// Shuffled, the same points come in random order and the polyline runs back and forth. The wave dips
// below zero, where Y=A*EXP(B*X) has no fit: its plot shows the markers alone, each model evaluation a
// NaN. The straight line (model 0) fits and draws its polyline too.
static void fillPoints(int count, bool shuffled, int modelId = 5)
{
    g_app.points.pointCount = count;
    g_app.points.currentIndex = 0;
    for (int i = 0; i < count; ++i) {
        g_app.points.x[i] = i * 0.001;
        g_app.points.y[i] = 100.0 * sin(i * 0.001) + 50.0;
    }
    if (shuffled) {
        std::mt19937 random(5);
        for (int i = count - 1; i > 0; --i) {
            int j = static_cast<int>(random() % static_cast<unsigned>(i + 1));
            std::swap(g_app.points.x[i], g_app.points.x[j]);
            std::swap(g_app.points.y[i], g_app.points.y[j]);
        }
    }
    g_app.modelId = modelId; // 5, Y=A*EXP(B*X): an evaluation that costs something
    fitModel();
}

static void startProgram()
{
    resetAppState();
    device::start_headless();
    initInstance(GetModuleHandleW(nullptr), SW_SHOW);
    device::pump();
}

// A paint of the open results window, as a rotation or an uncovered window asks for: the fitted values
// are those the first paint found. With afterEdit, every paint follows an edit of the points, as the
// first paint after a Calculate does: the fitted values are found anew.
static void paintResults(benchmark::State& state, bool shuffled, int modelId = 5, bool afterEdit = false)
{
    startProgram();
    fillPoints(static_cast<int>(state.range(0)), shuffled, modelId);
    openResultsWindow();
    device::pump();
    HWND results = device::top_level_windows().front().hwnd;
    for (auto _ : state) {
        if (afterEdit) g_app.pointEdits++;
        InvalidateRect(results, nullptr, FALSE);
        UpdateWindow(results);
    }
    device::stop();
}

static void BM_PaintResults(benchmark::State& state) { paintResults(state, false); }
static void BM_PaintResultsShuffled(benchmark::State& state) { paintResults(state, true); }
static void BM_PaintResultsLine(benchmark::State& state) { paintResults(state, false, 0); }
static void BM_PaintResultsLineShuffled(benchmark::State& state) { paintResults(state, true, 0); }
static void BM_FirstPaintResults(benchmark::State& state) { paintResults(state, false, 5, true); }
static void BM_FirstPaintResultsLine(benchmark::State& state) { paintResults(state, false, 0, true); }
static void BM_FirstPaintResultsLineShuffled(benchmark::State& state) { paintResults(state, true, 0, true); }

// What Calculate does once the results window is open: the straight line's fit, then its paint (the
// page's figure is measured on 100,000 points).
static void BM_CalculateAndPaint(benchmark::State& state)
{
    startProgram();
    fillPoints(static_cast<int>(state.range(0)), false, 0);
    openResultsWindow();
    device::pump();
    HWND results = device::top_level_windows().front().hwnd;
    for (auto _ : state) {
        fitModel();
        InvalidateRect(results, nullptr, FALSE);
        UpdateWindow(results);
    }
    device::stop();
}

static void BM_EvaluateModelAtEveryPoint(benchmark::State& state)
{
    fillPoints(static_cast<int>(state.range(0)), false);
    for (auto _ : state) {
        double sum = 0;
        for (int i = 0; i < g_app.points.pointCount; ++i) sum += evaluateModel(g_app.points.x[i]);
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(BM_EvaluateModelAtEveryPoint)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintResults)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintResultsShuffled)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateAndPaint)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintResultsLine)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintResultsLineShuffled)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaintResults)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaintResultsLine)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaintResultsLineShuffled)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
