// SPDX-License-Identifier: GPL-3.0-or-later
// Robust fits. The residual of point i is scaled as GSL scales it, u = r / (tune * sigma * sqrt(1 - h)),
// h its leverage and sigma the median absolute residual over 0.6745 (of the n - 2 largest, as GSL takes
// it: the two smallest are zero-like for a two-parameter fit through two points).
#include "robust.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_sort.h>
#include <gsl/gsl_statistics_double.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "models.h"
#include "refine.h"

namespace {

struct RobustKindRow {
    const char* name;
    double tune;
    const gsl_multifit_robust_type* const* gslType;
};

const RobustKindRow ROBUST_KINDS[ROBUST_KIND_COUNT] = {
    {"bisquare", 4.685, &gsl_multifit_robust_bisquare}, {"huber", 1.345, &gsl_multifit_robust_huber},
    {"cauchy", 2.385, &gsl_multifit_robust_cauchy},     {"fair", 1.4, &gsl_multifit_robust_fair},
    {"welsch", 2.985, &gsl_multifit_robust_welsch},
};

RobustFit failedRobust(const char* reason)
{
    RobustFit fit = {};
    fit.a = fit.b = fit.seA = fit.seB = fit.covAB = fit.sigma = NAN;
    snprintf(fit.reason, sizeof fit.reason, "%s", reason);
    return fit;
}

double weightOf(const double* w, int i)
{
    return w != NULL ? w[i] : 1.0;
}

// Median of the count - 2 largest |r| over 0.6745.
double madSigma(const std::vector<double>& r)
{
    std::vector<double> magnitudes;
    for (double v : r) magnitudes.push_back(fabs(v));
    gsl_sort(magnitudes.data(), 1, magnitudes.size());
    size_t skip = magnitudes.size() > 2 ? 2 : 0;
    double median = gsl_stats_median_from_sorted_data(magnitudes.data() + skip, 1, magnitudes.size() - skip);
    return median / 0.6745;
}

// Scaled residuals sqrt(w) (Y - f) / sqrt(1 - h) at (a, b), h from the data-weighted Jacobian there.
bool scaledResiduals(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
                     double a, double b, std::vector<double>* r)
{
    double s00 = 0.0, s01 = 0.0, s11 = 0.0;
    for (int i = 0; i < count; ++i) {
        double dA, dB;
        modelGradient(modelId, a, b, exponentN, x[i], &dA, &dB);
        s00 += weightOf(w, i) * dA * dA;
        s01 += weightOf(w, i) * dA * dB;
        s11 += weightOf(w, i) * dB * dB;
    }
    double det = s00 * s11 - s01 * s01;
    if (!(det > 0.0) || !isfinite(det)) return false;
    r->resize(count);
    for (int i = 0; i < count; ++i) {
        double dA, dB;
        modelGradient(modelId, a, b, exponentN, x[i], &dA, &dB);
        double h = weightOf(w, i) * (dA * dA * s11 - 2.0 * dA * dB * s01 + dB * dB * s00) / det;
        double residual = sqrt(weightOf(w, i)) * (y[i] - evaluateModelWith(modelId, a, b, exponentN, x[i]));
        (*r)[i] = residual / sqrt(h < 1.0 ? 1.0 - h : 1.0);
        if (!isfinite((*r)[i])) return false;
    }
    return true;
}

// The robust weight of each scaled residual; a spread of 0 (most points exactly on the curve) keeps
// the points on it and drops the rest.
double assignWeights(RobustKind kind, const std::vector<double>& r, double* weights)
{
    double sigma = madSigma(r), scale = ROBUST_KINDS[kind].tune * sigma;
    for (size_t i = 0; i < r.size(); ++i) {
        if (scale > 0.0) {
            weights[i] = robustWeight(kind, r[i] / scale);
        } else {
            weights[i] = r[i] == 0.0 ? 1.0 : 0.0;
        }
    }
    return sigma;
}

// The line's weight of each point: 1 without weights, else w / (dz/dY)^2 as the weighted line takes it.
bool lineRows(const double* x, const double* y, const double* w, int count, int modelId, double exponentN,
              gsl_matrix* design, gsl_vector* z)
{
    for (int i = 0; i < count; ++i) {
        double t, zi, root = 1.0;
        lineariseModel(modelId, exponentN, x[i], y[i], &t, &zi);
        if (w != NULL) root = sqrt(w[i]) / fabs(lineSlopeInY(modelId, x[i], y[i]));
        if (!isfinite(t) || !isfinite(zi) || !isfinite(root)) return false;
        gsl_matrix_set(design, i, 0, root);
        gsl_matrix_set(design, i, 1, root * t);
        gsl_vector_set(z, i, root * zi);
    }
    return true;
}

// The covariance of the line's intercept and slope from the final weights: s^2 (X'WX)^-1 with s^2 the
// weighted residual sum per degree of freedom, as the refinement's errors are taken. GSL's own
// covariance takes the larger of its robust and least-squares spreads, which one gross outlier among
// a few points inflates many times.
void weightedLineCovariance(const gsl_matrix* design, const gsl_vector* z, const gsl_vector* c,
                            const gsl_vector* weights, gsl_matrix* cov)
{
    double m00 = 0.0, m01 = 0.0, m11 = 0.0, sum = 0.0;
    size_t n = design->size1;
    for (size_t i = 0; i < n; ++i) {
        double w = gsl_vector_get(weights, i), d0 = gsl_matrix_get(design, i, 0), d1 = gsl_matrix_get(design, i, 1);
        double r = gsl_vector_get(z, i) - d0 * gsl_vector_get(c, 0) - d1 * gsl_vector_get(c, 1);
        m00 += w * d0 * d0;
        m01 += w * d0 * d1;
        m11 += w * d1 * d1;
        sum += w * r * r;
    }
    double s2 = n > 2 ? sum / (double)(n - 2) : NAN, det = m00 * m11 - m01 * m01;
    gsl_matrix_set(cov, 0, 0, s2 * m11 / det);
    gsl_matrix_set(cov, 0, 1, -s2 * m01 / det);
    gsl_matrix_set(cov, 1, 0, -s2 * m01 / det);
    gsl_matrix_set(cov, 1, 1, s2 * m00 / det);
}

// A and B with their errors from the line's intercept and slope and their covariance.
void fromRobustLine(int modelId, const gsl_vector* c, const gsl_matrix* cov, RobustFit* fit)
{
    double a0 = gsl_vector_get(c, 0), b0 = gsl_vector_get(c, 1), j[2][2];
    backTransformLine(modelId, a0, b0, &fit->a, &fit->b);
    backTransformJacobian(modelId, a0, b0, j);
    double v00 = gsl_matrix_get(cov, 0, 0), v01 = gsl_matrix_get(cov, 0, 1), v11 = gsl_matrix_get(cov, 1, 1);
    fit->seA = sqrt(j[0][0] * j[0][0] * v00 + 2.0 * j[0][0] * j[0][1] * v01 + j[0][1] * j[0][1] * v11);
    fit->seB = sqrt(j[1][0] * j[1][0] * v00 + 2.0 * j[1][0] * j[1][1] * v01 + j[1][1] * j[1][1] * v11);
    fit->covAB = j[0][0] * j[1][0] * v00 + (j[0][0] * j[1][1] + j[0][1] * j[1][0]) * v01 + j[0][1] * j[1][1] * v11;
}

} // namespace

