// SPDX-License-Identifier: GPL-3.0-or-later
// The problem value of one file: its points, weights and model, made once.
#include "fit_problem.h"

#include <math.h>

void preparePointStore(PointStore* store, bool withSigma, bool keepTexts, bool withSigmaX)
{
    // Not value-initialised: the readers write every point they count, and nothing reads beyond.
    if (!store->table) store->table.reset(new PointTable);
    store->table->pointCount = 0;
    store->sigma.resize(withSigma || withSigmaX ? POINT_CAPACITY : 0);
    store->sigmaX.resize(withSigmaX ? POINT_CAPACITY : 0);
    store->keepTexts = keepTexts;
    store->texts = InputTexts{};
}

void dropPoints(PointStore* store, const std::vector<bool>& excluded)
{
    PointTable& t = *store->table;
    InputTexts& texts = store->texts;
    int kept = 0;
    for (int i = 0; i < t.pointCount; ++i) {
        if ((size_t)i < excluded.size() && excluded[i]) continue;
        t.x[kept] = t.x[i];
        t.y[kept] = t.y[i];
        if (!store->sigma.empty()) store->sigma[kept] = store->sigma[i];
        if (!store->sigmaX.empty()) store->sigmaX[kept] = store->sigmaX[i];
        if ((size_t)i < texts.xAt.size()) texts.xAt[kept] = texts.xAt[i];
        if ((size_t)i < texts.yAt.size()) texts.yAt[kept] = texts.yAt[i];
        ++kept;
    }
    if (texts.xAt.size() > (size_t)kept) texts.xAt.resize(kept);
    if (texts.yAt.size() > (size_t)kept) texts.yAt.resize(kept);
    t.pointCount = kept;
}

const char* weightingText(Weighting weighting, bool absoluteSigma)
{
    switch (weighting) {
    case WEIGHTING_SIGMA_XY: return "sigma of X and Y (absolute)";
    case WEIGHTING_SIGMA: return absoluteSigma ? "1/sigma^2 (sigma absolute)" : "1/sigma^2 (sigma relative)";
    case WEIGHTING_INV_Y: return "1/y";
    case WEIGHTING_INV_Y2: return "1/y^2";
    case WEIGHTING_INV_X: return "1/x";
    case WEIGHTING_INV_X2: return "1/x^2";
    default: return "none";
    }
}

double weightOf(Weighting weighting, double x, double y, double sigma)
{
    switch (weighting) {
    case WEIGHTING_SIGMA:
    case WEIGHTING_SIGMA_XY: return 1.0 / (sigma * sigma);
    case WEIGHTING_INV_Y: return 1.0 / fabs(y);
    case WEIGHTING_INV_Y2: return 1.0 / (y * y);
    case WEIGHTING_INV_X: return 1.0 / fabs(x);
    case WEIGHTING_INV_X2: return 1.0 / (x * x);
    default: return 1.0;
    }
}

bool pointWeights(Weighting weighting, const double* x, const double* y, const double* sigma, int count,
                  double* w, int* badPoint)
{
    for (int i = 0; i < count; ++i) {
        w[i] = weightOf(weighting, x[i], y[i], sigma != nullptr ? sigma[i] : 1.0);
        bool sigmaUsable = (weighting != WEIGHTING_SIGMA && weighting != WEIGHTING_SIGMA_XY) || sigma[i] > 0.0;
        if (!sigmaUsable || !(w[i] > 0.0) || !isfinite(w[i])) {
            *badPoint = i;
            return false;
        }
    }
    return true;
}

bool makeProblem(PointStore* store, int modelId, double exponentN, FixedParameter fixed, Weighting weighting,
                 bool absolute, FitProblem* problem, int* badPoint)
{
    const PointTable& points = *store->table;
    bool bySigma = weighting == WEIGHTING_SIGMA || weighting == WEIGHTING_SIGMA_XY;
    const double* sigma = bySigma ? store->sigma.data() : nullptr;
    *problem = FitProblem{points.x, points.y, nullptr, sigma, points.pointCount, modelId, exponentN, fixed,
                          weighting, absolute && bySigma, store->keepTexts ? &store->texts : nullptr,
                          store->sigmaX.empty() ? nullptr : store->sigmaX.data()};
    store->w.clear();
    if (weighting == WEIGHTING_NONE) return true;
    store->w.resize(points.pointCount);
    if (!pointWeights(weighting, points.x, points.y, sigma, points.pointCount, store->w.data(), badPoint)) return false;
    problem->w = store->w.data();
    return true;
}

FitProblem problemForModel(const FitProblem& problem, int modelId)
{
    FitProblem other = problem;
    other.modelId = modelId;
    return other;
}

LineProblem lineProblemOf(const FitProblem& problem)
{
    return LineProblem{problem.x, problem.y, problem.w, problem.count, problem.modelId, problem.exponentN,
                       problem.fixed};
}
