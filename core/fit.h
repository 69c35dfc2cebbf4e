// Linearised least-squares fit of the sixteen models.
#ifndef KELVORA_FIT_H
#define KELVORA_FIT_H

#include "app_state.h"
#include "models.h"

// Fits model modelId (exponent n for the power model) to the n points x[i], y[i]: transforms them to a
// straight line z = a0 + b0*t, fits the line from sums taken about the means, transforms a0 and b0 back
// to A and B, and measures the residuals on Y itself. No point gives zeros; one point or all t equal
// give NaN parameters and S = 0 (one point) as the plain formula does.
FitResult fitPoints(const double* x, const double* y, int count, int modelId, double exponentN);

// A sum of squares kept as value * 4^exponent. Squares of numbers near the ends of the double range
// overflow or vanish; the numbers are scaled by a power of two first (exact), and the sum keeps the
// scale: its square root is sqrt(value) * 2^exponent. Sums of ordinary numbers have exponent 0.
struct ScaledSum {
    double value;
    int exponent;
};

// The sum as one double (it may overflow to infinity or round to 0 where the scaled one does not).
double scaledSumTotal(ScaledSum sum);

// sqrt(sum / divisor), taken on the scaled value.
double scaledSumRoot(ScaledSum sum, double divisor);

// The power of two that values of largest magnitude `largest` are divided by before they are squared:
// 0 for magnitudes whose squares (and sums of a million of them) are normal doubles.
int sumScaleExponent(double largest);

// The straight line behind a fit and the spreads its uncertainty is measured from. Spreads are sums of
// products of deviations from the means (spreadTT = sum (t - meanT)^2 ...); they are exact 0 for equal
// values. They are taken of t / 2^tExponent and z / 2^zExponent, so that they stay within the double
// range (both exponents are 0 for ordinary data). meanY and spreadYY are those of the measured Y, for
// the share of its spread the fit explains; residualSum is the fit's sum of squared residuals on Y.
struct LineFit {
    double a0;
    double b0;
    double meanT;
    double spreadTT;
    double spreadTZ;
    double spreadZZ;
    int tExponent;
    int zExponent;
    double meanY;
    ScaledSum spreadYY;
    ScaledSum residualSum;
};

// The residual sum and S of model modelId with A=a, B=b over the count points, and (when spreadYY is
// not NULL) the spread of Y about its mean. The residuals are scaled by a power of two when their
// squares would leave the double range.
FitResult measureFit(const double* x, const double* y, int count, int modelId, double exponentN, double a,
                     double b, ScaledSum* residualSum, ScaledSum* spreadYY, double* meanY);

// fitPoints that also hands back its straight line and spreads (line may be NULL). No point leaves
// every field of line 0.
FitResult fitPointsWithLine(const double* x, const double* y, int count, int modelId, double exponentN,
                            LineFit* line);

// The same fit from the four raw sums St, Sz, Stt, Stz. It loses every digit once the data lie far from
// the origin; it is kept as the reference the centred fit is compared with.
FitResult fitPointsRawSums(const double* x, const double* y, int count, int modelId, double exponentN);

// Fits the selected model to the point table and stores A, B, the residual sum and S in g_app.fit.
void fitModel();

#endif
