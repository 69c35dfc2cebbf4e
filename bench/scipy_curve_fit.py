#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times SciPy's curve_fit on the points bench_fit_stats refines (A*exp(B*X), 1,000,000 points) and
runs the refinement benchmarks in the same run, so the ratio compares like with like.

Usage: bench/scipy_curve_fit.py [BUILD_DIR]   (default build/release; needs bench_fit_stats built)
Prints SciPy's median CPU time and A, B; the plain fit (with its uncertainty) and the plain fit followed by
the refinement started from its line, as kelvora-fit --refine runs them, with the refinement's own time
(the difference) over SciPy's and the whole over SciPy's; then each solver's refinement on its own
(finding its own start) with its ratio, how far its A and B lie from SciPy's, and the heap it held at its
peak beside the points. Without SciPy it says so and exits 0: the test suite does not need it."""
import json
import os
import re
import statistics
import subprocess
import sys
import time

POINTS = 1_000_000
REPEATS = 5


def scipy_times():
    import numpy as np
    from scipy.optimize import curve_fit

    i = np.arange(POINTS, dtype=float)
    x = 10.0 * i / POINTS
    y = 5.0 * np.exp(-0.5 * x) * (1.0 + 0.01 * np.sin(i * 0.7))

    def model(x, a, b):
        return a * np.exp(b * x)

    # The start the refinement takes: the straight line through (X, log Y).
    b0, log_a0 = np.polyfit(x, np.log(y), 1)
    # CPU time, as the benchmarks' cpu_time: the machine may be shared.
    times = []
    for _ in range(REPEATS):
        begin = time.process_time()
        fitted, _ = curve_fit(model, x, y, p0=[np.exp(log_a0), b0], xtol=1e-12, ftol=1e-12, gtol=1e-12)
        times.append(time.process_time() - begin)
    return statistics.median(times), fitted


def benchmark_medians(build):
    """Median CPU seconds of each benchmark run, by name, with its run (label, counters)."""
    program = os.path.join(build, "bench", "bench_fit_stats")
    pattern = "BM_FitWithUncertainty/1000000/5$|BM_Refine/|BM_PlainAndRefine/"
    out = subprocess.run([program, f"--benchmark_filter={pattern}", f"--benchmark_repetitions={REPEATS}",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    medians = {}
    for run in json.loads(out)["benchmarks"]:
        if run.get("aggregate_name") == "median":
            medians[run["run_name"]] = (run["cpu_time"] / 1000.0, run)  # milliseconds
    return medians


def label_parameters(run):
    match = re.search(r"(\S+) A=(\S+) B=(\S+)", run.get("label", ""))
    return match.group(1), float(match.group(2)), float(match.group(3))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    try:
        scipy_seconds, (a, b) = scipy_times()
    except ImportError:
        print("SciPy is not installed (Debian: python3-scipy): nothing to compare with")
        return 0
    print(f"scipy curve_fit: {scipy_seconds * 1000:.1f} ms  A={a:.17g} B={b:.17g}")
    medians = benchmark_medians(build)

    def distance(run):
        _, ra, rb = label_parameters(run)
        return f"|dA/A|={abs(ra - a) / abs(a):.2g} |dB/B|={abs(rb - b) / abs(b):.2g}"

    plain, _ = medians["BM_FitWithUncertainty/1000000/5"]
    total, total_run = medians["BM_PlainAndRefine/1000000/5"]
    print(f"plain fit: {plain * 1000:.1f} ms   plain + refine: {total * 1000:.1f} ms  {distance(total_run)}")
    print(f"refinement over the plain fit: {(total - plain) * 1000:.1f} ms = {(total - plain) / scipy_seconds:.3f} x scipy"
          f"   plain + refine: {total / scipy_seconds:.3f} x scipy")
    for name, (seconds, run) in medians.items():
        if not name.startswith("BM_Refine/"):
            continue
        solver, _, _ = label_parameters(run)
        print(f"{solver:>9} refine alone: {seconds * 1000:.1f} ms = {seconds / scipy_seconds:.3f} x scipy"
              f"  {distance(run)}"
              f"  peak heap {run['peak_heap_MB']:.3f} MB beside {run['points_MB']:.0f} MB of points")
    return 0


if __name__ == "__main__":
    sys.exit(main())
