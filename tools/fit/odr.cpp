// SPDX-License-Identifier: GPL-3.0-or-later
// Orthogonal distance regression. The residuals of point i are e_i = (f(X_i + d_i) - Y_i) / sigmaY_i
// and d_i / sigmaX_i; a Levenberg-Marquardt step on (A, B, d_1 .. d_n) solves normal equations whose
// d-block is diagonal, so each d is eliminated by one division and A, B come from a 2x2 system (the
// Schur complement). The per-point figures of the last linearisation are kept (a few arrays of n), so a
// rejected step is retried with a larger damping by one pass over them, without evaluating the model.
#include "xy_errors.h"

#include <float.h>
#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "fit.h"
#include "models.h"
#include "refine.h"

namespace {

#define ODR_BLOCK 512
#define ODR_DAMPING_START 1e-6
#define ODR_DAMPING_LIMIT 1e12
#define ODR_DAMPING_LEAST 1e-12
#define ODR_LAST_DIGITS 1e-8

// What a pass keeps of each point at (A, B, d): the residual on Y, dY/dA, dY/dB and dY/dX there.
struct Linearisation {
    std::vector<double> delta, residual, dA, dB, dX;
    double sum = 0.0; // the objective
    explicit Linearisation(int count) : delta(count), residual(count), dA(count), dB(count), dX(count) {}
};

struct Problem {
    const XYPoints& p;
    const ModelRow* row;
    double exponentN;
};

// The move of point i in a step: its own row of the normal equations once A and B have theirs.
double steppedDelta(const XYPoints& p, const Linearisation& from, double lambda, const double step[2], int i)
{
    double wy = 1.0 / (p.sigmaY[i] * p.sigmaY[i]), wx = 1.0 / (p.sigmaX[i] * p.sigmaX[i]);
    double fx = from.dX[i];
    double dd = (fx * fx * wy + wx) * (1.0 + lambda);
    double rhsD = -(fx * wy * from.residual[i] + wx * from.delta[i]);
    double coupling = fx * wy * (from.dA[i] * step[0] + from.dB[i] * step[1]);
    return from.delta[i] + (rhsD - coupling) / dd;
}

// A step: the moves of the step taken from `from` (NULL: lin's moves as they are).
struct Step {
    const Linearisation* from;
    double lambda;
    double ab[2];
};

// Evaluates the model at X + d for every point (the moves of step first), filling lin; false when a
// value or derivative is not finite (the step left the model's domain).
bool linearise(const Problem& pr, double a, double b, const Step& step, Linearisation* lin)
{
    double shifted[ODR_BLOCK];
    const XYPoints& p = pr.p;
    double sum = 0.0;
    for (int first = 0; first < p.count; first += ODR_BLOCK) {
        int size = p.count - first < ODR_BLOCK ? p.count - first : ODR_BLOCK;
        for (int k = 0; k < size; ++k) {
            int i = first + k;
            if (step.from != NULL) lin->delta[i] = steppedDelta(p, *step.from, step.lambda, step.ab, i);
            shifted[k] = p.x[i] + lin->delta[i];
        }
        double* f = &lin->residual[first];
        pr.row->valuesAndGradients(a, b, pr.exponentN, shifted, size, f, &lin->dA[first], &lin->dB[first]);
        for (int k = 0; k < size; ++k) {
            int i = first + k;
            double dX = pr.row->slopeInX(a, b, pr.exponentN, shifted[k]);
            double r = (f[k] - p.y[i]) / p.sigmaY[i], d = lin->delta[i] / p.sigmaX[i];
            if (!isfinite(r) || !isfinite(dX) || !isfinite(lin->dA[i]) || !isfinite(lin->dB[i])) return false;
            lin->dX[i] = dX;
            f[k] = r * p.sigmaY[i];
            sum += r * r + d * d;
        }
    }
    lin->sum = sum;
    return isfinite(sum);
}

// The eliminated normal equations of A and B with damping lambda on every diagonal (Marquardt's
// scaling: the diagonal times 1 + lambda): m is the 2x2 matrix, g the right-hand side.
struct Reduced {
    double m[3]; // AA, AB, BB
    double g[2];
};

Reduced reducedSystem(const Problem& pr, const Linearisation& lin, double lambda)
{
    Reduced s = {{0.0, 0.0, 0.0}, {0.0, 0.0}};
    double aa = 0.0, bb = 0.0;
    const XYPoints& p = pr.p;
    for (int i = 0; i < p.count; ++i) {
        double wy = 1.0 / (p.sigmaY[i] * p.sigmaY[i]), wx = 1.0 / (p.sigmaX[i] * p.sigmaX[i]);
        double gA = lin.dA[i], gB = lin.dB[i], fx = lin.dX[i], r = lin.residual[i];
        double dd = (fx * fx * wy + wx) * (1.0 + lambda);
        double rhsD = -(fx * wy * r + wx * lin.delta[i]);
        double cA = gA * fx * wy, cB = gB * fx * wy;
        aa += gA * gA * wy;
        bb += gB * gB * wy;
        s.m[0] -= cA * cA / dd;
        s.m[1] += gA * gB * wy - cA * cB / dd;
        s.m[2] -= cB * cB / dd;
        s.g[0] += -gA * wy * r - cA * rhsD / dd;
        s.g[1] += -gB * wy * r - cB * rhsD / dd;
    }
    s.m[0] += aa * (1.0 + lambda);
    s.m[2] += bb * (1.0 + lambda);
    return s;
}

bool solve2(const double m[3], const double g[2], double step[2])
{
    double det = m[0] * m[2] - m[1] * m[1];
    if (!(det > 0.0) || !isfinite(det)) return false;
    step[0] = (m[2] * g[0] - m[1] * g[1]) / det;
    step[1] = (m[0] * g[1] - m[1] * g[0]) / det;
    return isfinite(step[0]) && isfinite(step[1]);
}

XYFit failedOdr(const char* reason, int iterations)
{
    XYFit fit = {};
    fit.method = "odr";
    fit.a = fit.b = fit.seA = fit.seB = fit.covAB = fit.seAScaled = fit.seBScaled = fit.chi2 = fit.mswd = NAN;
    fit.iterations = iterations;
    snprintf(fit.reason, sizeof fit.reason, "%s", reason);
    return fit;
}

// The errors from the undamped eliminated system at the solution.
bool measureOdr(const Problem& pr, const Linearisation& lin, XYFit* fit)
{
    Reduced s = reducedSystem(pr, lin, 0.0);
    double det = s.m[0] * s.m[2] - s.m[1] * s.m[1];
    if (!(det > 0.0) || !isfinite(det)) return false;
    fit->seA = sqrt(s.m[2] / det);
    fit->seB = sqrt(s.m[0] / det);
    fit->covAB = -s.m[1] / det;
    fit->chi2 = lin.sum;
    fit->dof = pr.p.count - 2;
    fit->mswd = fit->dof > 0 ? lin.sum / fit->dof : NAN;
    fit->seAScaled = fit->seA * sqrt(fit->mswd);
    fit->seBScaled = fit->seB * sqrt(fit->mswd);
    return true;
}

// A step this small changes the sum by less than its rounding over many points: when the sum does not
// fall it is taken all the same and ends the iteration, as a rejection on rounding alone would only raise
// the damping pass after pass.
bool lastDigits(const double step[2], double a, double b)
{
    return fabs(step[0]) <= ODR_LAST_DIGITS * (fabs(a) + DBL_MIN) && fabs(step[1]) <= ODR_LAST_DIGITS * (fabs(b) + DBL_MIN);
}

} // namespace

