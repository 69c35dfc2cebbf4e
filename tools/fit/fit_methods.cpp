// SPDX-License-Identifier: GPL-3.0-or-later
// The further fit methods, each filling the one record from its own solver: the fits with errors in
// both, the robust fits, and the profile and bootstrap intervals laid over a fit's record.
#include "fit_methods.h"

#include <math.h>
#include <stdio.h>

#include <vector>

#include "bootstrap.h"
#include "fit_uncertainty.h"
#include "models.h"
#include "point_list.h"
#include "profile.h"
#include "refine.h"
#include "xy_errors.h"

namespace {

double weightAt(const FitProblem& p, int i)
{
    return p.w != nullptr ? p.w[i] : 1.0;
}

// R2 on Y with the problem's weights: 1 - sum w (Y - fitted)^2 / sum w (Y - weighted mean)^2.
double weightedR2(const FitProblem& p, double a, double b)
{
    double sumW = 0.0, sumWY = 0.0, unexplained = 0.0, spread = 0.0;
    for (int i = 0; i < p.count; ++i) {
        sumW += weightAt(p, i);
        sumWY += weightAt(p, i) * p.y[i];
    }
    for (int i = 0; i < p.count; ++i) {
        double r = p.y[i] - evaluateModelWith(p.modelId, a, b, p.exponentN, p.x[i]), d = p.y[i] - sumWY / sumW;
        unexplained += weightAt(p, i) * r * r;
        spread += weightAt(p, i) * d * d;
    }
    return 1.0 - unexplained / spread;
}

// A record of model problem.modelId at (a, b) with the errors given: A, B, RSS and S on Y, the Student
// intervals, R2 on Y (weighted with weights) and the covariance.
FitRecord recordAt(const FitProblem& p, const char* method, double a, double b, double seA, double seB, double covAB)
{
    FitRecord r = {};
    r.modelId = p.modelId;
    r.exponentN = p.exponentN;
    r.method = method;
    r.count = p.count;
    r.dof = p.count - 2;
    ScaledSum residualSum = {0.0, 0}, spread = {0.0, 0};
    double meanY = 0.0;
    r.fit = measureFit(p.x, p.y, p.count, p.modelId, p.exponentN, a, b, &residualSum, &spread, &meanY);
    if (p.count < 2) r.fit.s = NAN;
    r.uncertainty = uncertaintyOnY(a, b, seA, seB, r.dof, residualSum, residualSum, spread);
    r.uncertainty.covAB = covAB;
    if (p.w != nullptr) r.uncertainty.r2 = weightedR2(p, a, b);
    r.varA = seA * seA;
    r.varB = seB * seB;
    r.chi2 = NAN;
    r.linearised = r.fit;
    return r;
}

double weightedSum(const FitProblem& p, double a, double b)
{
    double sum = 0.0;
    for (int i = 0; i < p.count; ++i) {
        double r = p.y[i] - evaluateModelWith(p.modelId, a, b, p.exponentN, p.x[i]);
        sum += weightAt(p, i) * r * r;
    }
    return sum;
}

// "6 (0), 9 (0.31)": the points weighed below one half, numbered from 1, with their weights.
std::string weighedDown(const std::vector<double>& weights)
{
    std::string text;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (!(weights[i] < 0.5)) continue;
        char item[48];
        snprintf(item, sizeof item, "%s%zu (%.2g)", text.empty() ? "" : ", ", i + 1, weights[i]);
        text += item;
    }
    return text.empty() ? "none" : text;
}

void keepWaldIntervals(FitRecord* r, const char* method)
{
    addRecordText(r, "ci_method", method);
    addRecordInterval(r, "ci_A_wald", r->uncertainty.ciA[0], r->uncertainty.ciA[1]);
    addRecordInterval(r, "ci_B_wald", r->uncertainty.ciB[0], r->uncertainty.ciB[1]);
}

// The profile intervals in place of the Wald ones: the sum on Y (weighted), s from it per degree of
// freedom (1 for absolute sigma), the bound at t(0.975, dof).
void applyProfile(const FitProblem& p, FitRecord* r)
{
    double sum = weightedSum(p, r->fit.a, r->fit.b);
    ProfileProblem pp = {p.x, p.y, p.w, p.count, p.modelId, p.exponentN, r->fit.a, r->fit.b,
                         r->uncertainty.seA, r->uncertainty.seB, sum};
    double s = p.absolute ? 1.0 : sqrt(sum / r->dof), cutoff = studentT975(r->dof);
    ProfileInterval a = profileInterval(pp, 0, s, cutoff), b = profileInterval(pp, 1, s, cutoff);
    keepWaldIntervals(r, "profile");
    r->uncertainty.ciA[0] = a.ok ? a.low : NAN;
    r->uncertainty.ciA[1] = a.ok ? a.high : NAN;
    r->uncertainty.ciB[0] = b.ok ? b.low : NAN;
    r->uncertainty.ciB[1] = b.ok ? b.high : NAN;
}

