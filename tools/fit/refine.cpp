// Levenberg-Marquardt refinement with GSL's nonlinear least-squares solver (trust region, LM step),
// with the model's derivatives written out, so a million points cost a few passes each iteration.
#include "refine.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>
#include <math.h>

#include <vector>

#include "models.h"

namespace {

const char* const NO_DERIVATIVE = "the model has no derivative at a point for these A and B";

struct Problem {
    const double* x;
    const double* y;
    int modelId;
    double exponentN;
};

int residuals(const gsl_vector* p, void* data, gsl_vector* f)
{
    const Problem* problem = static_cast<const Problem*>(data);
    double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1);
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
    double a = gsl_vector_get(p, 0), b = gsl_vector_get(p, 1);
    for (size_t i = 0; i < j->size1; ++i) {
        double* row = j->data + i * j->tda;
        modelGradient(problem->modelId, a, b, problem->exponentN, problem->x[i], &row[0], &row[1]);
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
            result->reason = status == GSL_EDOM ? NO_DERIVATIVE : gsl_strerror(status);
            return false;
        }
        ++result->iterations;
        int info = 0;
        status = gsl_multifit_nlinear_test(xtol, gtol, ftol, &info, work);
        if (status == GSL_SUCCESS) return true;
        if (status != GSL_CONTINUE) {
            result->reason = gsl_strerror(status);
            return false;
        }
    }
    result->reason = "iteration limit reached";
    return false;
}

// Residual sum, S and the standard errors at the solution: covariance (J'J)^-1 scaled by RSS / (n - 2).
void measure(gsl_multifit_nlinear_workspace* work, const Problem* problem, int used, RefineResult* result)
{
    const gsl_vector* p = gsl_multifit_nlinear_position(work);
    FitResult* fit = &result->fit;
    fit->a = gsl_vector_get(p, 0);
    fit->b = gsl_vector_get(p, 1);
    fit->residualSum = 0.0;
    double originY = problem->y[0], sumY = 0.0, sumYY = 0.0;
    for (int i = 0; i < used; ++i) {
        double r = evaluateModelWith(problem->modelId, fit->a, fit->b, problem->exponentN, problem->x[i]) -
                   problem->y[i];
        fit->residualSum = r * r + fit->residualSum;
        double dy = problem->y[i] - originY;
        sumY += dy;
        sumYY += dy * dy;
    }
    fit->s = sqrt(fit->residualSum / (double)(used - 1));
    double spreadYY = sumYY - sumY * (sumY / (double)used);
    if (spreadYY < 0.0) spreadYY = 0.0;

    gsl_matrix* covariance = gsl_matrix_alloc(2, 2);
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(work), 0.0, covariance);
    double scale = used > 2 ? fit->residualSum / (double)(used - 2) : NAN;
    result->uncertainty = uncertaintyFromVariances(fit->a, fit->b, gsl_matrix_get(covariance, 0, 0) * scale,
                                                   gsl_matrix_get(covariance, 1, 1) * scale, used,
                                                   fit->residualSum, spreadYY);
    gsl_matrix_free(covariance);
}

RefineResult emptyResult()
{
    RefineResult result = {};
    result.status = REFINE_NO_START;
    result.fit = FitResult{NAN, NAN, NAN, NAN};
    result.uncertainty = FitUncertainty{NAN, NAN, {NAN, NAN}, {NAN, NAN}, NAN, NAN, NAN};
    result.reason = "";
    return result;
}

} // namespace

bool lineTakesPoint(int modelId, double exponentN, double x, double y)
{
    double t, z;
    lineariseModel(modelId, exponentN, x, y, &t, &z);
    return isfinite(t) && isfinite(z);
}

