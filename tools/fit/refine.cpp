// SPDX-License-Identifier: GPL-3.0-or-later
// Levenberg-Marquardt refinement with GSL's trust-region solvers (LM step, More scaling), with the
// model's derivatives written out: the entry point, its starts, the dense solver (gsl_multifit_nlinear,
// QR of the n x 2 Jacobian, kept as the reference the streaming solver of refine_streaming.cpp is
// measured and tested against), the measures at the solution and the checks of a solution.
#include "refine.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_multilarge_nlinear.h>
#include <gsl/gsl_vector.h>
#include <float.h>
#include <math.h>
#include <stdio.h>

#include <vector>

#include "models.h"
#include "refine_solvers.h"

namespace {

using namespace refine_solvers;

#define MAX_CORRELATION 0.9999
#define SCAN_STARTS 3
#define DENSE_XTOL 1e-12
// One free parameter costs a pass of the points a step: the steps go on to the last digits (until no
// step lowers the sum), as the minimum along one parameter is sharp.
#define ONE_PARAMETER_XTOL 1e-15
#define SCAN_STEPS 16 // quarter decades on each side of the span: 10^-4 .. 10^4 times it

// The dense solver's residuals f(X) - Y and their Jacobian, one row a point (GSL applies the weights).
int residuals(const gsl_vector* p, void* data, gsl_vector* f)
{
    const Problem* problem = static_cast<const Problem*>(data);
    double a, b;
    parametersAt(problem, p, &a, &b);
    double* out = f->data;
    for (size_t i = 0; i < f->size; ++i) {
        out[i * f->stride] = evaluateModelWith(problem->modelId, a, b, problem->exponentN, problem->x[i]) -
                             problem->y[i];
    }
    return GSL_SUCCESS;
}

int jacobian(const gsl_vector* p, void* data, gsl_matrix* j)
{
    const Problem* problem = static_cast<const Problem*>(data);
    double a, b;
    parametersAt(problem, p, &a, &b);
    int fixed = problem->fixed.parameter;
    for (size_t i = 0; i < j->size1; ++i) {
        double* row = j->data + i * j->tda;
        double dA, dB;
        modelGradient(problem->modelId, a, b, problem->exponentN, problem->x[i], &dA, &dB);
        // A derivative without a value would make every later step, and the standard errors, NaN while
        // the solver still reported a minimum: refuse the point in the parameters instead.
        if ((fixed != 0 && !isfinite(dA)) || (fixed != 1 && !isfinite(dB))) return GSL_EDOM;
        if (fixed == 0) {
            row[0] = dB;
        } else if (fixed == 1) {
            row[0] = dA;
        } else {
            row[0] = dA;
            row[1] = dB;
        }
    }
    return GSL_SUCCESS;
}

// The points of a set for which keep(x, y, w) holds: the arrays themselves when all do (no copy of a
// million points), else copies in copies.
struct PointCopies {
    std::vector<double> x, y, w;
};

template <typename Keep>
Problem keptPoints(const Problem& all, Keep keep, PointCopies* copies)
{
    Problem kept = all;
    kept.count = 0;
    for (int i = 0; i < all.count; ++i) kept.count += keep(all.x[i], all.y[i], weightAt(all.w, i)) ? 1 : 0;
    if (kept.count == all.count) return kept;
    for (int i = 0; i < all.count; ++i) {
        if (!keep(all.x[i], all.y[i], weightAt(all.w, i))) continue;
        copies->x.push_back(all.x[i]);
        copies->y.push_back(all.y[i]);
        if (all.w != NULL) copies->w.push_back(all.w[i]);
    }
    kept.x = copies->x.data();
    kept.y = copies->y.data();
    kept.w = all.w != NULL ? copies->w.data() : NULL;
    return kept;
}

// The linearised fit of the points whose transform is finite; counts those left out.
bool findStart(const Problem& all, RefineResult* result)
{
    int modelId = all.modelId;
    double exponentN = all.exponentN;
    PointCopies copies;
    Problem inside = keptPoints(
        all, [modelId, exponentN](double px, double py, double) { return lineTakesPoint(modelId, exponentN, px, py); },
        &copies);
    // Two free parameters start from the unweighted line; one from the line that holds the fixed one,
    // with the weights.
    bool fixed = all.fixed.parameter >= 0;
    LineProblem line = {inside.x, inside.y, fixed ? inside.w : NULL, inside.count, modelId, exponentN, all.fixed};
    LineFit fitted;
    FitResult start = fitLineProblem(&line, &fitted);
    result->startA = start.a;
    result->startB = start.b;
    result->startR2Line = lineUncertainty(modelId, inside.count - (int)freeParameters(&all), false, &start, &fitted).r2Line;
    result->leftOutOfStart = all.count - inside.count;
    return inside.count >= 2 && isfinite(start.a) && isfinite(start.b);
}

// The covariance of a Jacobian whose products leave the doubles (a column of X near 1e300, whose
// square overflows): its columns are scaled by powers of two before the 2 x 2 sums are formed.
ColumnCovariance scaledCovariance(const gsl_matrix* j)
{
    double largest0 = 0.0, largest1 = 0.0;
    for (size_t i = 0; i < j->size1; ++i) {
        largest0 = fmax(largest0, fabs(gsl_matrix_get(j, i, 0)));
        largest1 = fmax(largest1, fabs(gsl_matrix_get(j, i, 1)));
    }
    ColumnCovariance c = {NAN, NAN, NAN, 0, 0};
    if (!(largest0 > 0.0 && largest1 > 0.0 && isfinite(largest0) && isfinite(largest1))) return c;
    c.exponent0 = ilogb(largest0);
    c.exponent1 = ilogb(largest1);
    double s00 = 0.0, s01 = 0.0, s11 = 0.0;
    for (size_t i = 0; i < j->size1; ++i) {
        double j0 = ldexp(gsl_matrix_get(j, i, 0), -c.exponent0), j1 = ldexp(gsl_matrix_get(j, i, 1), -c.exponent1);
        s00 += j0 * j0;
        s01 += j0 * j1;
        s11 += j1 * j1;
    }
    double determinant = s00 * s11 - s01 * s01;
    c.c00 = s11 / determinant;
    c.c01 = -s01 / determinant;
    c.c11 = s00 / determinant;
    return c;
}

// The covariance of the dense solver's free parameters as that of A and B: a fixed parameter's
// entries are 0.
ColumnCovariance denseCovariance(const Problem* problem, gsl_multifit_nlinear_workspace* work)
{
    double covariance[4] = {0.0, 0.0, 0.0, 0.0};
    size_t free = freeParameters(problem);
    gsl_matrix_view covarianceView = gsl_matrix_view_array(covariance, free, free);
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(work), 0.0, &covarianceView.matrix);
    if (problem->fixed.parameter == 0) return ColumnCovariance{0.0, 0.0, covariance[0], 0, 0};
    if (problem->fixed.parameter == 1) return ColumnCovariance{covariance[0], 0.0, 0.0, 0, 0};
    ColumnCovariance c = {covariance[0], covariance[1], covariance[3], 0, 0};
    return usableCovariance(c) ? c : scaledCovariance(gsl_multifit_nlinear_jac(work));
}

