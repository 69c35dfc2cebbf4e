// Statistics of kelvora-fit beyond the plain fit: weights on Y carried to each model's straight line, a
// fixed A or B, predictions with their intervals and bands, the inverse of a fit, and AICc for ranking.
#ifndef KELVORA_FIT_STATISTICS_H
#define KELVORA_FIT_STATISTICS_H

#include "fit.h"
#include "fit_uncertainty.h"

enum Weighting {
    WEIGHTING_NONE,
    WEIGHTING_SIGMA,   // 1/sigma^2 of the input's third number
    WEIGHTING_INV_Y,   // 1/|Y|
    WEIGHTING_INV_Y2,  // 1/Y^2
    WEIGHTING_INV_X,   // 1/|X|
    WEIGHTING_INV_X2,  // 1/X^2
};

// How the residuals are weighted, for the output ("none", "1/sigma^2 (absolute)", "1/y^2" ...).
const char* weightingText(Weighting weighting, bool absoluteSigma);

// The weight of each point on Y. False when a point has no positive finite weight (a sigma <= 0, Y or X
// 0 under 1/Y or 1/X); *badPoint is then its index.
bool pointWeights(Weighting weighting, const double* x, const double* y, const double* sigma, int count,
                  double* w, int* badPoint);

// A parameter held at a value: parameter 0 is A, 1 is B, -1 none.
struct FixedParameter {
    int parameter;
    double value;
};

// A fit with the covariance of A and B and its degrees of freedom.
struct StatFit {
    FitResult fit;              // A, B, unweighted residual sum on Y and S (n - 1)
    FitUncertainty uncertainty; // errors from the covariance; r2 on Y (weighted when weights are given)
    int count;
    int dof;                    // count - fitted parameters
    double chi2;                // sum of w * (Y - fitted)^2, NaN without weights
    double varA, varB;          // covariance of A and B (0 for a fixed parameter)
    int iterations;             // of a refinement, 0 for a linearised fit
    bool converged;             // a refinement reached its minimum (always true of a linearised fit)
};

// Linearised fit with weights w on Y (NULL: all 1) and an optional fixed parameter: the line is fitted
// with the weights w / (dz/dY)^2, the free line parameter alone when one is fixed. absolute: the weights
// are 1/sigma^2 of one-sd sigma, and the covariance is not scaled by the line's chi2 per degree of freedom.
StatFit linearisedStatFit(const double* x, const double* y, const double* w, int count, int modelId,
                          double exponentN, FixedParameter fixed, bool absolute);

// R2 on Y with weights w (NULL: 1): 1 - sum w (Y - fitted)^2 / sum w (Y - weighted mean)^2, over the points
// where the model has a value.
double weightedR2(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
                  double a, double b);

// Least squares on Y for the free parameter of a fit with one fixed, from start (a Gauss-Newton
// iteration on one parameter, halving steps that do not lower the sum).
StatFit refineFixedFit(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
                       FixedParameter fixed, bool absolute, const StatFit& start, int maxIterations);

// Y of a fit at x with the half widths of its 95% confidence band (of the curve) and prediction band
// (of one new measurement whose variance is newVariance): Student t with dof, delta method on Y.
struct Prediction {
    double y;
    double ci[2];
    double pi[2];
};
Prediction predictAt(int modelId, double exponentN, const StatFit& f, double newVariance, double x);

// The variance of one new measurement at x: the residual variance per unit weight times 1/w there (the
// weight of 1/Y from the fitted Y; under --sigma, sigmaSquared: that of the point nearest in X).
double newMeasurementVariance(const StatFit& f, Weighting weighting, bool absolute, double sigmaSquared, double x,
                              double fittedY);

// sigma^2 of the point nearest in X, from the points' (X, 1/w) sorted by X; NaN without points.
struct SigmaByX {
    double x;
    double sigmaSquared;
};
double nearestSigmaSquared(const SigmaByX* sorted, int count, double x);

// X where the fit gives y, searched over [low, high] (the data's X), with its 95% interval as for a
// measured y (the curve's and the measurement's variance through dX/dY). False when the model is not
// monotone there or does not reach y.
struct InverseResult {
    double x;
    double interval[2];
};
bool inverseAt(int modelId, double exponentN, const StatFit& f, Weighting weighting, bool absolute,
               const SigmaByX* sigmas, int sigmaCount, double low, double high, double y, InverseResult* result);

// AICc of a least-squares fit on Y: n ln(RSS/n) + 2K + 2K(K+1)/(n-K-1), K = fitted parameters + 1 (the
// variance); NaN when n <= K + 1.
double leastSquaresAicc(double rss, int count, int fittedParameters);

#endif
