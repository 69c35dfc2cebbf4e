// Weighted and constrained linearised fits, the one-parameter refinement, predictions and AICc. The
// weighted line is fitted about its weighted means; its covariance goes to A and B through the
// back-transformation's Jacobian, as for the unweighted fit.
#include "fit_statistics.h"

#include <math.h>

#include "models.h"

const char* weightingText(Weighting weighting, bool absoluteSigma)
{
    switch (weighting) {
    case WEIGHTING_SIGMA: return absoluteSigma ? "1/sigma^2 (sigma absolute)" : "1/sigma^2 (sigma relative)";
    case WEIGHTING_INV_Y: return "1/y";
    case WEIGHTING_INV_Y2: return "1/y^2";
    case WEIGHTING_INV_X: return "1/x";
    case WEIGHTING_INV_X2: return "1/x^2";
    default: return "none";
    }
}

static double weightOf(Weighting weighting, double x, double y, double sigma)
{
    switch (weighting) {
    case WEIGHTING_SIGMA: return 1.0 / (sigma * sigma);
    case WEIGHTING_INV_Y: return 1.0 / fabs(y);
    case WEIGHTING_INV_Y2: return 1.0 / (y * y);
    case WEIGHTING_INV_X: return 1.0 / fabs(x);
    case WEIGHTING_INV_X2: return 1.0 / (x * x);
    default: return 1.0;
    }
}

bool pointWeights(Weighting weighting, const double* x, const double* y, const double* sigma, int count,
                  double* w, int* badPoint)
{
    for (int i = 0; i < count; ++i) {
        w[i] = weightOf(weighting, x[i], y[i], sigma != nullptr ? sigma[i] : 1.0);
        bool sigmaUsable = weighting != WEIGHTING_SIGMA || sigma[i] > 0.0;
        if (!sigmaUsable || !(w[i] > 0.0) || !isfinite(w[i])) {
            *badPoint = i;
            return false;
        }
    }
    return true;
}

namespace {

double weightAt(const double* w, int i)
{
    return w != nullptr ? w[i] : 1.0;
}

// A, B, the residuals on Y and the errors of a fit whose covariance is known.
void measureOnY(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
                StatFit* f)
{
    double sumW = 0.0, sumWY = 0.0;
    for (int i = 0; i < count; ++i) {
        sumW += weightAt(w, i);
        sumWY += weightAt(w, i) * y[i];
    }
    double meanY = sumWY / sumW;
    double rss = 0.0, chi2 = 0.0, spread = 0.0;
    for (int i = 0; i < count; ++i) {
        double r = y[i] - evaluateModelWith(modelId, f->fit.a, f->fit.b, exponentN, x[i]);
        rss += r * r;
        chi2 += weightAt(w, i) * r * r;
        spread += weightAt(w, i) * (y[i] - meanY) * (y[i] - meanY);
    }
    f->fit.residualSum = rss;
    f->fit.s = count >= 2 ? sqrt(rss / (double)(count - 1)) : NAN;
    f->chi2 = w != nullptr ? chi2 : NAN;
    FitUncertainty& u = f->uncertainty;
    double t = studentT975(f->dof);
    u.seA = f->dof >= 1 ? sqrt(f->varA) : NAN;
    u.seB = f->dof >= 1 ? sqrt(f->varB) : NAN;
    u.ciA[0] = f->fit.a - t * u.seA;
    u.ciA[1] = f->fit.a + t * u.seA;
    u.ciB[0] = f->fit.b - t * u.seB;
    u.ciB[1] = f->fit.b + t * u.seB;
    u.r2 = 1.0 - chi2 / spread;
    u.sN2 = f->dof >= 1 ? sqrt(rss / (double)f->dof) : NAN;
    if (f->dof < 1) u.covAB = NAN;
}

} // namespace

double weightedR2(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
                  double a, double b)
{
    double sumW = 0.0, sumWY = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!isfinite(evaluateModelWith(modelId, a, b, exponentN, x[i]))) continue;
        sumW += weightAt(w, i);
        sumWY += weightAt(w, i) * y[i];
    }
    double meanY = sumWY / sumW, chi2 = 0.0, spread = 0.0;
    for (int i = 0; i < count; ++i) {
        double fitted = evaluateModelWith(modelId, a, b, exponentN, x[i]);
        if (!isfinite(fitted)) continue;
        chi2 += weightAt(w, i) * (y[i] - fitted) * (y[i] - fitted);
        spread += weightAt(w, i) * (y[i] - meanY) * (y[i] - meanY);
    }
    return 1.0 - chi2 / spread;
}

