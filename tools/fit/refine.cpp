// Levenberg-Marquardt refinement with GSL's nonlinear least-squares solver (trust region, LM step),
// with the model's derivatives written out, so a million points cost a few passes each iteration.
#include "refine.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>
#include <math.h>
#include <stdio.h>

#include <vector>

#include "models.h"

namespace {

const char* const NO_DERIVATIVE = "the model has no derivative at a point for these A and B";
#define MAX_CORRELATION 0.9999
#define SCAN_STARTS 3
#define SCAN_STEPS 16 // quarter decades on each side of the span: 10^-4 .. 10^4 times it

struct Problem {
    const double* x;
    const double* y;
    int modelId;
    double exponentN;
    const double* w; // weights of the residuals on Y, NULL for none
};

// sqrt(w[i]) of a weighted problem, 1 without weights: rows of the residuals and the Jacobian.
inline double rowScale(const Problem* problem, size_t i)
{
    return problem->w != NULL ? sqrt(problem->w[i]) : 1.0;
}

void setReason(RefineResult* result, const char* text)
{
    snprintf(result->reason, sizeof result->reason, "%s", text);
}

int residuals(const gsl_vector* p, void* data, gsl_vector* f)
{
    const Problem* problem = static_cast<const Problem*>(data);
    double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1);
    double* out = f->data;
    for (size_t i = 0; i < f->size; ++i) {
        out[i * f->stride] = (evaluateModelWith(problem->modelId, a, b, problem->exponentN, problem->x[i]) -
                              problem->y[i]) * rowScale(problem, i);
    }
    return GSL_SUCCESS;
}

int jacobian(const gsl_vector* p, void* data, gsl_matrix* j)
{
    const Problem* problem = static_cast<const Problem*>(data);
    double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1);
    for (size_t i = 0; i < j->size1; ++i) {
        double* row = j->data + i * j->tda;
        modelGradient(problem->modelId, a, b, problem->exponentN, problem->x[i], &row[0], &row[1]);
        row[0] *= rowScale(problem, i);
        row[1] *= rowScale(problem, i);
        // A derivative without a value would make every later step, and the standard errors, NaN while
        // the solver still reported a minimum: refuse the point in the parameters instead.
        if (!isfinite(row[0]) || !isfinite(row[1])) return GSL_EDOM;
    }
    return GSL_SUCCESS;
}

// The points of x, y for which keep(x, y) holds: the arrays themselves when all do (no copy of a
// million points), else copies in kept.
template <typename Keep>
int keptPoints(const double* x, const double* y, int count, Keep keep, std::vector<double>* keptX,
               std::vector<double>* keptY, const double** outX, const double** outY)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) kept += keep(x[i], y[i]) ? 1 : 0;
    *outX = x;
    *outY = y;
    if (kept == count) return kept;
    keptX->reserve(kept);
    keptY->reserve(kept);
    for (int i = 0; i < count; ++i) {
        if (keep(x[i], y[i])) {
            keptX->push_back(x[i]);
            keptY->push_back(y[i]);
        }
    }
    *outX = keptX->data();
    *outY = keptY->data();
    return kept;
}

// The linearised fit of the points whose transform is finite; counts those left out.
bool findStart(const double* x, const double* y, int count, int modelId, double exponentN, RefineResult* result)
{
    std::vector<double> keptX, keptY;
    const double *startX, *startY;
    int inside = keptPoints(
        x, y, count,
        [modelId, exponentN](double px, double py) { return lineTakesPoint(modelId, exponentN, px, py); },
        &keptX, &keptY, &startX, &startY);
    LineFit line;
    FitResult start = fitPointsWithLine(startX, startY, inside, modelId, exponentN, &line);
    result->startA = start.a;
    result->startB = start.b;
    result->startR2Line = linearisedUncertainty(modelId, inside, &start, &line).r2Line;
    result->leftOutOfStart = count - inside;
    return inside >= 2 && isfinite(start.a) && isfinite(start.b);
}

// Runs the solver from the start; true when it reached a minimum.
bool iterate(gsl_multifit_nlinear_workspace* work, int maxIterations, RefineResult* result)
{
    const double xtol = 1e-12, gtol = 1e-12, ftol = 0.0;
    for (result->iterations = 0; result->iterations < maxIterations;) {
        int status = gsl_multifit_nlinear_iterate(work);
        // No step lowers the residual sum any more: the parameters are at its minimum to rounding.
        if (status == GSL_ENOPROG) return true;
        if (status != GSL_SUCCESS) {
            setReason(result, status == GSL_EDOM ? NO_DERIVATIVE : gsl_strerror(status));
            return false;
        }
        ++result->iterations;
        int info = 0;
        status = gsl_multifit_nlinear_test(xtol, gtol, ftol, &info, work);
        if (status == GSL_SUCCESS) return true;
        if (status != GSL_CONTINUE) {
            setReason(result, gsl_strerror(status));
            return false;
        }
    }
    setReason(result, "iteration limit reached");
    return false;
}