bool robustKindNamed(const char* name, RobustKind* kind)
{
    for (int k = 0; k < ROBUST_KIND_COUNT; ++k) {
        if (strcmp(name, ROBUST_KINDS[k].name) == 0) {
            *kind = (RobustKind)k;
            return true;
        }
    }
    return false;
}

const char* robustKindName(RobustKind kind)
{
    return kind >= 0 && kind < ROBUST_KIND_COUNT ? ROBUST_KINDS[kind].name : "";
}

double robustWeight(RobustKind kind, double u)
{
    double m = fabs(u);
    switch (kind) {
    case ROBUST_BISQUARE: return m < 1.0 ? (1.0 - u * u) * (1.0 - u * u) : 0.0;
    case ROBUST_HUBER: return m <= 1.0 ? 1.0 : 1.0 / m;
    case ROBUST_CAUCHY: return 1.0 / (1.0 + u * u);
    case ROBUST_FAIR: return 1.0 / (1.0 + m);
    case ROBUST_WELSCH: return exp(-u * u);
    default: return NAN;
    }
}

RobustFit robustLinearisedFit(const double* x, const double* y, const double* w, int count, int modelId,
                              double exponentN, RobustKind kind, double* weights)
{
    if (modelRow(modelId) == NULL || kind < 0 || kind >= ROBUST_KIND_COUNT) return failedRobust("no such model");
    if (count < 3) return failedRobust("a robust fit needs three points");
    gsl_matrix* design = gsl_matrix_alloc(count, 2);
    gsl_vector* z = gsl_vector_alloc(count);
    gsl_vector* c = gsl_vector_alloc(2);
    gsl_matrix* cov = gsl_matrix_alloc(2, 2);
    gsl_multifit_robust_workspace* work = gsl_multifit_robust_alloc(*ROBUST_KINDS[kind].gslType, count, 2);
    RobustFit fit = failedRobust("the model's straight line cannot take every point");
    gsl_error_handler_t* previous = gsl_set_error_handler_off();
    if (lineRows(x, y, w, count, modelId, exponentN, design, z)) {
        int status = gsl_multifit_robust(design, z, c, cov, work);
        gsl_multifit_robust_stats stats = gsl_multifit_robust_statistics(work);
        if (status == GSL_SUCCESS) {
            fit.ok = true;
            fit.reason[0] = '\0';
            weightedLineCovariance(design, z, c, stats.weights, cov);
            fromRobustLine(modelId, c, cov, &fit);
            fit.sigma = stats.sigma;
            fit.iterations = (int)stats.numit;
            for (int i = 0; i < count; ++i) weights[i] = gsl_vector_get(stats.weights, i);
        } else {
            snprintf(fit.reason, sizeof fit.reason, "the robust line did not converge");
        }
    }
    gsl_set_error_handler(previous);
    gsl_multifit_robust_free(work);
    gsl_matrix_free(cov);
    gsl_vector_free(c);
    gsl_vector_free(z);
    gsl_matrix_free(design);
    return fit;
}

