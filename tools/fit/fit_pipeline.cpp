// SPDX-License-Identifier: GPL-3.0-or-later
// The one fit pipeline of kelvora-fit: the linearised fit of the problem (weights and a fixed parameter
// included), its uncertainty by the delta method, and the refinement on Y from it.
#include "fit_record.h"

#include <math.h>

#include "models.h"

namespace {

// R2 on Y with the problem's weights, over the points where the model has a value at (a, b):
// 1 - sum w (Y - fitted)^2 / sum w (Y - weighted mean)^2, or about 0 with uncentred.
double r2OnY(const FitProblem& p, double a, double b, bool uncentred)
{
    double sumW = 0.0, sumWY = 0.0;
    for (int i = 0; i < p.count; ++i) {
        if (!isfinite(evaluateModelWith(p.modelId, a, b, p.exponentN, p.x[i]))) continue;
        sumW += weightAt(p.w, i);
        sumWY += weightAt(p.w, i) * p.y[i];
    }
    double meanY = uncentred ? 0.0 : sumWY / sumW, chi2 = 0.0, spread = 0.0;
    for (int i = 0; i < p.count; ++i) {
        double fitted = evaluateModelWith(p.modelId, a, b, p.exponentN, p.x[i]);
        if (!isfinite(fitted)) continue;
        chi2 += weightAt(p.w, i) * (p.y[i] - fitted) * (p.y[i] - fitted);
        spread += weightAt(p.w, i) * (p.y[i] - meanY) * (p.y[i] - meanY);
    }
    return 1.0 - chi2 / spread;
}

// A model whose Y is A + B * t(X) with A held at 0 has no intercept: its R2 is taken about 0, as for
// any regression through the origin.
bool throughOrigin(const FitProblem& p)
{
    const ModelRow* row = modelRow(p.modelId);
    return row != nullptr && row->lineOnY && p.fixed.parameter == 0 && p.fixed.value == 0.0;
}

// A fixed parameter has no variance and no covariance with the other.
void holdFixed(const FitProblem& p, FitRecord* r)
{
    FitUncertainty& u = r->uncertainty;
    double t = studentT975(r->dof);
    double se = r->dof >= 1 ? 0.0 : NAN;
    if (p.fixed.parameter == 0) {
        u.seA = se;
        u.ciA[0] = r->fit.a - t * se;
        u.ciA[1] = r->fit.a + t * se;
        r->varA = 0.0;
    } else {
        u.seB = se;
        u.ciB[0] = r->fit.b - t * se;
        u.ciB[1] = r->fit.b + t * se;
        r->varB = 0.0;
    }
    if (r->dof >= 1) u.covAB = 0.0;
}

// The record's covariance, chi2 and R2 once its fit and uncertainty are set.
void finishRecord(const FitProblem& p, bool weightedR2, FitRecord* r)
{
    r->varA = r->uncertainty.seA * r->uncertainty.seA;
    r->varB = r->uncertainty.seB * r->uncertainty.seB;
    if (p.fixed.parameter >= 0) holdFixed(p, r);
    r->r2Uncentred = throughOrigin(p);
    if (r->r2Uncentred || weightedR2) r->uncertainty.r2 = r2OnY(p, r->fit.a, r->fit.b, r->r2Uncentred);
    // On the straight line of a model on Y the line's R2 is that on Y.
    if (r->r2Uncentred && !recordRefined(*r)) r->uncertainty.r2Line = r->uncertainty.r2;
}

FitRecord linearisedRecord(const FitProblem& p, LineFit* line)
{
    FitRecord r = {};
    r.modelId = p.modelId;
    r.exponentN = p.exponentN;
    r.method = "linearised";
    r.count = p.count;
    r.dof = p.count - fittedParameters(p);
    LineProblem lineProblem = lineProblemOf(p);
    r.fit = fitLineProblem(&lineProblem, line);
    // One point has no spread about a curve: S is no number, as A and B are.
    if (p.count < 2) r.fit.s = NAN;
    r.uncertainty = lineUncertainty(p.modelId, r.dof, p.absolute, &r.fit, line);
    r.chi2 = p.w != nullptr ? scaledSumTotal(line->chi2) : NAN;
    r.linearised = r.fit;
    finishRecord(p, false, &r);
    return r;
}

void refineRecord(const FitProblem& p, const LineFit& line, FitRecord* r)
{
    r->refineAsked = true;
    // The plain line just fitted is the refinement's start when it took every point: not fitted twice.
    // A weighted fit starts from the unweighted line, a fixed one from its own line over the points
    // that line takes: the refinement fits those itself.
    RefineStart start;
    bool plain = p.w == nullptr && p.fixed.parameter < 0;
    bool haveStart = plain && lineFitAsStart(p.x, p.y, p.count, p.modelId, r->linearised, line,
                                             r->uncertainty.r2Line, &start);
    RefineRequest request = {p.x, p.y, RefineWeights{p.w, p.absolute}, p.count, p.modelId, p.exponentN, p.fixed,
                             REFINE_MAX_ITERATIONS, REFINE_STREAMING};
    r->refinement = refineProblem(request, haveStart ? &start : nullptr);
}

} // namespace

void addRecordField(FitRecord* record, const char* name, double value)
{
    record->extra.push_back(RecordField{name, {value}, "", FIELD_EVERYWHERE});
}

void addRecordInterval(FitRecord* record, const char* name, double low, double high)
{
    record->extra.push_back(RecordField{name, {low, high}, "", FIELD_EVERYWHERE});
}

void addRecordText(FitRecord* record, const char* name, const std::string& text, RecordFieldPlace place)
{
    record->extra.push_back(RecordField{name, {}, text, place});
}

void addRecordList(FitRecord* record, const char* name, const std::vector<double>& values)
{
    record->extra.push_back(RecordField{name, values, "", FIELD_JSON_ONLY});
}

int fittedParameters(const FitProblem& problem)
{
    return problem.fixed.parameter >= 0 ? 1 : 2;
}

bool recordRefined(const FitRecord& record)
{
    return record.refineAsked && record.refinement.status == REFINE_CONVERGED;
}

bool recordFinite(const FitRecord& record)
{
    return isfinite(record.fit.a) && isfinite(record.fit.b) && isfinite(record.fit.s);
}

bool recordUsable(const FitRecord& record)
{
    return recordFinite(record) && (!record.refineAsked || recordRefined(record));
}

FitRecord fitProblem(const FitProblem& problem, bool refine)
{
    LineFit line;
    FitRecord r = linearisedRecord(problem, &line);
    if (!refine) return r;
    refineRecord(problem, line, &r);
    if (!recordRefined(r)) return r;
    const RefineResult& refined = r.refinement;
    r.method = "refined";
    r.fit = refined.fit;
    r.uncertainty = refined.uncertainty;
    r.count = refined.pointsUsed;
    r.dof = refined.dof;
    r.chi2 = refined.chi2;
    finishRecord(problem, problem.w != nullptr, &r);
    return r;
}
