// SPDX-License-Identifier: GPL-3.0-or-later
// What kelvora-fit fits: one problem value per file, made once from the options and the points read,
// in storage of the tool's own. Every fit method takes a FitProblem and gives a FitRecord (fit_record.h).
#ifndef KELVORA_FIT_PROBLEM_H
#define KELVORA_FIT_PROBLEM_H

#include <memory>
#include <string>
#include <vector>

#include "app_state.h"
#include "fit.h"

enum Weighting {
    WEIGHTING_NONE,
    WEIGHTING_SIGMA,   // 1/sigma^2 of the input's third number
    WEIGHTING_INV_Y,   // 1/|Y|
    WEIGHTING_INV_Y2,  // 1/Y^2
    WEIGHTING_INV_X,   // 1/|X|
    WEIGHTING_INV_X2,  // 1/X^2
    WEIGHTING_SIGMA_XY, // errors in X and Y: on Y alone 1/sigmaY^2 (the start of a fit with both)
};

// The texts of the numbers X and Y as the input wrote them, for echoing them unchanged: point i's X is
// text.c_str() + xAt[i], its Y text.c_str() + yAt[i] (each ends in a 0).
#define NO_TEXT ((size_t)-1) // a coordinate whose text was not kept (a number longer than a block)

struct InputTexts {
    std::string text;
    std::vector<size_t> xAt, yAt;
};

// The points of one file in the tool's own storage: the table the readers fill, sigma of each Y under
// --sigma, the weights on Y, and the texts of X and Y when they are echoed (--residuals).
struct PointStore {
    std::unique_ptr<PointTable> table;
    std::vector<double> sigma;
    std::vector<double> sigmaX;      // sigma of each X under --sigma-xy (sigma then holds those of Y)
    std::vector<double> w;
    bool keepTexts = false;
    InputTexts texts;
    bool wrongShape = false;         // the input held three numbers per point where --sigma-xy reads four
};

// A point store with room for POINT_CAPACITY points (and their sigma with withSigma, and sigma of X
// too with withSigmaX).
void preparePointStore(PointStore* store, bool withSigma, bool keepTexts, bool withSigmaX = false);

// Leaves the points excluded marks out of the store, keeping the order of the others (their sigma and
// texts with them).
void dropPoints(PointStore* store, const std::vector<bool>& excluded);

// One problem: the points, their weights on Y (w NULL: all 1) and sigma (NULL without --sigma), the model
// with its exponent, a parameter held at a value and how the weights were made. The arrays belong to
// the PointStore the problem was made from.
struct FitProblem {
    const double* x;
    const double* y;
    const double* w;
    const double* sigma;
    int count;
    int modelId;
    double exponentN;
    FixedParameter fixed;
    Weighting weighting;
    bool absolute;                 // the weights are 1/sigma^2 of one-sd sigma: the covariance is not scaled
    const InputTexts* texts;       // the input's texts of X and Y, NULL when they were not kept
    const double* sigmaX;          // sigma of each X under --sigma-xy (sigma then those of Y), else NULL
};

// The problem of model modelId over the points of store. The weights are made into store->w; false
// when a point has no positive finite weight, *badPoint its index.
bool makeProblem(PointStore* store, int modelId, double exponentN, FixedParameter fixed, Weighting weighting,
                 bool absolute, FitProblem* problem, int* badPoint);

// The same problem for another model (--all fits every model of one problem).
FitProblem problemForModel(const FitProblem& problem, int modelId);

// The linearised fit's view of the problem.
LineProblem lineProblemOf(const FitProblem& problem);

// How the residuals are weighted, for the output ("none", "1/sigma^2 (sigma absolute)", "1/y^2" ...).
const char* weightingText(Weighting weighting, bool absoluteSigma);

// The weight of one point on Y under weighting (sigma: that point's sigma).
double weightOf(Weighting weighting, double x, double y, double sigma);

// The weight of each point on Y. False when a point has no positive finite weight (a sigma <= 0, Y or X
// 0 under 1/Y or 1/X); *badPoint is then its index.
bool pointWeights(Weighting weighting, const double* x, const double* y, const double* sigma, int count,
                  double* w, int* badPoint);

#endif