XYFit odrFit(const XYPoints& points, int modelId, double exponentN, double startA, double startB, int maxIterations,
             double* delta)
{
    const ModelRow* row = modelRow(modelId);
    int bad = 0;
    if (row == NULL) return failedOdr("no such model", 0);
    if (points.count < 2) return failedOdr("a fit needs two points", 0);
    if (!xyErrorsUsable(points, &bad)) return failedOdr("every sigma must be a positive number", 0);
    Problem pr = {points, row, exponentN};
    Linearisation current(points.count), trial(points.count);
    double a = startA, b = startB, lambda = ODR_DAMPING_START;
    if (!linearise(pr, a, b, Step{NULL, 0.0, {0.0, 0.0}}, &current)) {
        return failedOdr("the model has no value at a point for the start", 0);
    }
    int iteration = 0;
    bool done = false;
    while (!done && iteration < maxIterations) {
        ++iteration;
        double step[2];
        Reduced s = reducedSystem(pr, current, lambda);
        if (!solve2(s.m, s.g, step)) return failedOdr("A and B are not determined apart", iteration);
        bool finite = linearise(pr, a + step[0], b + step[1], Step{&current, lambda, {step[0], step[1]}}, &trial);
        bool lower = finite && trial.sum <= current.sum;
        done = finite && !lower && lastDigits(step, a, b);
        if (lower || done) {
            a += step[0];
            b += step[1];
            std::swap(current, trial);
            lambda = lambda * 0.1 > ODR_DAMPING_LEAST ? lambda * 0.1 : ODR_DAMPING_LEAST;
        } else {
            lambda *= 10.0;
            done = lambda > ODR_DAMPING_LIMIT; // no step lowers the sum: a minimum to rounding
        }
    }
    if (!done) return failedOdr("the iteration did not converge", iteration);
    XYFit fit = failedOdr("", iteration);
    fit.a = a;
    fit.b = b;
    if (!measureOdr(pr, current, &fit)) return failedOdr("A and B are not determined apart", iteration);
    fit.ok = true;
    fit.method = "odr";
    if (delta != NULL) std::copy(current.delta.begin(), current.delta.end(), delta);
    return fit;
}

XYFit fitWithErrorsInBoth(const XYPoints& points, int modelId, double exponentN)
{
    const ModelRow* row = modelRow(modelId);
    // The table's first row is the straight line Y = A + B*X, which York solved exactly.
    if (row != NULL && row == &MODEL_TABLE[0]) return yorkLine(points);
    std::vector<double> w(points.count);
    for (int i = 0; i < points.count; ++i) w[i] = 1.0 / (points.sigmaY[i] * points.sigmaY[i]);
    RefineResult onY = refineWeightedFit(points.x, points.y, RefineWeights{w.data(), true}, points.count, modelId,
                                         exponentN, REFINE_MAX_ITERATIONS);
    double a = onY.fit.a, b = onY.fit.b;
    if (onY.status != REFINE_CONVERGED) {
        FitResult line = fitPoints(points.x, points.y, points.count, modelId, exponentN);
        a = line.a;
        b = line.b;
    }
    XYFit fit = odrFit(points, modelId, exponentN, a, b, ODR_MAX_ITERATIONS, NULL);
    fit.method = "odr";
    return fit;
}
