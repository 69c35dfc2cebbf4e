// SPDX-License-Identifier: GPL-3.0-or-later
// The shared fit by GSL's trust-region Levenberg-Marquardt on the residuals sqrt(w) (f(X) - Y) of every
// point of every set, the parameter vector laid out as the shared parameters first and then each set's
// own, so set k reads its A and B through two column indices.
#include "shared_fit.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <math.h>
#include <stdio.h>

#include "fit_statistics.h"
#include "models.h"

namespace {

#define SHARED_XTOL 1e-12

struct Joint {
    const FitDataSet* sets;
    int setCount;
    int modelId;
    double exponentN;
    int share;
};

// Columns of A and B of set k in the parameter vector.
int columnA(const Joint& j, int k)
{
    if (j.share & SHARE_A) return 0;
    return (j.share & SHARE_B) ? 1 + k : 2 * k;
}

int columnB(const Joint& j, int k)
{
    if (j.share & SHARE_B) return (j.share & SHARE_A) ? 1 : 0;
    return (j.share & SHARE_A) ? 1 + k : 2 * k + 1;
}

int parameterCount(const Joint& j)
{
    int shared = ((j.share & SHARE_A) ? 1 : 0) + ((j.share & SHARE_B) ? 1 : 0);
    return shared + (2 - shared) * j.setCount;
}

double rootWeight(const FitDataSet& set, int i)
{
    return set.w != NULL ? sqrt(set.w[i]) : 1.0;
}

int jointResiduals(const gsl_vector* p, void* data, gsl_vector* f)
{
    const Joint& j = *static_cast<const Joint*>(data);
    size_t row = 0;
    for (int k = 0; k < j.setCount; ++k) {
        double a = gsl_vector_get(p, columnA(j, k)), b = gsl_vector_get(p, columnB(j, k));
        const FitDataSet& set = j.sets[k];
        for (int i = 0; i < set.count; ++i, ++row) {
            double value = evaluateModelWith(j.modelId, a, b, j.exponentN, set.x[i]);
            gsl_vector_set(f, row, rootWeight(set, i) * (value - set.y[i]));
        }
    }
    return GSL_SUCCESS;
}

int jointJacobian(const gsl_vector* p, void* data, gsl_matrix* jac)
{
    const Joint& j = *static_cast<const Joint*>(data);
    gsl_matrix_set_zero(jac);
    size_t row = 0;
    for (int k = 0; k < j.setCount; ++k) {
        int ca = columnA(j, k), cb = columnB(j, k);
        double a = gsl_vector_get(p, ca), b = gsl_vector_get(p, cb);
        const FitDataSet& set = j.sets[k];
        for (int i = 0; i < set.count; ++i, ++row) {
            double dA, dB, root = rootWeight(set, i);
            modelGradient(j.modelId, a, b, j.exponentN, set.x[i], &dA, &dB);
            gsl_matrix_set(jac, row, ca, root * dA);
            gsl_matrix_set(jac, row, cb, root * dB);
        }
    }
    return GSL_SUCCESS;
}

void startVector(const Joint& j, const SeparateFit* separate, gsl_vector* p)
{
    gsl_vector_set_zero(p);
    for (int k = 0; k < j.setCount; ++k) {
        double shareOfMean = 1.0 / j.setCount;
        int ca = columnA(j, k), cb = columnB(j, k);
        gsl_vector_set(p, ca, gsl_vector_get(p, ca) + ((j.share & SHARE_A) ? shareOfMean : 1.0) * separate[k].a);
        gsl_vector_set(p, cb, gsl_vector_get(p, cb) + ((j.share & SHARE_B) ? shareOfMean : 1.0) * separate[k].b);
    }
}

SharedFit failedShared(const char* reason)
{
    SharedFit fit = {};
    fit.a = fit.b = fit.seA = fit.seB = fit.sum = fit.sumSeparate = fit.aicc = fit.aiccSeparate = NAN;
    fit.fTest = FTest{NAN, 0, 0, NAN};
    snprintf(fit.reason, sizeof fit.reason, "%s", reason);
    return fit;
}

// Sums, errors and the comparison with the separate fits, from the solution p and its covariance.
void measureShared(const Joint& j, const SeparateFit* separate, const gsl_vector* p, const gsl_matrix* covariance,
                   const gsl_vector* residuals, bool absolute, SharedFit* fit)
{
    size_t row = 0;
    fit->sum = 0.0;
    fit->sumSeparate = 0.0;
    fit->count = 0;
    for (int k = 0; k < j.setCount; ++k) {
        SharedSetFit s = {};
        s.count = j.sets[k].count;
        for (int i = 0; i < s.count; ++i, ++row) s.sum += gsl_vector_get(residuals, row) * gsl_vector_get(residuals, row);
        fit->sets.push_back(s);
        fit->sum += s.sum;
        fit->sumSeparate += separate[k].sum;
        fit->count += s.count;
    }
    fit->parameters = parameterCount(j);
    fit->dof = fit->count - fit->parameters;
    fit->dofSeparate = fit->count - 2 * j.setCount;
    double scale = absolute ? 1.0 : fit->sum / fit->dof;
    for (int k = 0; k < j.setCount; ++k) {
        SharedSetFit& s = fit->sets[k];
        int ca = columnA(j, k), cb = columnB(j, k);
        s.a = gsl_vector_get(p, ca);
        s.b = gsl_vector_get(p, cb);
        s.seA = (j.share & SHARE_A) ? 0.0 : sqrt(scale * gsl_matrix_get(covariance, ca, ca));
        s.seB = (j.share & SHARE_B) ? 0.0 : sqrt(scale * gsl_matrix_get(covariance, cb, cb));
        s.s = s.count > 1 ? sqrt(s.sum / (s.count - 1)) : NAN;
    }
    fit->a = (j.share & SHARE_A) ? fit->sets[0].a : NAN;
    fit->b = (j.share & SHARE_B) ? fit->sets[0].b : NAN;
    fit->seA = (j.share & SHARE_A) ? sqrt(scale * gsl_matrix_get(covariance, 0, 0)) : NAN;
    fit->seB = (j.share & SHARE_B) ? sqrt(scale * gsl_matrix_get(covariance, columnB(j, 0), columnB(j, 0))) : NAN;
    fit->fTest = extraSumOfSquaresTest(fit->sum, fit->dof, fit->sumSeparate, fit->dofSeparate);
    fit->aicc = leastSquaresAicc(fit->sum, fit->count, fit->parameters);
    fit->aiccSeparate = leastSquaresAicc(fit->sumSeparate, fit->count, 2 * j.setCount);
}

} // namespace

