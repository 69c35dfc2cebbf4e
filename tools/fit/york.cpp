// SPDX-License-Identifier: GPL-3.0-or-later
// York's straight line through points with errors in X and Y. Each point weighs
// W = 1 / (sigmaY^2 + B^2 sigmaX^2) at the current slope; the slope is recomputed from the weighted
// deviations until it stops moving. The sums are taken about the weighted means, so data far from the
// origin keep their digits.
#include "xy_errors.h"

#include <float.h>
#include <math.h>
#include <stdio.h>

#define YORK_MAX_ITERATIONS 500

bool xyErrorsUsable(const XYPoints& points, int* badPoint)
{
    for (int i = 0; i < points.count; ++i) {
        double sx = points.sigmaX[i], sy = points.sigmaY[i];
        if (!(sx > 0.0) || !(sy > 0.0) || !isfinite(sx) || !isfinite(sy)) {
            *badPoint = i;
            return false;
        }
    }
    return true;
}

namespace {

XYFit failedFit(const char* reason)
{
    XYFit fit = {};
    fit.method = "york";
    fit.a = fit.b = fit.seA = fit.seB = fit.covAB = fit.seAScaled = fit.seBScaled = fit.chi2 = fit.mswd = NAN;
    snprintf(fit.reason, sizeof fit.reason, "%s", reason);
    return fit;
}

// The ordinary least-squares slope of Y on X, York's starting point.
double ordinarySlope(const XYPoints& p)
{
    double meanX = 0.0, meanY = 0.0;
    for (int i = 0; i < p.count; ++i) {
        meanX += p.x[i];
        meanY += p.y[i];
    }
    meanX /= p.count;
    meanY /= p.count;
    double sxx = 0.0, sxy = 0.0;
    for (int i = 0; i < p.count; ++i) {
        sxx += (p.x[i] - meanX) * (p.x[i] - meanX);
        sxy += (p.x[i] - meanX) * (p.y[i] - meanY);
    }
    return sxy / sxx;
}

double weightAt(const XYPoints& p, int i, double b)
{
    double sx = p.sigmaX[i], sy = p.sigmaY[i];
    return 1.0 / (sy * sy + b * b * sx * sx);
}

struct WeightedMeans {
    double sumW;
    double x;
    double y;
};

WeightedMeans weightedMeans(const XYPoints& p, double b)
{
    WeightedMeans m = {0.0, 0.0, 0.0};
    for (int i = 0; i < p.count; ++i) {
        double w = weightAt(p, i, b);
        m.sumW += w;
        m.x += w * p.x[i];
        m.y += w * p.y[i];
    }
    m.x /= m.sumW;
    m.y /= m.sumW;
    return m;
}

// beta_i = W_i (U_i sigmaY_i^2 + B V_i sigmaX_i^2), U and V the deviations from the weighted means:
// Xbar + beta_i is point i's adjusted X, the X of its nearest point on the line in the sigma metric.
double betaAt(const XYPoints& p, int i, double b, double w, const WeightedMeans& m)
{
    double sx2 = p.sigmaX[i] * p.sigmaX[i], sy2 = p.sigmaY[i] * p.sigmaY[i];
    return w * ((p.x[i] - m.x) * sy2 + b * (p.y[i] - m.y) * sx2);
}

double nextSlope(const XYPoints& p, double b)
{
    WeightedMeans m = weightedMeans(p, b);
    double top = 0.0, bottom = 0.0;
    for (int i = 0; i < p.count; ++i) {
        double w = weightAt(p, i, b);
        double beta = betaAt(p, i, b, w, m);
        top += w * beta * (p.y[i] - m.y);
        bottom += w * beta * (p.x[i] - m.x);
    }
    return top / bottom;
}

// Errors from the weights alone, about the mean of the adjusted X; chi2 of the points from the line.
void measureYork(const XYPoints& p, XYFit* fit)
{
    double b = fit->b;
    WeightedMeans m = weightedMeans(p, b);
    double meanAdjusted = 0.0;
    for (int i = 0; i < p.count; ++i) {
        double w = weightAt(p, i, b);
        meanAdjusted += w * (m.x + betaAt(p, i, b, w, m));
    }
    meanAdjusted /= m.sumW;
    double spread = 0.0, chi2 = 0.0;
    for (int i = 0; i < p.count; ++i) {
        double w = weightAt(p, i, b);
        double u = m.x + betaAt(p, i, b, w, m) - meanAdjusted;
        double r = p.y[i] - b * p.x[i] - fit->a;
        spread += w * u * u;
        chi2 += w * r * r;
    }
    double varB = 1.0 / spread;
    fit->seB = sqrt(varB);
    fit->seA = sqrt(1.0 / m.sumW + meanAdjusted * meanAdjusted * varB);
    fit->covAB = -meanAdjusted * varB;
    fit->chi2 = chi2;
    fit->dof = p.count - 2;
    fit->mswd = fit->dof > 0 ? chi2 / fit->dof : NAN;
    fit->seAScaled = fit->seA * sqrt(fit->mswd);
    fit->seBScaled = fit->seB * sqrt(fit->mswd);
}

} // namespace

XYFit yorkLine(const XYPoints& points)
{
    int bad = 0;
    if (points.count < 2) return failedFit("a line needs two points");
    if (!xyErrorsUsable(points, &bad)) return failedFit("every sigma must be a positive number");
    double b = ordinarySlope(points);
    if (!isfinite(b)) return failedFit("all X are equal");
    XYFit fit = failedFit("");
    for (fit.iterations = 1; fit.iterations <= YORK_MAX_ITERATIONS; ++fit.iterations) {
        double next = nextSlope(points, b);
        if (!isfinite(next)) return failedFit("the slope has no finite value");
        bool settled = fabs(next - b) <= 4.0 * DBL_EPSILON * fabs(next);
        b = next;
        if (settled) break;
    }
    if (fit.iterations > YORK_MAX_ITERATIONS) return failedFit("the slope did not settle");
    WeightedMeans m = weightedMeans(points, b);
    fit.ok = true;
    fit.method = "york";
    fit.b = b;
    fit.a = m.y - b * m.x;
    measureYork(points, &fit);
    return fit;
}