bool solveDense(const Problem* problem, double startA, double startB, int maxIterations, RefineResult* result,
                Solution* solution)
{
    size_t free = freeParameters(problem);
    gsl_multifit_nlinear_fdf fdf = {};
    fdf.f = residuals;
    fdf.df = jacobian;
    fdf.fvv = NULL;
    fdf.n = (size_t)problem->count;
    fdf.p = free;
    fdf.params = const_cast<Problem*>(problem);
    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    gsl_multifit_nlinear_workspace* work =
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, fdf.n, free);
    double start[2] = {problem->fixed.parameter == 0 ? startB : startA, startB};
    gsl_vector_view startView = gsl_vector_view_array(start, free);
    int status;
    if (problem->w != NULL) {
        gsl_vector_const_view weights = gsl_vector_const_view_array(problem->w, fdf.n);
        status = gsl_multifit_nlinear_winit(&startView.vector, &weights.vector, &fdf, work);
    } else {
        status = gsl_multifit_nlinear_init(&startView.vector, &fdf, work);
    }
    bool converged = false;
    if (status == GSL_SUCCESS) {
        converged = free == 1 ? iterate(work, ONE_PARAMETER_XTOL, maxIterations, result, 0.0)
                              : iterate(work, DENSE_XTOL, maxIterations, result);
    } else {
        setReason(result, NO_DERIVATIVE);
    }
    parametersAt(problem, gsl_multifit_nlinear_position(work), &solution->a, &solution->b);
    solution->covariance = denseCovariance(problem, work);
    solution->sumsAtSolution = false;
    gsl_multifit_nlinear_free(work);
    return converged;
}

