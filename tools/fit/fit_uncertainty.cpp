// SPDX-License-Identifier: GPL-3.0-or-later
// Standard errors of the fitted parameters. A linearised fit is an ordinary straight-line fit of z on t,
// whose intercept and slope have the textbook covariance; A and B are smooth functions of them, so their
// covariance follows from the Jacobian of that function (first-order propagation).
#include "fit_uncertainty.h"

#include <gsl/gsl_cdf.h>
#include <math.h>

double studentT975(int dof)
{
    if (dof < 1) return NAN;
    return gsl_cdf_tdist_Pinv(0.975, (double)dof);
}

static void setInterval(double value, double se, double t, double interval[2])
{
    interval[0] = value - t * se;
    interval[1] = value + t * se;
}

FitUncertainty uncertaintyFromErrors(double a, double b, double seA, double seB, int count, ScaledSum residualSum,
                                     ScaledSum spreadYY)
{
    return uncertaintyOnY(a, b, seA, seB, count - 2, residualSum, residualSum, spreadYY);
}

FitUncertainty uncertaintyOnY(double a, double b, double seA, double seB, int dof, ScaledSum residualSum,
                              ScaledSum unexplained, ScaledSum spread)
{
    FitUncertainty u;
    double t = studentT975(dof);
    u.seA = dof >= 1 ? seA : NAN;
    u.seB = dof >= 1 ? seB : NAN;
    setInterval(a, u.seA, t, u.ciA);
    setInterval(b, u.seB, t, u.ciB);
    u.r2 = 1.0 - ldexp(unexplained.value / spread.value, 2 * (unexplained.exponent - spread.exponent));
    u.r2Line = NAN;
    u.sN2 = dof >= 1 ? scaledSumRoot(residualSum, (double)dof) : NAN;
    u.covAB = NAN;
    return u;
}

// The standard error of one of A, B: sqrt(j0^2 varA0 + 2 j0 j1 cov + j1^2 varB0) for its row (j0, j1) of
// the back-transformation's Jacobian. The line's variances are in its scaled units (z / 2^zExponent,
// t / 2^tExponent); the row is carried into them, and divided by the error's own power of two when the
// error is beyond the range whose square is a normal double.
static double propagatedError(double j0, double j1, double varA0, double varB0, double covA0B0, int tExponent,
                              int zExponent)
{
    double partA = ldexp(fabs(j0) * sqrt(varA0), zExponent);
    double partB = ldexp(fabs(j1) * sqrt(varB0), zExponent - tExponent);
    int own = sumScaleExponent(fmax(partA, partB));
    double u0 = ldexp(j0, zExponent - own), u1 = ldexp(j1, zExponent - tExponent - own);
    return ldexp(sqrt(u0 * u0 * varA0 + 2.0 * u0 * u1 * covA0B0 + u1 * u1 * varB0), own);
}

FitUncertainty linearisedUncertainty(int modelId, int count, const FitResult* fit, const LineFit* line)
{
    return lineUncertainty(modelId, count - 2, false, fit, line);
}

// The covariance of the line's a0 and b0 in its scaled units: the textbook one of a straight line, or
// along the one direction a fixed parameter leaves.
static void lineCovariance(const LineFit* line, double variance, double* varA0, double* varB0, double* covA0B0)
{
    if (line->fixed) {
        double dA = line->directionA0, dB = line->directionB0, perStep = variance / line->fixedSpread;
        *varA0 = dA * dA * perStep;
        *varB0 = dB * dB * perStep;
        *covA0B0 = dA * dB * perStep;
        return;
    }
    double meanT = ldexp(line->meanT, -line->tExponent);
    *varB0 = variance / line->spreadTT;
    *varA0 = variance * (1.0 / line->weightTotal + meanT * meanT / line->spreadTT);
    *covA0B0 = -meanT * variance / line->spreadTT;
}

FitUncertainty lineUncertainty(int modelId, int dof, bool absolute, const FitResult* fit, const LineFit* line)
{
    // The line's residual variance per unit weight, in its scaled units as are the variances below.
    // Absolute weights give it as 1 in the units of Y: 2^-(weightExponent + 2 zExponent) in the scaled
    // ones, whose root moves the errors' power of two from zExponent to -weightExponent / 2.
    double variance = dof >= 1 ? line->lineResidualSum / (double)dof : NAN;
    int zExponent = line->zExponent;
    if (absolute) {
        variance = 1.0;
        zExponent = -line->weightExponent / 2;
    }
    double varA0, varB0, covA0B0;
    lineCovariance(line, variance, &varA0, &varB0, &covA0B0);

    double j[2][2];
    backTransformJacobian(modelId, line->a0, line->b0, j);
    double seA = propagatedError(j[0][0], j[0][1], varA0, varB0, covA0B0, line->tExponent, zExponent);
    double seB = propagatedError(j[1][0], j[1][1], varA0, varB0, covA0B0, line->tExponent, zExponent);

    FitUncertainty u = uncertaintyOnY(fit->a, fit->b, seA, seB, dof, line->residualSum, line->chi2, line->spreadYY);
    // cov(A, B) = jA C jB' in the line's unscaled units; NaN where the errors are beyond the doubles.
    double sA = ldexp(1.0, zExponent), sB = ldexp(1.0, zExponent - line->tExponent);
    double a0 = j[0][0] * sA, a1 = j[0][1] * sB, b0 = j[1][0] * sA, b1 = j[1][1] * sB;
    if (dof >= 1) u.covAB = a0 * b0 * varA0 + (a0 * b1 + a1 * b0) * covA0B0 + a1 * b1 * varB0;
    u.r2Line = 1.0 - line->lineResidualSum / line->spreadZZ;
    return u;
}
