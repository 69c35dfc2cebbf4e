// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit's output formats. Nothing here fits or derives: each function writes what the problem,
// the record and its view hold, with one number formatter.
#include "report.h"

#include <math.h>
#include <string.h>

#include "fit_output.h"
#include "models.h"

namespace {

void printValue(FILE* out, NumberFormat format, const char* name, double value)
{
    char text[40];
    fprintf(out, "%s=%s\n", name, formatNumber(format, value, text));
}

void printInterval(FILE* out, NumberFormat format, const char* name, const double interval[2])
{
    char low[40], high[40];
    fprintf(out, "%s=[%s, %s]\n", name, formatNumber(format, interval[0], low), formatNumber(format, interval[1], high));
}

const char* pointWord(int count)
{
    return count == 1 ? "point" : "points";
}

const char* parameterName(int parameter)
{
    return parameter == 0 ? "A" : "B";
}

// Why a refinement did not give a fit, in one phrase.
const char* refineFailure(const FitRecord& m)
{
    const RefineResult& r = m.refinement;
    switch (r.status) {
    case REFINE_NO_START:
        if (m.count - r.leftOutOfStart >= 2) {
            return "no start: the points the linearised fit can take do not determine its straight line";
        }
        return "no start: fewer than two points the linearised fit can take";
    case REFINE_TOO_FEW: return "fewer than two points where the model has a value";
    case REFINE_NOT_CONVERGED:
    case REFINE_POLE_IN_DATA:
    case REFINE_DEGENERATE: return r.reason;
    default: return "";
    }
}

// Why a fit has no finite A, B or S, in one phrase: the linearised fit either met points its straight
// line cannot take (how many in *outside, the first named), or its points do not determine a line.
std::string whyNotFinite(const FitProblem& p, int* outside)
{
    int first = -1;
    *outside = 0;
    for (int i = 0; i < p.count; ++i) {
        if (lineTakesPoint(p.modelId, p.exponentN, p.x[i], p.y[i])) continue;
        if ((*outside)++ == 0) first = i;
    }
    if (first < 0) return "the points do not determine the model's straight line (fewer than two, or all at one X)";
    char text[200];
    snprintf(text, sizeof text, "the linearised model cannot take %d of %d %s, the first is point %d (X=%g, Y=%g)",
             *outside, p.count, pointWord(p.count), first + 1, shownNumber(p.x[first]), shownNumber(p.y[first]));
    return text;
}

// Where the refinement came from and what it left out, one line.
void printRefineNote(FILE* out, NumberFormat format, const FitRecord& m)
{
    const RefineResult& r = m.refinement;
    char a[40], b[40];
    fprintf(out, "refined: least squares on Y, %d iterations from the linearised A=%s B=%s", r.iterations,
            formatNumber(format, r.startA, a), formatNumber(format, r.startB, b));
    if (r.scannedStart) {
        fprintf(out, " (which gave no fit) restarted at A=%s B=%s", formatNumber(format, r.scanA, a),
                formatNumber(format, r.scanB, b));
    }
    if (r.leftOutOfStart > 0) {
        fprintf(out, "; %d %s outside the line's domain left out of the start", r.leftOutOfStart,
                pointWord(r.leftOutOfStart));
    }
    if (r.leftOut > 0) fprintf(out, "; %d %s where the model has no value left out", r.leftOut, pointWord(r.leftOut));
    fputc('\n', out);
}

// What a fit method added, one "name: value" line each, numbers to four significant digits.
void printPaperFields(FILE* out, const FitRecord& m)
{
    for (const RecordField& field : m.extra) {
        if (field.place == FIELD_JSON_ONLY) continue;
        if (field.name == "ci_method") {
            const FitUncertainty& u = m.uncertainty;
            fprintf(out, "95%% intervals (%s): A in [%.5g, %.5g], B in [%.5g, %.5g]\n", field.text.c_str(),
                    shownNumber(u.ciA[0]), shownNumber(u.ciA[1]), shownNumber(u.ciB[0]), shownNumber(u.ciB[1]));
        } else if (field.values.empty()) {
            fprintf(out, "%s: %s\n", field.name.c_str(), field.text.c_str());
        } else if (field.values.size() == 2) {
            fprintf(out, "%s: [%.5g, %.5g]\n", field.name.c_str(), shownNumber(field.values[0]),
                    shownNumber(field.values[1]));
        } else {
            fprintf(out, "%s: %.4g\n", field.name.c_str(), shownNumber(field.values[0]));
        }
    }
}

// "value ± SE" with the SE to two significant digits and the value rounded to the same place.
std::string valueWithError(double value, double se)
{
    char text[120];
    if (!isfinite(value) || !(se > 0.0) || !isfinite(se)) {
        snprintf(text, sizeof text, "%g \u00b1 %g", shownNumber(value), shownNumber(se));
        return text;
    }
    int decimals = 1 - (int)floor(log10(se));
    // The SE may round up to three digits (0.0996 to 0.100): one place fewer then.
    double rounded = round(se * pow(10.0, decimals));
    if (rounded >= 100.0) --decimals;
    if (decimals >= 0) {
        snprintf(text, sizeof text, "%.*f \u00b1 %.*f", decimals, value, decimals, se);
    } else {
        double unit = pow(10.0, -decimals);
        snprintf(text, sizeof text, "%.0f \u00b1 %.0f", round(value / unit) * unit, round(se / unit) * unit);
    }
    return text;
}

// R2 with its shortfall from 1 to two significant digits, at least four decimals.
int r2Decimals(double r2)
{
    int decimals = r2 < 1.0 && r2 > 0.0 ? 2 - (int)floor(log10(1.0 - r2)) : 4;
    return decimals < 4 ? 4 : decimals > 15 ? 15 : decimals;
}

} // namespace