FTest extraSumOfSquaresTest(double sum, int dof, double sumFull, int dofFull)
{
    FTest t = {NAN, dof - dofFull, dofFull, NAN};
    if (t.df1 < 1 || t.df2 < 1 || !(sumFull > 0.0)) return t;
    // The constrained fit cannot lie below the fuller one; a difference of rounding is no difference.
    double extra = sum > sumFull ? sum - sumFull : 0.0;
    t.f = (extra / t.df1) / (sumFull / t.df2);
    t.p = gsl_cdf_fdist_Q(t.f, t.df1, t.df2);
    return t;
}

SharedFit sharedFit(const FitDataSet* sets, const SeparateFit* separate, int setCount, int modelId, double exponentN,
                    int share, bool absolute, int maxIterations)
{
    if (setCount < 2) return failedShared("shared parameters need two or more data sets");
    if (modelRow(modelId) == NULL) return failedShared("no such model");
    if ((share & SHARE_BOTH) == 0 || (share & ~SHARE_BOTH) != 0) return failedShared("share A, B or both");
    Joint j = {sets, setCount, modelId, exponentN, share};
    size_t n = 0;
    for (int k = 0; k < setCount; ++k) n += (size_t)sets[k].count;
    size_t p = (size_t)parameterCount(j);
    if (n <= p) return failedShared("the sets have no more points than the shared fit has parameters");
    gsl_multifit_nlinear_fdf fdf = {};
    fdf.f = jointResiduals;
    fdf.df = jointJacobian;
    fdf.n = n;
    fdf.p = p;
    fdf.params = &j;
    gsl_multifit_nlinear_parameters parameters = gsl_multifit_nlinear_default_parameters();
    gsl_multifit_nlinear_workspace* work = gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &parameters, n, p);
    gsl_vector* start = gsl_vector_alloc(p);
    gsl_matrix* covariance = gsl_matrix_alloc(p, p);
    startVector(j, separate, start);
    gsl_error_handler_t* previous = gsl_set_error_handler_off();
    int info = 0;
    int status = gsl_multifit_nlinear_init(start, &fdf, work);
    if (status == GSL_SUCCESS) {
        status = gsl_multifit_nlinear_driver(maxIterations, SHARED_XTOL, SHARED_XTOL, 0.0, NULL, NULL, &info, work);
    }
    SharedFit fit = failedShared(status == GSL_SUCCESS ? "" : "the shared fit did not converge");
    if (status == GSL_SUCCESS) {
        gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(work), 0.0, covariance);
        fit.ok = true;
        fit.share = share;
        fit.iterations = (int)gsl_multifit_nlinear_niter(work);
        measureShared(j, separate, gsl_multifit_nlinear_position(work), covariance,
                      gsl_multifit_nlinear_residual(work), absolute, &fit);
        if (!isfinite(fit.sum)) {
            fit.ok = false;
            snprintf(fit.reason, sizeof fit.reason, "the model has no value at a point of the shared solution");
        }
    }
    gsl_set_error_handler(previous);
    gsl_matrix_free(covariance);
    gsl_vector_free(start);
    gsl_multifit_nlinear_free(work);
    return fit;
}