// The sum of w r^2 at (a, b), scaled like the residual sums of the fit.
ScaledSum weightedResidualSum(const Problem* problem, double a, double b)
{
    double largest = 0.0;
    for (int i = 0; i < problem->count; ++i) {
        double r = evaluateModelWith(problem->modelId, a, b, problem->exponentN, problem->x[i]) - problem->y[i];
        largest = fmax(largest, fabs(r) * sqrt(problem->w[i]));
    }
    ScaledSum sum = {0.0, clampedExponent(largest)};
    for (int i = 0; i < problem->count; ++i) {
        double r = ldexp(evaluateModelWith(problem->modelId, a, b, problem->exponentN, problem->x[i]) - problem->y[i],
                         -sum.exponent);
        sum.value += problem->w[i] * r * r;
    }
    return sum;
}

// The spread of Y about its mean over the points, as measureFit takes it: about the first Y, scaled
// by a power of two when the squares would leave the double range.
ScaledSum spreadOfY(const double* y, int count)
{
    double sumY = 0.0, sumYY = 0.0, largest = 0.0;
    for (int i = 0; i < count; ++i) {
        double magnitude = fabs(y[i] - y[0]);
        if (magnitude > largest) largest = magnitude; // a NaN is passed over, as fmax would
    }
    int exponent = sumScaleExponent(largest);
    double scale = ldexp(1.0, -exponent);
    for (int i = 0; i < count; ++i) {
        double dy = (y[i] - y[0]) * scale;
        sumY += dy;
        sumYY += dy * dy;
    }
    double spread = sumYY - sumY * (sumY / (double)count);
    return ScaledSum{spread < 0.0 ? 0.0 : spread, exponent}; // below 0 only by rounding; NaN stays NaN
}

// Residual sum, S and the standard errors at the solution: covariance (J'W J)^-1 scaled by the
// minimised sum over n - 2, or not at all for weights of absolute sigma.
void measure(const Problem* problem, const Solution* solution, bool absoluteWeights, RefineResult* result)
{
    int used = problem->count;
    ScaledSum residualSum, spreadYY;
    double meanY;
    if (solution->sumsAtSolution) {
        residualSum = solution->residualSum;
        spreadYY = spreadOfY(problem->y, used);
        result->fit = FitResult{solution->a, solution->b, scaledSumTotal(residualSum),
                                used >= 2 ? scaledSumRoot(residualSum, (double)(used - 1)) : 0.0};
    } else {
        result->fit = measureFit(problem->x, problem->y, used, problem->modelId, problem->exponentN, solution->a,
                                 solution->b, &residualSum, &spreadYY, &meanY);
    }
    const FitResult* fit = &result->fit;
    ScaledSum minimised = problem->w != NULL ? weightedResidualSum(problem, solution->a, solution->b) : residualSum;
    result->chi2 = problem->w != NULL ? scaledSumTotal(minimised) : NAN;
    const ColumnCovariance& c = solution->covariance;
    // The sum / (n - free parameters) in the residuals' scaled units; the errors are scaled back after
    // the root.
    int dof = used - (int)freeParameters(problem);
    double scale = dof >= 1 ? minimised.value / (double)dof : NAN;
    if (problem->w != NULL && absoluteWeights) {
        scale = 1.0;
        minimised.exponent = 0;
    }
    double seA = ldexp(sqrt(c.c00 * scale), minimised.exponent - c.exponent0);
    double seB = ldexp(sqrt(c.c11 * scale), minimised.exponent - c.exponent1);
    result->uncertainty = uncertaintyOnY(fit->a, fit->b, seA, seB, dof, residualSum, residualSum, spreadYY);
    result->uncertainty.covAB = ldexp(c.c01 * scale, 2 * minimised.exponent - c.exponent0 - c.exponent1);
    result->correlation = problem->fixed.parameter >= 0 ? 0.0 : c.c01 / sqrt(c.c00 * c.c11);
    result->dof = dof;
}