// (J'J)^-1, in units where the columns of J are divided by 2^exponent0 and 2^exponent1.
struct ColumnCovariance {
    double c00, c01, c11;
    int exponent0, exponent1;
};

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

// Residual sum, S and the standard errors at the solution: covariance (J'J)^-1 scaled by RSS / (n - 2).
void measure(gsl_multifit_nlinear_workspace* work, const Problem* problem, int used, bool absoluteWeights,
             RefineResult* result)
{
    const gsl_vector* p = gsl_multifit_nlinear_position(work);
    ScaledSum residualSum, spreadYY;
    double meanY;
    result->fit = measureFit(problem->x, problem->y, used, problem->modelId, problem->exponentN,
                             gsl_vector_get(p, 0), gsl_vector_get(p, 1), &residualSum, &spreadYY, &meanY);
    const FitResult* fit = &result->fit;

    gsl_matrix* covariance = gsl_matrix_alloc(2, 2);
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(work), 0.0, covariance);
    ColumnCovariance c = {gsl_matrix_get(covariance, 0, 0), gsl_matrix_get(covariance, 0, 1),
                          gsl_matrix_get(covariance, 1, 1), 0, 0};
    gsl_matrix_free(covariance);
    if (!(c.c00 > 0.0 && c.c11 > 0.0 && isfinite(c.c00) && isfinite(c.c11) && isfinite(c.c01))) {
        c = scaledCovariance(gsl_multifit_nlinear_jac(work));
    }
    // RSS / (n - 2) in the residuals' scaled units; the errors are scaled back after the root. Weighted
    // residuals: chi2 / (n - 2), or 1 for weights that are 1/sigma^2 of absolute sigma.
    double scale = used > 2 ? residualSum.value / (double)(used - 2) : NAN;
    int scaleExponent = residualSum.exponent;
    result->chi2 = NAN;
    if (problem->w != NULL) {
        double chi2 = 0.0;
        for (int i = 0; i < used; ++i) {
            double r = evaluateModelWith(problem->modelId, fit->a, fit->b, problem->exponentN, problem->x[i]) -
                       problem->y[i];
            chi2 += problem->w[i] * r * r;
        }
        result->chi2 = chi2;
        scale = absoluteWeights ? 1.0 : (used > 2 ? chi2 / (double)(used - 2) : NAN);
        scaleExponent = 0;
    }
    double seA = ldexp(sqrt(c.c00 * scale), scaleExponent - c.exponent0);
    double seB = ldexp(sqrt(c.c11 * scale), scaleExponent - c.exponent1);
    result->uncertainty = uncertaintyFromErrors(fit->a, fit->b, seA, seB, used, residualSum, spreadYY);
    result->uncertainty.covAB = ldexp(c.c01 * scale, 2 * scaleExponent - c.exponent0 - c.exponent1);
    result->correlation = c.c01 / sqrt(c.c00 * c.c11);
}

RefineResult emptyResult()
{
    RefineResult result = {};
    result.status = REFINE_NO_START;
    result.fit = FitResult{NAN, NAN, NAN, NAN};
    result.uncertainty = FitUncertainty{NAN, NAN, {NAN, NAN}, {NAN, NAN}, NAN, NAN, NAN, NAN};
    return result;
}

// A converged solution that is no fit: a pole of the model inside the span of the X used, or A and B
// that the data cannot tell apart (a singular covariance, or a correlation beyond +-0.9999).
void checkSolution(const double* x, int used, int modelId, RefineResult* result)
{
    const ModelRow* row = modelRow(modelId);
    double lowest = x[0], highest = x[0], pole;
    for (int i = 1; i < used; ++i) {
        if (x[i] < lowest) lowest = x[i];
        if (x[i] > highest) highest = x[i];
    }
    if (row->pole != NULL && row->pole(result->fit.a, result->fit.b, &pole) && pole >= lowest && pole <= highest) {
        result->status = REFINE_POLE_IN_DATA;
        result->poleX = pole;
        snprintf(result->reason, sizeof result->reason,
                 "its solution A=%g B=%g puts the model's pole X=%g inside the data (X from %g to %g)",
                 result->fit.a, result->fit.b, pole, lowest, highest);
    } else if (!isfinite(result->correlation)) {
        result->status = REFINE_DEGENERATE;
        setReason(result, "the covariance of A and B is singular at its solution");
    } else if (fabs(result->correlation) > MAX_CORRELATION) {
        result->status = REFINE_DEGENERATE;
        snprintf(result->reason, sizeof result->reason,
                 "A and B are not determined apart at its solution (correlation %.6f)", result->correlation);
    }
}