StatFit linearisedStatFit(const double* x, const double* y, const double* w, int count, int modelId,
                          double exponentN, FixedParameter fixed, bool absolute)
{
    StatFit f = {};
    f.count = count;
    f.converged = true;
    f.dof = count - (fixed.parameter >= 0 ? 1 : 2);
    // Weighted means of t and z, then the weighted spreads about them (two passes: no cancellation).
    double sumW = 0.0, meanT = 0.0, meanZ = 0.0;
    for (int i = 0; i < count; ++i) {
        double t, z, slope = lineSlopeInY(modelId, x[i], y[i]);
        lineariseModel(modelId, exponentN, x[i], y[i], &t, &z);
        double wz = weightAt(w, i) / (slope * slope);
        sumW += wz;
        meanT += wz * t;
        meanZ += wz * z;
    }
    meanT /= sumW;
    meanZ /= sumW;
    double stt = 0.0, stz = 0.0, szz = 0.0;
    for (int i = 0; i < count; ++i) {
        double t, z, slope = lineSlopeInY(modelId, x[i], y[i]);
        lineariseModel(modelId, exponentN, x[i], y[i], &t, &z);
        double wz = weightAt(w, i) / (slope * slope);
        stt += wz * (t - meanT) * (t - meanT);
        stz += wz * (t - meanT) * (z - meanZ);
        szz += wz * (z - meanZ) * (z - meanZ);
    }
    double a0, b0, varA0, varB0, covA0B0, lineChi2;
    double c[3];
    if (fixed.parameter < 0) {
        b0 = stz / stt;
        a0 = meanZ - b0 * meanT;
        lineChi2 = szz - b0 * stz;
        varB0 = 1.0 / stt;
        varA0 = 1.0 / sumW + meanT * meanT / stt;
        covA0B0 = -meanT / stt;
    } else if (fixedParameterOnLine(modelId, fixed.parameter, fixed.value, c)) {
        // The line P + s*D with D along the condition c[0]*a0 + c[1]*b0 = c[2]: z - P0 - P1*t = s*(D0 + D1*t),
        // a line through the origin in u = D0 + D1*t, fitted with the same weights.
        bool onA0 = fabs(c[0]) >= fabs(c[1]);
        double p0 = onA0 ? c[2] / c[0] : 0.0, p1 = onA0 ? 0.0 : c[2] / c[1];
        double d0 = -c[1], d1 = c[0];
        double suu = 0.0, sur = 0.0, srr = 0.0;
        for (int i = 0; i < count; ++i) {
            double t, z, slope = lineSlopeInY(modelId, x[i], y[i]);
            lineariseModel(modelId, exponentN, x[i], y[i], &t, &z);
            double wz = weightAt(w, i) / (slope * slope);
            double u = d0 + d1 * t, r = z - p0 - p1 * t;
            suu += wz * u * u;
            sur += wz * u * r;
            srr += wz * r * r;
        }
        double s = sur / suu;
        a0 = p0 + s * d0;
        b0 = p1 + s * d1;
        lineChi2 = srr - s * sur;
        varA0 = d0 * d0 / suu;
        varB0 = d1 * d1 / suu;
        covA0B0 = d0 * d1 / suu;
    } else {
        a0 = b0 = varA0 = varB0 = covA0B0 = lineChi2 = NAN;
    }
    if (lineChi2 < 0.0) lineChi2 = 0.0;
    // Relative weights (and none): the covariance is scaled by the line's chi2 per degree of freedom.
    double scale = absolute ? 1.0 : (f.dof >= 1 ? lineChi2 / (double)f.dof : NAN);
    backTransformLine(modelId, a0, b0, &f.fit.a, &f.fit.b);
    if (fixed.parameter == 0) f.fit.a = fixed.value;
    if (fixed.parameter == 1) f.fit.b = fixed.value;
    double j[2][2];
    backTransformJacobian(modelId, a0, b0, j);
    f.varA = scale * (j[0][0] * j[0][0] * varA0 + 2.0 * j[0][0] * j[0][1] * covA0B0 + j[0][1] * j[0][1] * varB0);
    f.varB = scale * (j[1][0] * j[1][0] * varA0 + 2.0 * j[1][0] * j[1][1] * covA0B0 + j[1][1] * j[1][1] * varB0);
    f.uncertainty.covAB = scale * (j[0][0] * j[1][0] * varA0 + (j[0][0] * j[1][1] + j[0][1] * j[1][0]) * covA0B0 +
                                   j[0][1] * j[1][1] * varB0);
    if (fixed.parameter == 0) f.varA = f.uncertainty.covAB = 0.0;
    if (fixed.parameter == 1) f.varB = f.uncertainty.covAB = 0.0;
    f.uncertainty.r2Line = 1.0 - lineChi2 / szz;
    measureOnY(x, y, w, count, modelId, exponentN, &f);
    return f;
}