RefineResult emptyResult()
{
    RefineResult result = {};
    result.status = REFINE_NO_START;
    result.fit = FitResult{NAN, NAN, NAN, NAN};
    result.uncertainty = FitUncertainty{NAN, NAN, {NAN, NAN}, {NAN, NAN}, NAN, NAN, NAN, NAN};
    return result;
}

// The pole of the model at the result's A and B when it lies inside the span of the X used.
bool poleAmongPoints(const double* x, int used, int modelId, RefineResult* result, double* lowest, double* highest)
{
    const ModelRow* row = modelRow(modelId);
    double pole;
    if (row->pole == NULL) return false;
    *lowest = x[0];
    *highest = x[0];
    for (int i = 1; i < used; ++i) {
        if (x[i] < *lowest) *lowest = x[i];
        if (x[i] > *highest) *highest = x[i];
    }
    if (!row->pole(result->fit.a, result->fit.b, &pole) || pole < *lowest || pole > *highest) {
        return false;
    }
    result->status = REFINE_POLE_IN_DATA;
    result->poleX = pole;
    return true;
}

// A converged solution that is no fit: a pole of the model inside the span of the X used, or A and B
// that the data cannot tell apart (a singular covariance, or a correlation beyond +-0.9999).
void checkSolution(const double* x, int used, int modelId, RefineResult* result)
{
    double lowest, highest;
    if (poleAmongPoints(x, used, modelId, result, &lowest, &highest)) {
        snprintf(result->reason, sizeof result->reason,
                 "its solution A=%g B=%g puts the model's pole X=%g inside the data (X from %g to %g)",
                 result->fit.a, result->fit.b, result->poleX, lowest, highest);
    } else if (!isfinite(result->correlation)) {
        result->status = REFINE_DEGENERATE;
        setReason(result, "the covariance of A and B is singular at its solution");
    } else if (fabs(result->correlation) > MAX_CORRELATION) {
        result->status = REFINE_DEGENERATE;
        snprintf(result->reason, sizeof result->reason,
                 "A and B are not determined apart at its solution (correlation %.6f)", result->correlation);
    }
}

// An iteration that ran to its limit jumping across the model's pole, which stands among the points
// where it stopped: the pole is why it found no fit, and is named.
void checkStop(const double* x, int used, int modelId, RefineResult* result)
{
    double lowest, highest;
    if (result->iterations < 1 || !poleAmongPoints(x, used, modelId, result, &lowest, &highest)) return;
    snprintf(result->reason, sizeof result->reason,
             "after %d iterations A=%g B=%g put the model's pole X=%g inside the data (X from %g to %g)",
             result->iterations, result->fit.a, result->fit.b, result->poleX, lowest, highest);
}

