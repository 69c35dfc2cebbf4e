// The problem value of one file: its points, weights and model, made once.
#include "fit_problem.h"

#include <math.h>

void preparePointStore(PointStore* store, bool withSigma, bool keepTexts)
{
    // Not value-initialised: the readers write every point they count, and nothing reads beyond.
    if (!store->table) store->table.reset(new PointTable);
    store->table->pointCount = 0;
    store->sigma.resize(withSigma ? POINT_CAPACITY : 0);
    store->keepTexts = keepTexts;
    store->texts = InputTexts{};
}

const char* weightingText(Weighting weighting, bool absoluteSigma)
{
    switch (weighting) {
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
    case WEIGHTING_SIGMA: return 1.0 / (sigma * sigma);
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
        bool sigmaUsable = weighting != WEIGHTING_SIGMA || sigma[i] > 0.0;
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
    const double* sigma = weighting == WEIGHTING_SIGMA ? store->sigma.data() : nullptr;
    *problem = FitProblem{points.x, points.y, nullptr, sigma, points.pointCount, modelId, exponentN, fixed,
                          weighting, absolute && weighting == WEIGHTING_SIGMA,
                          store->keepTexts ? &store->texts : nullptr};
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
