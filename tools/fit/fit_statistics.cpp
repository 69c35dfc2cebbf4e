// SPDX-License-Identifier: GPL-3.0-or-later
// What a fit record gives beyond its parameters: predictions with their intervals and bands, the
// inverse of a fit, and AICc for ranking; each derived from the record alone, in this one place.
#include "fit_statistics.h"

#include <math.h>

#include <algorithm>

#include "models.h"

Prediction predictAt(int modelId, double exponentN, const FitRecord& f, double newVariance, double x)
{
    Prediction p;
    p.y = evaluateModelWith(modelId, f.fit.a, f.fit.b, exponentN, x);
    double dA, dB;
    modelGradient(modelId, f.fit.a, f.fit.b, exponentN, x, &dA, &dB);
    // A fixed parameter has no variance: its term is 0 even where its derivative is not finite.
    double varCurve = (f.varA != 0.0 ? dA * dA * f.varA : 0.0) + (f.varB != 0.0 ? dB * dB * f.varB : 0.0) +
                      (f.uncertainty.covAB != 0.0 ? 2.0 * dA * dB * f.uncertainty.covAB : 0.0);
    double t = studentT975(f.dof);
    double ci = t * sqrt(varCurve), pi = t * sqrt(varCurve + newVariance);
    p.ci[0] = p.y - ci;
    p.ci[1] = p.y + ci;
    p.pi[0] = p.y - pi;
    p.pi[1] = p.y + pi;
    return p;
}

double nearestSigmaSquared(const SigmaByX* sorted, int count, double x)
{
    if (count <= 0) return NAN;
    int low = 0, high = count - 1;
    while (high - low > 1) {
        int mid = low + (high - low) / 2;
        if (sorted[mid].x <= x) {
            low = mid;
        } else {
            high = mid;
        }
    }
    return fabs(x - sorted[low].x) <= fabs(sorted[high].x - x) ? sorted[low].sigmaSquared : sorted[high].sigmaSquared;
}

double newMeasurementVariance(const FitRecord& f, Weighting weighting, bool absolute, double sigmaSquared, double x,
                              double fittedY)
{
    // Residual variance per unit weight: chi2 / dof (RSS / dof without weights), 1 for absolute sigma.
    double perUnit = weighting == WEIGHTING_NONE ? f.fit.residualSum / (double)f.dof
                     : absolute                   ? 1.0
                                                  : f.chi2 / (double)f.dof;
    if (f.dof < 1) return NAN;
    switch (weighting) {
    case WEIGHTING_NONE: return perUnit;
    case WEIGHTING_SIGMA:
    case WEIGHTING_SIGMA_XY: return perUnit * sigmaSquared;
    default: return perUnit / weightOf(weighting, x, fittedY, 1.0);
    }
}

bool inverseAt(int modelId, double exponentN, const FitRecord& f, Weighting weighting, bool absolute,
               const SigmaByX* sigmas, int sigmaCount, double low, double high, double y, InverseResult* result)
{
    // The model on a fine grid over the span: monotone (no change of direction, finite everywhere) and
    // reaching y; then bisection to the last bit.
    const int steps = 4096;
    auto g = [&](double x) { return evaluateModelWith(modelId, f.fit.a, f.fit.b, exponentN, x) - y; };
    if (!(low < high)) return false;
    double previous = g(low);
    int direction = 0;
    double bracketLow = NAN, bracketHigh = NAN;
    for (int k = 1; k <= steps; ++k) {
        double x0 = low + (high - low) * (double)(k - 1) / steps, x1 = low + (high - low) * (double)k / steps;
        double value = g(x1);
        if (!isfinite(value) || !isfinite(previous)) return false;
        int d = value > previous ? 1 : value < previous ? -1 : 0;
        if (d != 0 && direction != 0 && d != direction) return false;
        if (d != 0) direction = d;
        if ((previous <= 0.0 && value >= 0.0) || (previous >= 0.0 && value <= 0.0)) {
            if (isnan(bracketLow)) {
                bracketLow = x0;
                bracketHigh = x1;
            }
        }
        previous = value;
    }
    if (direction == 0 || isnan(bracketLow)) return false;
    double lo = bracketLow, hi = bracketHigh, gLo = g(lo);
    for (int k = 0; k < 200 && lo < hi; ++k) {
        double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi) break;
        double gMid = g(mid);
        if ((gMid <= 0.0) == (gLo <= 0.0)) {
            lo = mid;
            gLo = gMid;
        } else {
            hi = mid;
        }
    }
    double x = fabs(g(lo)) <= fabs(g(hi)) ? lo : hi;
    // dY/dX by a central difference over a small share of the span.
    double h = (high - low) * 1e-6;
    double slope = (g(x + h) - g(x - h)) / (2.0 * h);
    Prediction p = predictAt(modelId, exponentN, f, 0.0, x);
    double t = studentT975(f.dof);
    double halfCurve = (p.ci[1] - p.y) / t;
    double variance = halfCurve * halfCurve + newMeasurementVariance(f, weighting, absolute, nearestSigmaSquared(sigmas, sigmaCount, x), x, y);
    double half = t * sqrt(variance) / fabs(slope);
    result->x = x;
    result->interval[0] = x - half;
    result->interval[1] = x + half;
    return true;
}