// Runs the solver from (startA, startB) over the points where the model has a value there (and whose
// weight is a number >= 0).
void solveFrom(const Problem& all, bool absoluteWeights, int outsideLine, RefineSolver solver, int maxIterations,
               double startA, double startB, RefineResult* result)
{
    setReason(result, "");
    result->iterations = 0;
    int modelId = all.modelId;
    double exponentN = all.exponentN;
    // The points where the model has a value at the start; the others have none to compare with Y. The
    // streaming solver's scales come from the pass that counts them: with every point used it is the
    // only pass needed.
    Streaming scales = {};
    int usable = -1;
    if (solver == REFINE_STREAMING) scales = streamingScales(&all, startA, startB, &usable);
    PointCopies copies;
    Problem used = usable == all.count ? all : keptPoints(
        all,
        [modelId, exponentN, startA, startB](double px, double, double w) {
            return isfinite(evaluateModelWith(modelId, startA, startB, exponentN, px)) && isfinite(w) && w >= 0.0;
        },
        &copies);
    result->pointsUsed = used.count;
    result->leftOut = all.count - used.count;
    // Of the points used, those the line could not take: a point without a model value is told once.
    // With every point used they are the outsideLine points the start was found without.
    result->leftOutOfStart = outsideLine;
    if (used.count != all.count) {
        result->leftOutOfStart = 0;
        for (int i = 0; i < used.count; ++i) {
            result->leftOutOfStart += lineTakesPoint(modelId, exponentN, used.x[i], used.y[i]) ? 0 : 1;
        }
    }
    if (used.count < 2) {
        result->status = REFINE_TOO_FEW;
        return;
    }

    gsl_error_handler_t* previousHandler = gsl_set_error_handler_off();
    Solution solution;
    bool converged = solver == REFINE_DENSE
                         ? solveDense(&used, startA, startB, maxIterations, result, &solution)
                         : solveStreaming(&used, usable == all.count ? &scales : NULL, startA, startB, maxIterations,
                                          result, &solution);
    measure(&used, &solution, absoluteWeights, result);
    result->uncertainty.r2Line = result->startR2Line;
    if (!isfinite(result->fit.a) || !isfinite(result->fit.b) || !isfinite(result->fit.s)) {
        converged = false;
        if (result->reason[0] == 0) setReason(result, "the parameters left the finite numbers");
    }
    result->status = converged ? REFINE_CONVERGED : REFINE_NOT_CONVERGED;
    if (converged) {
        checkSolution(used.x, used.count, modelId, result);
    } else if (isfinite(result->fit.a) && isfinite(result->fit.b)) {
        checkStop(used.x, used.count, modelId, result);
    }
    gsl_set_error_handler(previousHandler);
}

// The spread a solution leaves: S, or with weights sqrt(chi2 / (n - 1)).
double spreadOf(const RefineResult& result, bool weighted)
{
    return weighted ? sqrt(result.chi2 / (double)(result.pointsUsed - 1)) : result.fit.s;
}

// The factor c of the pole form c * basis(p, X) for the pole p, by least squares over the points where
// the basis has a value; returns the residual sum.
double poleFormFit(const ModelRow* row, const double* x, const double* y, int count, double p, double* c)
{
    double sumFY = 0.0, sumFF = 0.0;
    for (int i = 0; i < count; ++i) {
        double f = row->poleFormBasis(p, x[i]);
        if (!isfinite(f) || !isfinite(y[i])) continue;
        sumFY += f * y[i];
        sumFF += f * f;
    }
    *c = sumFY / sumFF;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        double f = row->poleFormBasis(p, x[i]);
        if (!isfinite(f) || !isfinite(y[i])) continue;
        double r = y[i] - *c * f;
        sum += r * r;
    }
    return sum;
}

// Starts for a model with a pole: its pole p of u placed below and above the span of u over the points
// at distances from a ten-thousandth to ten thousand times that span, c solved by least squares for
// each; the SCAN_STARTS with the smallest residual sums, as A and B, best first. 0 for other models.
int scanStarts(const double* x, const double* y, int count, int modelId, double starts[SCAN_STARTS][2])
{
    const ModelRow* row = modelRow(modelId);
    if (row->poleFormBasis == NULL) return 0;
    double lowest = INFINITY, highest = -INFINITY;
    for (int i = 0; i < count; ++i) {
        double u = row->poleVariable(x[i]);
        if (!isfinite(u) || !isfinite(y[i])) continue;
        if (u < lowest) lowest = u;
        if (u > highest) highest = u;
    }
    if (!(lowest < highest)) return 0;
    double span = highest - lowest;
    double bestSum[SCAN_STARTS];
    int found = 0;
    for (int side = 0; side < 2; ++side) {
        for (int step = -SCAN_STEPS; step <= SCAN_STEPS; ++step) {
            double distance = span * pow(10.0, step / 4.0);
            double p = side == 0 ? lowest - distance : highest + distance;
            double c;
            double sum = poleFormFit(row, x, y, count, p, &c);
            if (!isfinite(sum) || !isfinite(c) || c == 0.0) continue;
            // Into the list of the best, smallest sum first.
            if (found == SCAN_STARTS && !(sum < bestSum[SCAN_STARTS - 1])) continue;
            int at = found < SCAN_STARTS ? found++ : SCAN_STARTS - 1;
            for (; at > 0 && sum < bestSum[at - 1]; --at) {
                bestSum[at] = bestSum[at - 1];
                starts[at][0] = starts[at - 1][0];
                starts[at][1] = starts[at - 1][1];
            }
            bestSum[at] = sum;
            row->fromPoleForm(p, c, &starts[at][0], &starts[at][1]);
        }
    }
    return found;
}

} // namespace

