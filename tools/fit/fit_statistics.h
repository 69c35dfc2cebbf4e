// SPDX-License-Identifier: GPL-3.0-or-later
// What a fit gives beyond its parameters, derived from its record in one place: Y with its 95%
// confidence and prediction intervals, the bands, X at a measured Y (the inverse), and AICc for ranking.
#ifndef KELVORA_FIT_STATISTICS_H
#define KELVORA_FIT_STATISTICS_H

#include <vector>

#include "fit_problem.h"
#include "fit_record.h"

// Y of a fit at x with the half widths of its 95% confidence band (of the curve) and prediction band
// (of one new measurement whose variance is newVariance): Student t with dof, delta method on Y.
struct Prediction {
    double y;
    double ci[2];
    double pi[2];
};
Prediction predictAt(int modelId, double exponentN, const FitRecord& f, double newVariance, double x);

// The variance of one new measurement at x: the residual variance per unit weight times 1/w there (the
// weight of 1/Y from the fitted Y; under --sigma, sigmaSquared: that of the point nearest in X).
double newMeasurementVariance(const FitRecord& f, Weighting weighting, bool absolute, double sigmaSquared, double x,
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
bool inverseAt(int modelId, double exponentN, const FitRecord& f, Weighting weighting, bool absolute,
               const SigmaByX* sigmas, int sigmaCount, double low, double high, double y, InverseResult* result);

// AICc of a least-squares fit on Y: n ln(RSS/n) + 2K + 2K(K+1)/(n-K-1), K = fitted parameters + 1 (the
// variance); NaN when n <= K + 1.
double leastSquaresAicc(double rss, int count, int fittedParameters);

// AICc of a record on Y (its weighted sum with weights); minus infinity for an exact fit of more points
// than it needs.
double recordAicc(const FitProblem& problem, const FitRecord& record);

// A fit with what its predictions need: the problem (its points and weighting), the points' sigma by X
// under --sigma and which band is drawn. The bands and pictures take it as their context.
struct FitView {
    const FitProblem* problem;
    const FitRecord* record;
    std::vector<SigmaByX> sigmas;
    bool predictionBand;
};

// The view of record over problem; withSigmas sorts the points' sigma for new measurements (needed by a
// prediction band, predictions and inverses under --sigma).
void makeFitView(const FitProblem* problem, const FitRecord* record, bool predictionBand, bool withSigmas,
                 FitView* view);

// Y with its intervals at x.
Prediction viewPrediction(const FitView& view, double x);

// X at y over the span of the data's X; false where the model does not reach y monotonically.
bool viewInverse(const FitView& view, double y, InverseResult* result);

// The band of the view at x (context: the FitView); false where it has no finite value.
bool viewBand(double x, double* low, double* high, const void* context);

#endif