double leastSquaresAicc(double rss, int count, int fittedParameters)
{
    int k = fittedParameters + 1;
    if (count <= k + 1 || !(rss > 0.0)) return NAN;
    double n = (double)count;
    return n * log(rss / n) + 2.0 * k + 2.0 * k * (k + 1) / (n - k - 1);
}

double recordAicc(const FitProblem& problem, const FitRecord& record)
{
    double sum = problem.w == nullptr ? record.fit.residualSum : record.chi2;
    int fitted = fittedParameters(problem);
    return sum == 0.0 && record.count > fitted + 2 ? -INFINITY : leastSquaresAicc(sum, record.count, fitted);
}

void makeFitView(const FitProblem* problem, const FitRecord* record, bool predictionBand, bool withSigmas,
                 FitView* view)
{
    view->problem = problem;
    view->record = record;
    view->predictionBand = predictionBand;
    view->sigmas.clear();
    bool bySigma = problem->weighting == WEIGHTING_SIGMA || problem->weighting == WEIGHTING_SIGMA_XY;
    if (!bySigma || !withSigmas) return;
    view->sigmas.resize(problem->count);
    for (int i = 0; i < problem->count; ++i) view->sigmas[i] = SigmaByX{problem->x[i], 1.0 / problem->w[i]};
    std::sort(view->sigmas.begin(), view->sigmas.end(),
              [](const SigmaByX& left, const SigmaByX& right) { return left.x < right.x; });
}

Prediction viewPrediction(const FitView& view, double x)
{
    const FitRecord& f = *view.record;
    const FitProblem& p = *view.problem;
    double fitted = evaluateModelWith(f.modelId, f.fit.a, f.fit.b, f.exponentN, x);
    double sigmaSquared = nearestSigmaSquared(view.sigmas.data(), (int)view.sigmas.size(), x);
    double variance = newMeasurementVariance(f, p.weighting, p.absolute, sigmaSquared, x, fitted);
    return predictAt(f.modelId, f.exponentN, f, variance, x);
}

bool viewInverse(const FitView& view, double y, InverseResult* result)
{
    const FitProblem& p = *view.problem;
    // The span of the data's X, taken for each inverse: a pass over the points only when one is asked.
    double low = INFINITY, high = -INFINITY;
    for (int i = 0; i < p.count; ++i) {
        low = fmin(low, p.x[i]);
        high = fmax(high, p.x[i]);
    }
    return inverseAt(view.record->modelId, view.record->exponentN, *view.record, p.weighting, p.absolute,
                     view.sigmas.data(), (int)view.sigmas.size(), low, high, y, result);
}

bool viewBand(double x, double* low, double* high, const void* context)
{
    const FitView& view = *static_cast<const FitView*>(context);
    Prediction p = viewPrediction(view, x);
    *low = view.predictionBand ? p.pi[0] : p.ci[0];
    *high = view.predictionBand ? p.pi[1] : p.ci[1];
    return isfinite(*low) && isfinite(*high);
}
