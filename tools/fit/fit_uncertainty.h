// SPDX-License-Identifier: GPL-3.0-or-later
// Uncertainty of a fitted A and B: standard errors, 95% confidence intervals, R2 and the residual
// standard deviation with n - 2 degrees of freedom beside the program's S (n - 1).
#ifndef KELVORA_FIT_UNCERTAINTY_H
#define KELVORA_FIT_UNCERTAINTY_H

#include "fit.h"

struct FitUncertainty {
    double seA;       // standard error of A
    double seB;       // standard error of B
    double ciA[2];    // 95% confidence interval of A: A -+ t(0.975, n - 2) * seA
    double ciB[2];
    double r2;        // share of the spread of Y that the fitted model explains, 1 - RSS / SST on Y
    double r2Line;    // the same on the straight line z = a0 + b0*t the model was fitted as
    double sN2;       // sqrt(RSS / (n - 2)) on Y
    double covAB;     // covariance of A and B (NaN where the standard errors are)
};

// Two-sided 95% quantile of Student's t with dof degrees of freedom; NaN for dof < 1.
double studentT975(int dof);

// Uncertainty of a linearised fit of count points: the line's covariance from its residuals, carried
// through the back-transformation to A and B to first order (delta method). Fewer than three points
// leave nothing to estimate the scatter from: the standard errors and intervals are NaN.
FitUncertainty linearisedUncertainty(int modelId, int count, const FitResult* fit, const LineFit* line);

// Uncertainty of a linearised fit with weights or a fixed parameter and dof degrees of freedom: the
// line's covariance scaled by its residual sum per degree of freedom (absolute: by 1, the weights being
// 1/sigma^2 of one-sd sigma), carried to A and B; r2 from the weighted sums on Y.
FitUncertainty lineUncertainty(int modelId, int dof, bool absolute, const FitResult* fit, const LineFit* line);

// Intervals from the standard errors of A and B (Student t with dof; NaN for dof < 1), sN2 from the
// residual sum, r2 = 1 - unexplained / spread; r2Line is left NaN.
FitUncertainty uncertaintyOnY(double a, double b, double seA, double seB, int dof, ScaledSum residualSum,
                              ScaledSum unexplained, ScaledSum spread);

// Intervals from the standard errors of A and B (n - 2 = dof; NaN for dof < 1), R2 and sN2 from the
// residual sum and the spread of Y; r2Line is left NaN.
FitUncertainty uncertaintyFromErrors(double a, double b, double seA, double seB, int count, ScaledSum residualSum,
                                     ScaledSum spreadYY);

#endif