double shownNumber(double value)
{
    return isnan(value) ? fabs(value) : value;
}

const char* formatNumber(NumberFormat format, double value, char* text)
{
    snprintf(text, 32, format.precise ? "%.17g" : "%g", shownNumber(value));
    return text;
}

void printFormula(FILE* out, int modelId)
{
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) fputc((char)*p, out);
}

void printFitBlock(FILE* out, NumberFormat format, const FitProblem& problem, const FitRecord& m)
{
    printFormula(out, m.modelId);
    fputc('\n', out);
    printValue(out, format, "A", m.fit.a);
    printValue(out, format, "B", m.fit.b);
    if (modelUsesExponent(m.modelId)) printValue(out, format, "N", m.exponentN);
    printValue(out, format, "S", m.fit.s);
    printValue(out, format, "se_A", m.uncertainty.seA);
    printValue(out, format, "se_B", m.uncertainty.seB);
    printInterval(out, format, "ci_A", m.uncertainty.ciA);
    printInterval(out, format, "ci_B", m.uncertainty.ciB);
    printValue(out, format, "s_n2", m.uncertainty.sN2);
    printValue(out, format, "r2", m.uncertainty.r2);
    printValue(out, format, "r2_line", m.uncertainty.r2Line);
    if (problem.fixed.parameter >= 0) {
        fprintf(out, "fixed: %s held at the value given; %d degrees of freedom\n", parameterName(problem.fixed.parameter),
                m.dof);
    }
    if (m.r2Uncentred) fprintf(out, "r2: about 0, 1 - RSS/sum(Y^2): the line through the origin has no intercept\n");
    if (problem.w != nullptr) {
        fprintf(out, "weighting=%s\n", weightingText(problem.weighting, problem.absolute));
        printValue(out, format, "chi2", m.chi2);
        printValue(out, format, "chi2_nu", m.chi2 / (double)m.dof);
    }
    for (const RecordField& field : m.extra) {
        if (field.place == FIELD_JSON_ONLY) continue;
        if (field.values.empty()) {
            fprintf(out, "%s=%s\n", field.name.c_str(), field.text.c_str());
        } else if (field.values.size() == 2) {
            printInterval(out, format, field.name.c_str(), field.values.data());
        } else {
            printValue(out, format, field.name.c_str(), field.values[0]);
        }
    }
    if (recordRefined(m)) printRefineNote(out, format, m);
}

