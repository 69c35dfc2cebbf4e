// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to the first frame on the headless device: the device started, the program's classes,
// main window and fields created, everything painted and the screen composed.
#include <benchmark/benchmark.h>
#include <kelvora_device.h>

#include "app_state.h"
#include "kelvora.h"

namespace device = kelvora::device;

static void BM_StartToFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        resetAppState(); // a new process starts with these values already in place
        state.ResumeTiming();
        device::start_headless();
        initInstance(GetModuleHandleW(nullptr), SW_SHOW);
        device::pump();
        benchmark::DoNotOptimize(device::pixel(0, 0)); // composes the screen
        state.PauseTiming();
        device::stop();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
