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
    FitUncertainty u;
    int dof = count - 2;
    double t = studentT975(dof);
    u.seA = dof >= 1 ? seA : NAN;
    u.seB = dof >= 1 ? seB : NAN;
    setInterval(a, u.seA, t, u.ciA);
    setInterval(b, u.seB, t, u.ciB);
    u.r2 = 1.0 - ldexp(residualSum.value / spreadYY.value, 2 * (residualSum.exponent - spreadYY.exponent));
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
    // Residual sum on the line from the spreads: sum (z - a0 - b0 t)^2 = Szz - Stz^2 / Stt, all in the
    // line's scaled units, as are the variances below.
    double slope = ldexp(line->b0, line->tExponent - line->zExponent);
    double meanT = ldexp(line->meanT, -line->tExponent);
    double lineResidualSum = line->spreadZZ - slope * line->spreadTZ;
    if (lineResidualSum < 0.0) lineResidualSum = 0.0; // rounding below an exact fit; NaN stays NaN
    double variance = count > 2 ? lineResidualSum / (double)(count - 2) : NAN;
    double varB0 = variance / line->spreadTT;
    double varA0 = variance * (1.0 / (double)count + meanT * meanT / line->spreadTT);
    double covA0B0 = -meanT * variance / line->spreadTT;

    double j[2][2];
    backTransformJacobian(modelId, line->a0, line->b0, j);
    double seA = propagatedError(j[0][0], j[0][1], varA0, varB0, covA0B0, line->tExponent, line->zExponent);
    double seB = propagatedError(j[1][0], j[1][1], varA0, varB0, covA0B0, line->tExponent, line->zExponent);

    FitUncertainty u = uncertaintyFromErrors(fit->a, fit->b, seA, seB, count, line->residualSum, line->spreadYY);
    // cov(A, B) = jA C jB' in the line's unscaled units; NaN where the errors are beyond the doubles.
    double sA = ldexp(1.0, line->zExponent), sB = ldexp(1.0, line->zExponent - line->tExponent);
    double a0 = j[0][0] * sA, a1 = j[0][1] * sB, b0 = j[1][0] * sA, b1 = j[1][1] * sB;
    if (count > 2) u.covAB = a0 * b0 * varA0 + (a0 * b1 + a1 * b0) * covA0B0 + a1 * b1 * varB0;
    u.r2Line = 1.0 - lineResidualSum / line->spreadZZ;
    return u;
}
