// SPDX-License-Identifier: GPL-3.0-or-later
// Fits to points with errors in both X and Y: York's exact solution for the straight line and
// orthogonal distance regression for every model. Both minimise the sum over the points of
// (Y - f(X + d))^2 / sigmaY^2 + d^2 / sigmaX^2, each point moved by its own d along X.
#ifndef KELVORA_XY_ERRORS_H
#define KELVORA_XY_ERRORS_H

// The points and their one-standard-deviation errors, every sigma positive and finite.
struct XYPoints {
    const double* x;
    const double* y;
    const double* sigmaX;
    const double* sigmaY;
    int count;
};

struct XYFit {
    bool ok;            // false: reason says why, the figures are NaN
    const char* method; // "york" or "odr"
    double a;
    double b;
    double seA;         // standard errors from the sigmas alone (the covariance not scaled by the MSWD)
    double seB;
    double covAB;
    double seAScaled;   // the same times sqrt(MSWD): the scatter measured from the points
    double seBScaled;
    double chi2;        // the minimised sum
    int dof;            // count - 2
    double mswd;        // chi2 / dof (NaN for dof < 1)
    int iterations;
    char reason[120];
};

// True when every sigma of the points is a positive finite number; *badPoint is the first that is not.
bool xyErrorsUsable(const XYPoints& points, int* badPoint);

// York, Evensen, Martinez Perez and Delgado's iterative solution for Y = A + B*X with uncorrelated
// errors: the slope from the ordinary least-squares line, iterated to its fixed point; the errors of A
// and B from the weights, their covariance about the adjusted X.
XYFit yorkLine(const XYPoints& points);

#define ODR_MAX_ITERATIONS 200

// Orthogonal distance regression of model modelId (exponent exponentN) from startA, startB and every
// d = 0: Levenberg-Marquardt steps on A, B and all d at once, the d eliminated point by point from the
// normal equations, so each step costs one pass and memory grows with the points alone. The errors
// come from the same eliminated normal equations at the solution. delta (NULL: not wanted) receives the
// count moves along X.
XYFit odrFit(const XYPoints& points, int modelId, double exponentN, double startA, double startB, int maxIterations,
             double* delta);

// The fit of model modelId to points with errors in both: York's line for Y=A+B*X, else the regression
// started from the least-squares fit on Y weighted 1/sigmaY^2 (or, when that gives none, from the
// linearised fit).
XYFit fitWithErrorsInBoth(const XYPoints& points, int modelId, double exponentN);

#endif