void printPaperBlock(FILE* out, const FitProblem& problem, const FitRecord& m)
{
    printFormula(out, m.modelId);
    fputc('\n', out);
    double values[2] = {m.fit.a, m.fit.b}, errors[2] = {m.uncertainty.seA, m.uncertainty.seB};
    for (int i = 0; i < 2; ++i) {
        if (problem.fixed.parameter == i) {
            fprintf(out, "%s = %g (fixed)\n", parameterName(i), values[i]);
        } else {
            fprintf(out, "%s = %s\n", parameterName(i), valueWithError(values[i], errors[i]).c_str());
        }
    }
    if (modelUsesExponent(m.modelId)) fprintf(out, "N = %g (given)\n", m.exponentN);
    fprintf(out, "n = %d, dof = %d\n", m.count, m.dof);
    fprintf(out, "S = %.3g\n", shownNumber(m.fit.s));
    if (problem.w != nullptr) fprintf(out, "chi2_nu = %.3g\n", shownNumber(m.chi2 / (double)m.dof));
    const char* kind = m.r2Uncentred ? (problem.w != nullptr ? ", weighted, about 0" : ", about 0")
                                     : (problem.w != nullptr ? ", weighted" : "");
    fprintf(out, "R2 (on Y%s) = %.*f\n", kind, r2Decimals(m.uncertainty.r2), shownNumber(m.uncertainty.r2));
    if (problem.fixed.parameter < 0) {
        fprintf(out, "corr(A,B) = %.3f\n", shownNumber(m.uncertainty.covAB / (m.uncertainty.seA * m.uncertainty.seB)));
    }
    fprintf(out, "weighting: %s\n", weightingText(problem.weighting, problem.absolute));
    printPaperFields(out, m);
    if (recordRefined(m)) {
        fprintf(out, "refined: least squares on Y, %d iterations\n", m.refinement.iterations);
    } else if (strcmp(m.method, "linearised") == 0) {
        fprintf(out, "refined: no (linearised fit)\n");
    } else {
        fprintf(out, "fit: %s\n", m.method);
    }
}

std::string fitWarning(const FitProblem& problem, const FitRecord& m)
{
    char text[300];
    if (m.refineAsked && !recordRefined(m)) {
        if (m.refinement.status == REFINE_POLE_IN_DATA || m.refinement.status == REFINE_DEGENERATE) {
            snprintf(text, sizeof text, "the refinement gives no fit: %s; the linearised fit is shown",
                     refineFailure(m));
        } else {
            snprintf(text, sizeof text, "the refinement did not converge (%s) after %d iterations; the "
                     "linearised fit is shown", refineFailure(m), m.refinement.iterations);
        }
        return text;
    }
    if (recordFinite(m)) return "";
    double condition[3];
    const FixedParameter& fixed = problem.fixed;
    if (fixed.parameter >= 0 && !fixedParameterOnLine(m.modelId, fixed.parameter, fixed.value, condition)) {
        snprintf(text, sizeof text, "no finite fit: the model's straight line gives no %s=%g (--fix)",
                 parameterName(fixed.parameter), fixed.value);
        return text;
    }
    int outside;
    std::string why = "no finite fit: " + whyNotFinite(problem, &outside);
    // The refinement starts from the line through the other points, when at least two are left.
    if (outside > 0 && m.count - outside >= 2) why += "; --refine starts without them";
    return why;
}

void warnAboutFit(const char* fileName, int modelId, const std::string& warning)
{
    fprintf(stderr, "kelvora-fit: %s: ", fileName);
    printFormula(stderr, modelId);
    fprintf(stderr, ": %s\n", warning.c_str());
}