// Runs the solver from (startA, startB) over the points where the model has a value there.
void solveFrom(const double* x, const double* y, const RefineWeights& weights, int count, int modelId,
               double exponentN, int maxIterations, double startA, double startB, RefineResult* result)
{
    setReason(result, "");
    result->iterations = 0;
    // The points where the model has a value at the start; the others have none to compare with Y.
    std::vector<double> keptX, keptY;
    const double *usedX, *usedY;
    int used = keptPoints(
        x, y, count,
        [modelId, exponentN, startA, startB](double px, double) {
            return isfinite(evaluateModelWith(modelId, startA, startB, exponentN, px)) != 0;
        },
        &keptX, &keptY, &usedX, &usedY);
    result->pointsUsed = used;
    result->leftOut = count - used;
    // The weights of the points used, in their order.
    std::vector<double> keptW;
    const double* usedW = weights.w;
    if (weights.w != NULL && used != count) {
        keptW.reserve(used);
        for (int i = 0; i < count; ++i) {
            if (isfinite(evaluateModelWith(modelId, startA, startB, exponentN, x[i]))) keptW.push_back(weights.w[i]);
        }
        usedW = keptW.data();
    }
    // Of the points used, those the line could not take: a point without a model value is told once.
    result->leftOutOfStart = 0;
    for (int i = 0; i < used; ++i) {
        result->leftOutOfStart += lineTakesPoint(modelId, exponentN, usedX[i], usedY[i]) ? 0 : 1;
    }
    if (used < 2) {
        result->status = REFINE_TOO_FEW;
        return;
    }

    gsl_error_handler_t* previousHandler = gsl_set_error_handler_off();
    Problem problem = {usedX, usedY, modelId, exponentN, usedW};
    gsl_multifit_nlinear_fdf fdf = {};
    fdf.f = residuals;
    fdf.df = jacobian;
    fdf.fvv = NULL;
    fdf.n = (size_t)used;
    fdf.p = 2;
    fdf.params = &problem;
    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    gsl_multifit_nlinear_workspace* work =
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, (size_t)used, 2);
    double start[2] = {startA, startB};
    gsl_vector_view startView = gsl_vector_view_array(start, 2);
    bool converged = false;
    if (gsl_multifit_nlinear_init(&startView.vector, &fdf, work) == GSL_SUCCESS) {
        converged = iterate(work, maxIterations, result);
    } else {
        setReason(result, NO_DERIVATIVE);
    }
    measure(work, &problem, used, weights.absolute, result);
    result->uncertainty.r2Line = result->startR2Line;
    if (!isfinite(result->fit.a) || !isfinite(result->fit.b) || !isfinite(result->fit.s)) {
        converged = false;
        if (result->reason[0] == 0) setReason(result, "the parameters left the finite numbers");
    }
    result->status = converged ? REFINE_CONVERGED : REFINE_NOT_CONVERGED;
    if (converged) checkSolution(usedX, used, modelId, result);
    gsl_multifit_nlinear_free(work);
    gsl_set_error_handler(previousHandler);
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

RefineResult refineFit(const double* x, const double* y, int count, int modelId, double exponentN,
                       int maxIterations)
{
    return refineWeightedFit(x, y, RefineWeights{NULL, false}, count, modelId, exponentN, maxIterations);
}

RefineResult refineWeightedFit(const double* x, const double* y, RefineWeights weights, int count, int modelId,
                               double exponentN, int maxIterations)
{
    RefineResult result = emptyResult();
    if (!findStart(x, y, count, modelId, exponentN, &result)) return result;
    solveFrom(x, y, weights, count, modelId, exponentN, maxIterations, result.startA, result.startB, &result);
    if (result.status == REFINE_CONVERGED || result.status == REFINE_TOO_FEW) return result;

    // The solver found no fit from the line's start: a pole may lie between that start and the
    // minimum. Starts on either side of it, best first, and the best fit any of them reaches.
    double starts[SCAN_STARTS][2];
    int startCount = scanStarts(x, y, count, modelId, starts);
    RefineResult best = result;
    for (int i = 0; i < startCount; ++i) {
        RefineResult trial = result;
        solveFrom(x, y, weights, count, modelId, exponentN, maxIterations, starts[i][0], starts[i][1], &trial);
        if (trial.status != REFINE_CONVERGED) continue;
        if (best.status == REFINE_CONVERGED && !(trial.fit.s < best.fit.s)) continue;
        trial.scannedStart = true;
        trial.scanA = starts[i][0];
        trial.scanB = starts[i][1];
        best = trial;
    }
    return best;
}
