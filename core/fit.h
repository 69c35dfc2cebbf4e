// SPDX-License-Identifier: GPL-3.0-or-later
// Linearised least-squares fit of the models of the model table.
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

// A parameter held at a value: parameter 0 is A, 1 is B, -1 none.
struct FixedParameter {
    int parameter;
    double value;
};

// The weight of point i: w[i], or 1 without weights (w NULL).
inline double weightAt(const double* w, int i)
{
    return w != NULL ? w[i] : 1.0;
}

// What a linearised fit is asked: the count points x[i], y[i], the weight w[i] of each residual on Y
// (w NULL: every weight 1), model modelId with exponent exponentN, and a parameter held at a value.
struct LineProblem {
    const double* x;
    const double* y;
    const double* w;
    int count;
    int modelId;
    double exponentN;
    FixedParameter fixed;
};

// The straight line behind a fit and the spreads its uncertainty is measured from. Spreads are sums of
// products of deviations from the means (spreadTT = sum v (t - meanT)^2 ..., v the point's weight on
// the line, 1 without weights); they are exact 0 for equal values. They are taken of t / 2^tExponent and
// z / 2^zExponent, with the weights divided by 2^weightExponent (weightTotal is their sum in those
// units), so that they stay within the double range (the exponents are 0 for ordinary data). With a
// fixed parameter the line moves along (directionA0, directionB0) in those units only and fixedSpread
// is the weighted sum of the squares of that direction over the points. lineResidualSum is the line's
// weighted residual sum in the same units. meanY and spreadYY are those of the measured Y (weighted
// with weights), for the share of its spread the fit explains; sumYY is the sum of w Y^2 about 0;
// residualSum is the fit's unweighted sum of squared residuals on Y, chi2 the weighted one (the
// residual sum again without weights).
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
    int weightExponent;
    double weightTotal;
    bool fixed;
    double directionA0, directionB0, fixedSpread;
    double lineResidualSum;
    ScaledSum chi2;
    ScaledSum sumYY;
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

// The linearised fit of a problem with weights and a fixed parameter: the line is fitted with the
// weights w / (dz/dY)^2 (the free line parameter alone when one is fixed), scaled by powers of two as
// the plain fit is, A and B come back from it (the fixed one exactly the value given), and the
// residuals are measured on Y. Without weights and a fixed parameter it is fitPointsWithLine.
FitResult fitLineProblem(const LineProblem* problem, LineFit* line);

// Fits the selected model to the point table and stores A, B, the residual sum and S in g_app.fit.
void fitModel();

#endif