void printRankedLine(FILE* out, NumberFormat format, const FitProblem& problem, const RankedFit& ranked)
{
    const FitRecord& m = *ranked.record;
    char text[6][40];
    fprintf(out, "S=%s A=%s B=%s se_A=%s se_B=%s r2=%s ", formatNumber(format, m.fit.s, text[0]),
            formatNumber(format, m.fit.a, text[1]), formatNumber(format, m.fit.b, text[2]),
            formatNumber(format, m.uncertainty.seA, text[3]), formatNumber(format, m.uncertainty.seB, text[4]),
            formatNumber(format, m.uncertainty.r2, text[5]));
    fprintf(out, format.precise ? "aicc=%.17g akaike_weight=%.17g " : "aicc=%g akaike_weight=%.4g ",
            shownNumber(ranked.aicc), shownNumber(ranked.akaikeWeight));
    fprintf(out, "model=%d ", m.modelId);
    if (modelUsesExponent(m.modelId)) fprintf(out, "N=%s ", formatNumber(format, m.exponentN, text[0]));
    printFormula(out, m.modelId);
    if (ranked.sameCurveAs >= 0) fprintf(out, " (the curve of model %d in another form)", ranked.sameCurveAs);
    if (m.refineAsked && !recordRefined(m)) fprintf(out, " (not refined: %s)", refineFailure(m));
    if (!m.refineAsked && !recordFinite(m)) {
        int outside;
        fprintf(out, " (no finite fit: %s)", whyNotFinite(problem, &outside).c_str());
    }
    if (recordRefined(m) && m.refinement.leftOut > 0) {
        fprintf(out, " (%d of %d points: the model has no value at the others)", m.count, problem.count);
    }
    fputc('\n', out);
}

void printPredictions(FILE* out, NumberFormat format, const FitView& view, const std::vector<double>& predictX,
                      const std::vector<double>& inverseY)
{
    char text[6][40];
    for (double x : predictX) {
        Prediction p = viewPrediction(view, x);
        fprintf(out, "predict: X=%s Y=%s ci=[%s, %s] pi=[%s, %s]\n", formatNumber(format, x, text[0]),
                formatNumber(format, p.y, text[1]), formatNumber(format, p.ci[0], text[2]),
                formatNumber(format, p.ci[1], text[3]), formatNumber(format, p.pi[0], text[4]),
                formatNumber(format, p.pi[1], text[5]));
    }
    for (double y : inverseY) {
        InverseResult r;
        if (viewInverse(view, y, &r)) {
            fprintf(out, "inverse: Y=%s X=%s ci=[%s, %s]\n", formatNumber(format, y, text[0]),
                    formatNumber(format, r.x, text[1]), formatNumber(format, r.interval[0], text[2]),
                    formatNumber(format, r.interval[1], text[3]));
        } else {
            fprintf(out, "inverse: Y=%s X=nan (the model does not reach Y monotonically over the data's X)\n",
                    formatNumber(format, y, text[0]));
        }
    }
}

void printJsonLine(FILE* out, const char* fileName, const FitProblem& problem, const FitRecord& m,
                   const RankedFit* ranked, const FitView* view, const std::vector<double>& predictX,
                   const std::vector<double>& inverseY)
{
    const std::string warning = fitWarning(problem, m);
    std::vector<double> predictions, inverses;
    if (view != nullptr) {
        for (double x : predictX) {
            Prediction p = viewPrediction(*view, x);
            predictions.insert(predictions.end(), {p.y, p.ci[0], p.ci[1], p.pi[0], p.pi[1]});
        }
        for (double y : inverseY) {
            InverseResult r;
            if (!viewInverse(*view, y, &r)) r = InverseResult{NAN, {NAN, NAN}};
            inverses.insert(inverses.end(), {r.x, r.interval[0], r.interval[1]});
        }
    }
    FitReport report = {};
    report.file = fileName;
    report.record = &m;
    report.warning = warning.empty() ? NULL : warning.c_str();
    report.weighting = weightingText(problem.weighting, problem.absolute);
    report.weighted = problem.w != nullptr;
    report.ranked = ranked != nullptr;
    report.aicc = ranked != nullptr ? ranked->aicc : NAN;
    report.akaikeWeight = ranked != nullptr ? ranked->akaikeWeight : NAN;
    report.sameCurveAs = ranked != nullptr ? ranked->sameCurveAs : -1;
    report.predictionCount = view != nullptr ? (int)predictX.size() : 0;
    report.predictX = predictX.data();
    report.predictions = predictions.data();
    report.inverseCount = view != nullptr ? (int)inverseY.size() : 0;
    report.inverseY = inverseY.data();
    report.inverses = inverses.data();
    fprintf(out, "%s\n", fitJson(&report).c_str());
}