bool lineFitAsStart(const double* x, const double* y, int count, int modelId, const FitResult& fit,
                    const LineFit& line, double r2Line, RefineStart* start)
{
    // A point whose transform is not finite leaves the line's mean or spreads not finite.
    bool lineFinite = isfinite(line.meanT) && isfinite(line.spreadTT) && isfinite(line.spreadTZ) &&
                      isfinite(line.spreadZZ);
    if (count < 2 || !lineFinite || !isfinite(fit.a) || !isfinite(fit.b)) return false;
    if (!pointsInLineDomain(modelId, x, y, count)) return false;
    *start = RefineStart{fit.a, fit.b, r2Line};
    return true;
}

RefineResult refineFitWith(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                           double exponentN, int maxIterations, RefineSolver solver)
{
    return refineFitFrom(x, y, weights, count, modelId, exponentN, maxIterations, solver, NULL);
}

RefineResult refineFitFrom(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                           double exponentN, int maxIterations, RefineSolver solver, const RefineStart* start)
{
    RefineRequest request = {x, y, weights, count, modelId, exponentN, {-1, 0.0}, maxIterations, solver};
    return refineProblem(request, start);
}

RefineResult refineProblem(const RefineRequest& request, const RefineStart* start)
{
    RefineResult result = emptyResult();
    Problem all = {request.x, request.y, request.weights.w, request.count, request.modelId, request.exponentN,
                   request.fixed};
    bool absolute = request.weights.absolute;
    if (start != NULL) {
        result.startA = start->a;
        result.startB = start->b;
        result.startR2Line = start->r2Line;
        result.leftOutOfStart = 0;
        if (all.count < 2 || !isfinite(start->a) || !isfinite(start->b)) return result;
    } else if (!findStart(all, &result)) {
        return result;
    }
    int outsideLine = result.leftOutOfStart;
    solveFrom(all, absolute, outsideLine, request.solver, request.maxIterations, result.startA, result.startB, &result);
    if (result.status == REFINE_CONVERGED || result.status == REFINE_TOO_FEW) return result;

    // The solver found no fit from the line's start: a pole may lie between that start and the
    // minimum. Starts on either side of it, best first, and the best fit any of them reaches (the
    // starts move both parameters: none with one fixed).
    double starts[SCAN_STARTS][2];
    int startCount = all.fixed.parameter >= 0 ? 0 : scanStarts(all.x, all.y, all.count, all.modelId, starts);
    RefineResult best = result;
    bool weighted = all.w != NULL;
    for (int i = 0; i < startCount; ++i) {
        RefineResult trial = result;
        solveFrom(all, absolute, outsideLine, request.solver, request.maxIterations, starts[i][0], starts[i][1],
                  &trial);
        if (trial.status != REFINE_CONVERGED) continue;
        if (best.status == REFINE_CONVERGED && !(spreadOf(trial, weighted) < spreadOf(best, weighted))) continue;
        trial.scannedStart = true;
        trial.scanA = starts[i][0];
        trial.scanB = starts[i][1];
        best = trial;
    }
    return best;
}

RefineResult refineFit(const double* x, const double* y, int count, int modelId, double exponentN,
                       int maxIterations)
{
    return refineFitWith(x, y, RefineWeights{NULL, false}, count, modelId, exponentN, maxIterations, REFINE_STREAMING);
}

RefineResult refineWeightedFit(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                               double exponentN, int maxIterations)
{
    return refineFitWith(x, y, weights, count, modelId, exponentN, maxIterations, REFINE_STREAMING);
}