RobustFit robustRefinedFit(const double* x, const double* y, const double* w, int count, int modelId,
                           double exponentN, RobustKind kind, double startA, double startB, int maxIterations,
                           double* weights)
{
    if (modelRow(modelId) == NULL || kind < 0 || kind >= ROBUST_KIND_COUNT) return failedRobust("no such model");
    if (count < 3) return failedRobust("a robust fit needs three points");
    std::vector<double> r, combined(count);
    RobustFit fit = failedRobust("the robust refinement did not converge");
    double a = startA, b = startB;
    for (fit.iterations = 1; fit.iterations <= maxIterations; ++fit.iterations) {
        if (!scaledResiduals(x, y, w, count, modelId, exponentN, a, b, &r)) {
            return failedRobust("the model has no derivative at a point for these A and B");
        }
        fit.sigma = assignWeights(kind, r, weights);
        for (int i = 0; i < count; ++i) combined[i] = weightOf(w, i) * weights[i];
        RefineStart start = {a, b, NAN};
        RefineResult step = refineFitFrom(x, y, RefineWeights{combined.data(), false}, count, modelId, exponentN,
                                          REFINE_MAX_ITERATIONS, REFINE_STREAMING, &start);
        if (step.status != REFINE_CONVERGED) return failedRobust(step.reason);
        bool still = fabs(step.fit.a - a) <= 1e-10 * fabs(a) + 1e-300 && fabs(step.fit.b - b) <= 1e-10 * fabs(b) + 1e-300;
        a = step.fit.a;
        b = step.fit.b;
        fit.seA = step.uncertainty.seA;
        fit.seB = step.uncertainty.seB;
        fit.covAB = step.uncertainty.covAB;
        if (still) {
            fit.ok = true;
            fit.reason[0] = '\0';
            break;
        }
    }
    fit.a = a;
    fit.b = b;
    return fit;
}