StatFit refineFixedFit(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
                       FixedParameter fixed, bool absolute, const StatFit& start, int maxIterations)
{
    StatFit f = start;
    f.iterations = 0;
    f.converged = false;
    int free = fixed.parameter == 0 ? 1 : 0;
    auto sums = [&](double a, double b, double* chi2, double* gr, double* gg) {
        *chi2 = *gr = *gg = 0.0;
        for (int i = 0; i < count; ++i) {
            double r = y[i] - evaluateModelWith(modelId, a, b, exponentN, x[i]);
            double dA, dB;
            modelGradient(modelId, a, b, exponentN, x[i], &dA, &dB);
            double g = free == 0 ? dA : dB;
            *chi2 += weightAt(w, i) * r * r;
            *gr += weightAt(w, i) * g * r;
            *gg += weightAt(w, i) * g * g;
        }
    };
    double a = f.fit.a, b = f.fit.b, chi2, gr, gg;
    sums(a, b, &chi2, &gr, &gg);
    while (isfinite(chi2) && f.iterations < maxIterations) {
        ++f.iterations;
        double step = gr / gg;
        double trialA = a, trialB = b, trialChi2 = INFINITY, trialGr = 0.0, trialGg = 0.0;
        for (int halving = 0; halving < 60; ++halving, step *= 0.5) {
            trialA = free == 0 ? a + step : a;
            trialB = free == 1 ? b + step : b;
            sums(trialA, trialB, &trialChi2, &trialGr, &trialGg);
            if (trialChi2 <= chi2) break;
        }
        // No step along the parameter lowers the sum: it is at its minimum to rounding.
        if (!(trialChi2 <= chi2)) {
            f.converged = isfinite(chi2) && trialChi2 >= chi2;
            break;
        }
        double before = free == 0 ? a : b;
        a = trialA;
        b = trialB;
        chi2 = trialChi2;
        gr = trialGr;
        gg = trialGg;
        double after = free == 0 ? a : b;
        if (fabs(after - before) <= 1e-13 * fabs(after) || after == before || chi2 == 0.0) {
            f.converged = true;
            break;
        }
    }
    if (!isfinite(chi2) || !isfinite(gg)) f.converged = false;
    f.fit.a = a;
    f.fit.b = b;
    double scale = absolute ? 1.0 : (f.dof >= 1 ? chi2 / (double)f.dof : NAN);
    double variance = scale / gg;
    f.varA = free == 0 ? variance : 0.0;
    f.varB = free == 1 ? variance : 0.0;
    f.uncertainty.covAB = 0.0;
    measureOnY(x, y, w, count, modelId, exponentN, &f);
    return f;
}

Prediction predictAt(int modelId, double exponentN, const StatFit& f, double newVariance, double x)
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

double newMeasurementVariance(const StatFit& f, Weighting weighting, bool absolute, double sigmaSquared, double x,
                              double fittedY)
{
    // Residual variance per unit weight: chi2 / dof (RSS / dof without weights), 1 for absolute sigma.
    double perUnit = weighting == WEIGHTING_NONE ? f.fit.residualSum / (double)f.dof
                     : absolute                   ? 1.0
                                                  : f.chi2 / (double)f.dof;
    if (f.dof < 1) return NAN;
    switch (weighting) {
    case WEIGHTING_NONE: return perUnit;
    case WEIGHTING_SIGMA: return perUnit * sigmaSquared;
    default: return perUnit / weightOf(weighting, x, fittedY, 1.0);
    }
}

bool inverseAt(int modelId, double exponentN, const StatFit& f, Weighting weighting, bool absolute,
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