// A resample refitted by the linearised fit of the problem's model and weights.
struct LineRefitContext {
    const FitProblem* problem;
};

bool lineRefit(const double* y, void* context, double* a, double* b)
{
    const FitProblem& p = *static_cast<const LineRefitContext*>(context)->problem;
    LineProblem line = {p.x, y, p.w, p.count, p.modelId, p.exponentN, FixedParameter{-1, 0.0}};
    FitResult fit = fitLineProblem(&line, NULL);
    *a = fit.a;
    *b = fit.b;
    return isfinite(fit.a) && isfinite(fit.b);
}

void applyBootstrap(const FitProblem& p, const MethodRequest& request, FitRecord* r)
{
    RefineRefitContext refined = {p.x, RefineWeights{p.w, p.absolute}, p.count, p.modelId, p.exponentN,
                                  r->fit.a, r->fit.b};
    LineRefitContext line = {&p};
    bool refit = recordRefined(*r);
    BootstrapProblem bp = {p.x, p.y, p.w, p.count, p.modelId, p.exponentN, r->fit.a, r->fit.b,
                           refit ? refineRefit : lineRefit, refit ? (void*)&refined : (void*)&line};
    BootstrapResult result = bootstrapIntervals(bp, request.resamples, request.seed, BOOTSTRAP_THREADS);
    keepWaldIntervals(r, "bootstrap");
    r->uncertainty.ciA[0] = result.ciA[0];
    r->uncertainty.ciA[1] = result.ciA[1];
    r->uncertainty.ciB[0] = result.ciB[0];
    r->uncertainty.ciB[1] = result.ciB[1];
    addRecordField(r, "bootstrap_resamples", result.resamples);
    addRecordField(r, "bootstrap_failed", result.failed);
    addRecordField(r, "bootstrap_seed", (double)request.seed);
    addRecordField(r, "se_A_bootstrap", result.seA);
    addRecordField(r, "se_B_bootstrap", result.seB);
}

} // namespace

FitRecord errorsInBothRecord(const FitProblem& p)
{
    XYPoints points = {p.x, p.y, p.sigmaX, p.sigma, p.count};
    XYFit f = fitWithErrorsInBoth(points, p.modelId, p.exponentN);
    FitRecord r = recordAt(p, f.method, f.a, f.b, f.seA, f.seB, f.covAB);
    r.chi2 = f.chi2;
    addRecordText(&r, "method", f.method);
    addRecordField(&r, "mswd", f.mswd);
    addRecordField(&r, "se_A_scaled", f.seAScaled);
    addRecordField(&r, "se_B_scaled", f.seBScaled);
    addRecordText(&r, "errors", "se_A, se_B from the sigma alone; se_A_scaled, se_B_scaled times sqrt(mswd)",
                  FIELD_TEXT_ONLY);
    if (!f.ok) addRecordText(&r, "failed", f.reason);
    return r;
}

FitRecord robustRecord(const FitProblem& p, bool refine, RobustKind kind)
{
    std::vector<double> weights(p.count, NAN);
    RobustFit fit = robustLinearisedFit(p.x, p.y, p.w, p.count, p.modelId, p.exponentN, kind, weights.data());
    RobustFit line = fit;
    if (refine && line.ok) {
        fit = robustRefinedFit(p.x, p.y, p.w, p.count, p.modelId, p.exponentN, kind, line.a, line.b,
                               ROBUST_MAX_ITERATIONS, weights.data());
    }
    FitRecord r = recordAt(p, "robust", fit.a, fit.b, fit.seA, fit.seB, fit.covAB);
    if (p.w != nullptr) r.chi2 = weightedSum(p, fit.a, fit.b);
    r.refineAsked = refine;
    r.refinement.status = fit.ok && line.ok ? REFINE_CONVERGED : REFINE_NOT_CONVERGED;
    r.refinement.iterations = fit.iterations;
    r.refinement.startA = line.a;
    r.refinement.startB = line.b;
    r.refinement.pointsUsed = p.count;
    r.refinement.dof = r.dof;
    snprintf(r.refinement.reason, sizeof r.refinement.reason, "%s", fit.reason);
    addRecordText(&r, "robust", robustKindName(kind));
    addRecordField(&r, "robust_sigma", fit.sigma);
    addRecordText(&r, "weighed_down", weighedDown(weights), FIELD_TEXT_ONLY);
    addRecordList(&r, "robust_weights", weights);
    return r;
}

FitRecord fitWithMethods(const FitProblem& problem, const MethodRequest& request)
{
    if (problem.sigmaX != nullptr) return errorsInBothRecord(problem);
    FitRecord r = request.robust ? robustRecord(problem, request.refine, request.robustKind)
                                 : fitProblem(problem, request.refine);
    if (!recordUsable(r) || problem.fixed.parameter >= 0) return r;
    if (request.ci == CI_PROFILE) applyProfile(problem, &r);
    if (request.ci == CI_BOOTSTRAP) applyBootstrap(problem, request, &r);
    return r;
}
