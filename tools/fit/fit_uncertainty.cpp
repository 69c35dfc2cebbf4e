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

FitUncertainty uncertaintyFromVariances(double a, double b, double varA, double varB, int count,
                                        double residualSum, double spreadYY)
{
    FitUncertainty u;
    int dof = count - 2;
    double t = studentT975(dof);
    u.seA = dof >= 1 ? sqrt(varA) : NAN;
    u.seB = dof >= 1 ? sqrt(varB) : NAN;
    setInterval(a, u.seA, t, u.ciA);
    setInterval(b, u.seB, t, u.ciB);
    u.r2 = 1.0 - residualSum / spreadYY;
    u.r2Line = NAN;
    u.sN2 = dof >= 1 ? sqrt(residualSum / (double)dof) : NAN;
    return u;
}

FitUncertainty linearisedUncertainty(int modelId, int count, const FitResult* fit, const LineFit* line)
{
    // Residual sum on the line from the spreads: sum (z - a0 - b0 t)^2 = Szz - Stz^2 / Stt.
    double lineResidualSum = line->spreadZZ - line->b0 * line->spreadTZ;
    if (lineResidualSum < 0.0) lineResidualSum = 0.0; // rounding below an exact fit; NaN stays NaN
    double variance = count > 2 ? lineResidualSum / (double)(count - 2) : NAN;
    double varB0 = variance / line->spreadTT;
    double varA0 = variance * (1.0 / (double)count + line->meanT * line->meanT / line->spreadTT);
    double covA0B0 = -line->meanT * variance / line->spreadTT;

    double j[2][2];
    backTransformJacobian(modelId, line->a0, line->b0, j);
    double varA = j[0][0] * j[0][0] * varA0 + 2.0 * j[0][0] * j[0][1] * covA0B0 + j[0][1] * j[0][1] * varB0;
    double varB = j[1][0] * j[1][0] * varA0 + 2.0 * j[1][0] * j[1][1] * covA0B0 + j[1][1] * j[1][1] * varB0;

    FitUncertainty u = uncertaintyFromVariances(fit->a, fit->b, varA, varB, count, fit->residualSum, line->spreadYY);
    u.r2Line = 1.0 - lineResidualSum / line->spreadZZ;
    return u;
}