void modelGradient(int modelId, double a, double b, double n, double x, double* dA, double* dB)
{
    const double ln10 = log(10.0);
    double u, e;
    switch (modelId) {
    case 0: *dA = 1.0; *dB = x; break;
    case 1: u = b * x + a; *dA = -1.0 / (u * u); *dB = -x / (u * u); break;
    case 2: *dA = 1.0; *dB = 1.0 / x; break;
    case 3: u = b * x + a; *dA = -x / (u * u); *dB = -x * x / (u * u); break;
    case 4: e = pow(b, x); *dA = e; *dB = a * x * pow(b, x - 1.0); break;
    case 5: e = exp(b * x); *dA = e; *dB = a * x * e; break;
    case 6: e = pow(10.0, b * x); *dA = e; *dB = a * ln10 * x * e; break;
    case 7: e = exp(-x); u = e * b + a; *dA = -1.0 / (u * u); *dB = -e / (u * u); break;
    case 8:
        e = pow(x, b);
        *dA = e;
        // At X = 0, X^B * ln X tends to 0 for B > 0 (the model's value there is 0 whatever B is).
        *dB = (x == 0.0 && b > 0.0) ? 0.0 : a * e * log(x);
        break;
    case 9: *dA = 1.0; *dB = log10(x); break;
    case 10: *dA = 1.0; *dB = log(x); break;
    case 11: u = b + x; *dA = 1.0 / u; *dB = -a / (u * u); break;
    case 12: u = b + x; *dA = x / u; *dB = -a * x / (u * u); break;
    case 13: e = exp(b / x); *dA = e; *dB = a * e / x; break;
    case 14: e = pow(10.0, b / x); *dA = e; *dB = a * ln10 * e / x; break;
    case 15: *dA = 1.0; *dB = pow(x, n); break;
    default: *dA = NAN; *dB = NAN; break;
    }
}

RefineResult refineFit(const double* x, const double* y, int count, int modelId, double exponentN,
                       int maxIterations)
{
    RefineResult result = emptyResult();
    if (!findStart(x, y, count, modelId, exponentN, &result)) return result;

    // The points where the model has a value at the start; the others have none to compare with Y.
    std::vector<double> keptX, keptY;
    const double *usedX, *usedY;
    double startA = result.startA, startB = result.startB;
    int used = keptPoints(
        x, y, count,
        [modelId, exponentN, startA, startB](double px, double) {
            return isfinite(evaluateModelWith(modelId, startA, startB, exponentN, px)) != 0;
        },
        &keptX, &keptY, &usedX, &usedY);
    result.pointsUsed = used;
    result.leftOut = count - used;
    // Of the points used, those the line could not take: a point without a model value is told once.
    result.leftOutOfStart = 0;
    for (int i = 0; i < used; ++i) result.leftOutOfStart += lineTakesPoint(modelId, exponentN, usedX[i], usedY[i]) ? 0 : 1;
    if (used < 2) {
        result.status = REFINE_TOO_FEW;
        return result;
    }

    gsl_error_handler_t* previousHandler = gsl_set_error_handler_off();
    Problem problem = {usedX, usedY, modelId, exponentN};
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
    double start[2] = {result.startA, result.startB};
    gsl_vector_view startView = gsl_vector_view_array(start, 2);
    bool converged = false;
    if (gsl_multifit_nlinear_init(&startView.vector, &fdf, work) == GSL_SUCCESS) {
        converged = iterate(work, maxIterations, &result);
    } else {
        result.reason = NO_DERIVATIVE;
    }
    measure(work, &problem, used, &result);
    result.uncertainty.r2Line = result.startR2Line;
    if (!isfinite(result.fit.a) || !isfinite(result.fit.b) || !isfinite(result.fit.residualSum)) {
        converged = false;
        if (result.reason[0] == 0) result.reason = "the parameters left the finite numbers";
    }
    result.status = converged ? REFINE_CONVERGED : REFINE_NOT_CONVERGED;
    gsl_multifit_nlinear_free(work);
    gsl_set_error_handler(previousHandler);
    return result;
}
