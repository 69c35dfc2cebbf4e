#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times SciPy's odr (ODRPACK) on the points bench_fit_errors fits by orthogonal distance regression
(A*exp(B*X) and A+B*X, 1,000,000 points with errors in X and Y) and runs those benchmarks in the same
run, so the ratios compare like with like.

Usage: bench/scipy_odr.py [BUILD_DIR]   (default build/release; needs bench_fit_errors built)
Prints SciPy's median CPU time with A and B for each model, then the regression (from the Y-only fit)
and York's line with their time over SciPy's and how far their A and B lie from SciPy's, and the
Y-only refinement they are measured against. Without SciPy it says so and exits 0: the test suite
does not need it."""
import json
import os
import re
import statistics
import subprocess
import sys
import time

POINTS = 1_000_000
REPEATS = 3


def points(model):
    """The points of bench_fit_errors' ErrorsData."""
    import numpy as np
    i = np.arange(POINTS, dtype=float)
    truth = 10.0 * i / POINTS
    x = truth + 0.01 * np.sin(i * 1.3)
    clean = 2.0 - 0.3 * truth if model == 0 else 5.0 * np.exp(-0.5 * truth)
    sy = 0.01 * np.abs(clean) + 0.001
    return x, clean + sy * np.cos(i * 0.7), np.full(POINTS, 0.01), sy


def scipy_times(model):
    import numpy as np
    from scipy import odr

    x, y, sx, sy = points(model)
    if model == 0:
        m = odr.Model(lambda p, x: p[0] + p[1] * x, fjacb=lambda p, x: np.vstack([np.ones_like(x), x]),
                      fjacd=lambda p, x: p[1] * np.ones_like(x))
        start = [2.0, -0.3]
    else:
        m = odr.Model(lambda p, x: p[0] * np.exp(p[1] * x),
                      fjacb=lambda p, x: np.vstack([np.exp(p[1] * x), p[0] * x * np.exp(p[1] * x)]),
                      fjacd=lambda p, x: p[0] * p[1] * np.exp(p[1] * x))
        start = [5.0, -0.5]
    data = odr.RealData(x, y, sx=sx, sy=sy)
    times, out = [], None
    for _ in range(REPEATS):
        run = odr.ODR(data, m, beta0=start)
        run.set_job(deriv=2)
        begin = time.process_time()
        out = run.run()
        times.append(time.process_time() - begin)
    return statistics.median(times), out.beta


def benchmark_medians(build):
    program = os.path.join(build, "bench", "bench_fit_errors")
    out = subprocess.run([program, "--benchmark_filter=BM_RefineOnY|BM_York|BM_Odr",
                          f"--benchmark_repetitions={REPEATS}", "--benchmark_report_aggregates_only=true",
                          "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
    medians = {}
    for run in json.loads(out)["benchmarks"]:
        if run.get("aggregate_name") == "median":
            medians[run["run_name"]] = (run["cpu_time"] / 1000.0, run)  # milliseconds
    return medians


def distance(run, a, b):
    match = re.search(r"A=(\S+) B=(\S+)", run.get("label", ""))
    if not match:
        return ""
    ra, rb = float(match.group(1)), float(match.group(2))
    return f"|dA/A|={abs(ra - a) / abs(a):.2g} |dB/B|={abs(rb - b) / abs(b):.2g}"


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    try:
        scipy = {model: scipy_times(model) for model in (0, 5)}
    except ImportError:
        print("SciPy is not installed (Debian: python3-scipy): nothing to compare with")
        return 0
    medians = benchmark_medians(build)
    for model, name in ((0, "A+B*X"), (5, "A*EXP(B*X)")):
        seconds, (a, b) = scipy[model]
        print(f"{name}: scipy odr {seconds * 1000:.1f} ms  A={a:.15g} B={b:.15g}")
        refine, _ = medians[f"BM_RefineOnY/1000000/{model}"]
        for key in (f"BM_Odr/1000000/{model}", f"BM_OdrWithStart/1000000/{model}", "BM_York/1000000"):
            if key not in medians or (key.startswith("BM_York") and model != 0):
                continue
            ours, run = medians[key]
            print(f"  {key}: {ours * 1000:.1f} ms  {ours / seconds:.3f} of SciPy's, {ours / refine:.2f} x the "
                  f"Y-only refinement ({refine * 1000:.1f} ms)  {distance(run, a, b)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
