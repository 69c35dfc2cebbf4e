// kelvora-fit's output: one model's formula, A, B (N), S and their uncertainty, or all sixteen models
// ranked by S; as text blocks or JSON lines; then the residuals and pictures of the fit shown.
#include "report.h"

#include <math.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_state.h"
#include "fit.h"
#include "fit_output.h"
#include "fit_statistics.h"
#include "fit_uncertainty.h"
#include "models.h"
#include "plot_file.h"
#include "refine.h"
#include "vector_plot.h"

namespace {

// One model fitted to the points: the linearised fit with its uncertainty, replaced by the refinement
// when one was asked for and converged.
struct ModelFit {
    int modelId;
    int count;
    FitResult fit;
    FitUncertainty uncertainty;
    FitResult linearised;
    bool refineAsked;
    RefineResult refinement;
    StatFit stat; // the fit shown with its covariance and degrees of freedom
    // With --all: AICc on Y, and the Akaike weight among the fits of every point (NaN for the others).
    double aicc;
    double akaikeWeight;
    bool comparable; // usable, and measured on every point of the file
};

// The weighting of this file's points and the fixed parameter, for every model fitted to them.
struct RunSetup {
    Weighting weighting;
    bool absolute;
    FixedParameter fixed;
    std::vector<double> w; // empty without weights
    const double* sigma;   // sigma of each point under --sigma, NULL otherwise
};
RunSetup g_run;

const double* runWeights()
{
    return g_run.w.empty() ? nullptr : g_run.w.data();
}

// The fit whose residuals, band and pictures are written: the one model, or the first of --all.
struct ShownFit {
    bool set;
    int modelId;
    StatFit stat;
    bool predictionBand;
    std::vector<SigmaByX> sigmas; // under --sigma: sigma^2 of each point, sorted by X
};
ShownFit g_shown;

Prediction shownPrediction(double x)
{
    const StatFit& f = g_shown.stat;
    double fitted = evaluateModelWith(g_shown.modelId, f.fit.a, f.fit.b, g_app.exponentN, x);
    double sigmaSquared = nearestSigmaSquared(g_shown.sigmas.data(), (int)g_shown.sigmas.size(), x);
    double variance = newMeasurementVariance(f, g_run.weighting, g_run.absolute, sigmaSquared, x, fitted);
    return predictAt(g_shown.modelId, g_app.exponentN, f, variance, x);
}

void shownBand(double x, double* low, double* high)
{
    Prediction p = shownPrediction(x);
    *low = g_shown.predictionBand ? p.pi[0] : p.ci[0];
    *high = g_shown.predictionBand ? p.pi[1] : p.ci[1];
}

// X of the shown fit at y, searched over the span of the points' X.
bool shownInverse(double y, InverseResult* result)
{
    const PointTable& points = g_app.points;
    double low = INFINITY, high = -INFINITY;
    for (int i = 0; i < points.pointCount; ++i) {
        low = fmin(low, points.x[i]);
        high = fmax(high, points.x[i]);
    }
    return inverseAt(g_shown.modelId, g_app.exponentN, g_shown.stat, g_run.weighting, g_run.absolute,
                     g_shown.sigmas.data(), (int)g_shown.sigmas.size(), low, high, y, result);
}

// The weighted or constrained fits take their own path; the plain fit stays the program's own.
bool generalPath()
{
    return !g_run.w.empty() || g_run.fixed.parameter >= 0;
}

StatFit statOf(const FitResult& fit, const FitUncertainty& u, int count, double chi2, int iterations)
{
    StatFit f = {};
    f.fit = fit;
    f.uncertainty = u;
    f.count = count;
    f.dof = count - 2;
    f.chi2 = chi2;
    f.varA = u.seA * u.seA;
    f.varB = u.seB * u.seB;
    f.iterations = iterations;
    f.converged = true;
    return f;
}

bool allFinite(const FitResult& fit)
{
    return isfinite(fit.a) && isfinite(fit.b) && isfinite(fit.s);
}

bool refined(const ModelFit& m)
{
    return m.refineAsked && m.refinement.status == REFINE_CONVERGED;
}

// The fit is usable: finite, and refined when a refinement was asked for.
bool fitUsable(const ModelFit& m)
{
    return allFinite(m.fit) && (!m.refineAsked || refined(m));
}

// The points of the table (with their weights) for which keep(x, y) holds.
template <typename Keep>
int keepPoints(Keep keep, std::vector<double>* x, std::vector<double>* y, std::vector<double>* w)
{
    const PointTable& points = g_app.points;
    const double* weights = runWeights();
    for (int i = 0; i < points.pointCount; ++i) {
        if (!keep(points.x[i], points.y[i])) continue;
        x->push_back(points.x[i]);
        y->push_back(points.y[i]);
        if (weights != nullptr) w->push_back(weights[i]);
    }
    return (int)x->size();
}

// A fit with a fixed parameter refined on Y, as the two-parameter refinement: started from the
// linearised fit of the points its line takes, over the points where the model has a value there.
void refineFixed(int modelId, ModelFit* m)
{
    const PointTable& points = g_app.points;
    double n = g_app.exponentN;
    std::vector<double> startX, startY, startW;
    int inside = keepPoints([&](double x, double y) { return lineTakesPoint(modelId, n, x, y); }, &startX, &startY,
                            &startW);
    RefineResult& r = m->refinement;
    r.leftOutOfStart = points.pointCount - inside;
    StatFit start = linearisedStatFit(startX.data(), startY.data(), startW.empty() ? nullptr : startW.data(), inside,
                                      modelId, n, g_run.fixed, g_run.absolute);
    r.startA = start.fit.a;
    r.startB = start.fit.b;
    r.status = REFINE_NOT_CONVERGED;
    if (inside < 2 || !isfinite(start.fit.a) || !isfinite(start.fit.b)) {
        r.status = REFINE_NO_START;
        return;
    }
    std::vector<double> usedX, usedY, usedW;
    int used = keepPoints([&](double x, double) { return isfinite(evaluateModelWith(modelId, start.fit.a, start.fit.b, n, x)) != 0; },
                          &usedX, &usedY, &usedW);
    r.pointsUsed = used;
    r.leftOut = points.pointCount - used;
    r.leftOutOfStart = 0;
    for (int i = 0; i < used; ++i) r.leftOutOfStart += lineTakesPoint(modelId, n, usedX[i], usedY[i]) ? 0 : 1;
    if (used < 2) {
        r.status = REFINE_TOO_FEW;
        return;
    }
    start.count = used;
    start.dof = used - 1;
    StatFit refined = refineFixedFit(usedX.data(), usedY.data(), usedW.empty() ? nullptr : usedW.data(), used, modelId,
                                     n, g_run.fixed, g_run.absolute, start, REFINE_MAX_ITERATIONS);
    r.iterations = refined.iterations;
    snprintf(r.reason, sizeof r.reason, "no minimum of the sum of squares on Y along the free parameter");
    if (!refined.converged || !isfinite(refined.fit.a) || !isfinite(refined.fit.b)) return;
    r.status = REFINE_CONVERGED;
    m->stat = refined;
    m->fit = refined.fit;
    m->uncertainty = refined.uncertainty;
    m->count = used;
}

// A weighted fit or one with a fixed parameter, linearised and (with refine) refined.
ModelFit fitGeneral(int modelId, bool refine)
{
    const PointTable& points = g_app.points;
    ModelFit m = {};
    m.modelId = modelId;
    m.count = points.pointCount;
    m.stat = linearisedStatFit(points.x, points.y, runWeights(), points.pointCount, modelId, g_app.exponentN,
                               g_run.fixed, g_run.absolute);
    m.linearised = m.fit = m.stat.fit;
    m.uncertainty = m.stat.uncertainty;
    m.refineAsked = refine;
    if (!refine) return m;
    m.refinement.startA = m.linearised.a;
    m.refinement.startB = m.linearised.b;
    if (g_run.fixed.parameter >= 0) {
        refineFixed(modelId, &m);
        return m;
    }
    m.refinement = refineWeightedFit(points.x, points.y, RefineWeights{runWeights(), g_run.absolute},
                                     points.pointCount, modelId, g_app.exponentN, REFINE_MAX_ITERATIONS);
    if (m.refinement.status == REFINE_CONVERGED) {
        m.fit = m.refinement.fit;
        m.uncertainty = m.refinement.uncertainty;
        // R2 of a weighted fit is weighted, as the linearised fit's is.
        m.uncertainty.r2 = weightedR2(points.x, points.y, runWeights(), points.pointCount, modelId, g_app.exponentN,
                                      m.fit.a, m.fit.b);
        m.count = m.refinement.pointsUsed;
        m.stat = statOf(m.fit, m.uncertainty, m.count, m.refinement.chi2, m.refinement.iterations);
    }
    return m;
}

ModelFit fitOneModel(int modelId, bool refine)
{
    if (generalPath()) return fitGeneral(modelId, refine);
    const PointTable& points = g_app.points;
    ModelFit m = {};
    m.modelId = modelId;
    m.count = points.pointCount;
    LineFit line;
    m.linearised = fitPointsWithLine(points.x, points.y, points.pointCount, modelId, g_app.exponentN, &line);
    // One point has no spread about a curve: S is no number, as A and B are.
    if (points.pointCount < 2) m.linearised.s = NAN;
    m.fit = m.linearised;
    m.uncertainty = linearisedUncertainty(modelId, points.pointCount, &m.fit, &line);
    m.refineAsked = refine;
    if (refine) {
        // The line just fitted is the refinement's start when it took every point: not fitted twice.
        RefineStart start;
        bool haveStart = lineFitAsStart(points.x, points.y, points.pointCount, modelId, m.linearised, line,
                                        m.uncertainty.r2Line, &start);
        m.refinement = refineFitFrom(points.x, points.y, RefineWeights{NULL, false}, points.pointCount, modelId,
                                     g_app.exponentN, REFINE_MAX_ITERATIONS, REFINE_STREAMING,
                                     haveStart ? &start : NULL);
        if (m.refinement.status == REFINE_CONVERGED) {
            m.fit = m.refinement.fit;
            m.uncertainty = m.refinement.uncertainty;
            m.count = m.refinement.pointsUsed;
        }
    }
    m.stat = statOf(m.fit, m.uncertainty, m.count, NAN, refined(m) ? m.refinement.iterations : 0);
    return m;
}

// Why a refinement did not give a fit, in one phrase.
const char* refineFailure(const ModelFit& m)
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

// A NaN prints as "nan" whatever its sign bit: "-nan" would suggest a meaning it does not have.
double shown(double value)
{
    return isnan(value) ? fabs(value) : value;
}

void printValue(const FitOptions& options, const char* name, double value)
{
    printf(options.precise ? "%s=%.17g\n" : "%s=%g\n", name, shown(value));
}

void printInterval(const FitOptions& options, const char* name, const double interval[2])
{
    printf(options.precise ? "%s=[%.17g, %.17g]\n" : "%s=[%g, %g]\n", name, shown(interval[0]),
           shown(interval[1]));
}

const char* pointWord(int count)
{
    return count == 1 ? "point" : "points";
}

// Why a fit has no finite A, B or S, in one phrase: the linearised fit either met points its straight
// line cannot take (how many in *outside, the first named), or its points do not determine a line.
std::string whyNotFinite(int modelId, int* outside)
{
    const PointTable& points = g_app.points;
    int first = -1;
    *outside = 0;
    for (int i = 0; i < points.pointCount; ++i) {
        if (lineTakesPoint(modelId, g_app.exponentN, points.x[i], points.y[i])) continue;
        if ((*outside)++ == 0) first = i;
    }
    if (first < 0) return "the points do not determine the model's straight line (fewer than two, or all at one X)";
    char text[200];
    snprintf(text, sizeof text, "the linearised model cannot take %d of %d %s, the first is point %d (X=%g, Y=%g)",
             *outside, points.pointCount, pointWord(points.pointCount), first + 1, shown(points.x[first]),
             shown(points.y[first]));
    return text;
}

// Where the refinement came from and what it left out, one line.
void printRefineNote(const FitOptions& options, const ModelFit& m)
{
    const RefineResult& r = m.refinement;
    printf(options.precise ? "refined: least squares on Y, %d iterations from the linearised A=%.17g B=%.17g"
                           : "refined: least squares on Y, %d iterations from the linearised A=%g B=%g",
           r.iterations, r.startA, r.startB);
    if (r.scannedStart) {
        printf(options.precise ? " (which gave no fit) restarted at A=%.17g B=%.17g"
                               : " (which gave no fit) restarted at A=%g B=%g",
               r.scanA, r.scanB);
    }
    if (r.leftOutOfStart > 0) {
        printf("; %d %s outside the line's domain left out of the start", r.leftOutOfStart,
               pointWord(r.leftOutOfStart));
    }
    if (r.leftOut > 0) printf("; %d %s where the model has no value left out", r.leftOut, pointWord(r.leftOut));
    putchar('\n');
}

void printBlock(const FitOptions& options, const ModelFit& m)
{
    printFormula(stdout, m.modelId);
    putchar('\n');
    printValue(options, "A", m.fit.a);
    printValue(options, "B", m.fit.b);
    if (modelUsesExponent(m.modelId)) printValue(options, "N", g_app.exponentN);
    printValue(options, "S", m.fit.s);
    printValue(options, "se_A", m.uncertainty.seA);
    printValue(options, "se_B", m.uncertainty.seB);
    printInterval(options, "ci_A", m.uncertainty.ciA);
    printInterval(options, "ci_B", m.uncertainty.ciB);
    printValue(options, "s_n2", m.uncertainty.sN2);
    printValue(options, "r2", m.uncertainty.r2);
    printValue(options, "r2_line", m.uncertainty.r2Line);
    if (g_run.fixed.parameter >= 0) {
        printf("fixed: %s held at the value given; %d degrees of freedom\n", g_run.fixed.parameter == 0 ? "A" : "B",
               m.stat.dof);
    }
    if (!g_run.w.empty()) {
        printf("weighting=%s\n", weightingText(g_run.weighting, g_run.absolute));
        printValue(options, "chi2", m.stat.chi2);
        printValue(options, "chi2_nu", m.stat.chi2 / (double)m.stat.dof);
    }
    if (refined(m)) printRefineNote(options, m);
}

// "value ± SE" with the SE to two significant digits and the value rounded to the same place.
std::string valueWithError(double value, double se)
{
    char text[120];
    if (!isfinite(value) || !(se > 0.0) || !isfinite(se)) {
        snprintf(text, sizeof text, "%g \u00b1 %g", shown(value), shown(se));
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

// The block one pastes into a paper.
void printPaperBlock(const ModelFit& m)
{
    printFormula(stdout, m.modelId);
    putchar('\n');
    const char* names[2] = {"A", "B"};
    double values[2] = {m.fit.a, m.fit.b}, errors[2] = {m.uncertainty.seA, m.uncertainty.seB};
    for (int i = 0; i < 2; ++i) {
        if (g_run.fixed.parameter == i) {
            printf("%s = %g (fixed)\n", names[i], values[i]);
        } else {
            printf("%s = %s\n", names[i], valueWithError(values[i], errors[i]).c_str());
        }
    }
    if (modelUsesExponent(m.modelId)) printf("N = %g (given)\n", g_app.exponentN);
    printf("n = %d, dof = %d\n", m.count, m.stat.dof);
    printf("S = %.3g\n", shown(m.fit.s));
    if (!g_run.w.empty()) printf("chi2_nu = %.3g\n", shown(m.stat.chi2 / (double)m.stat.dof));
    // R2 with its shortfall from 1 to two significant digits, at least four decimals.
    double r2 = m.uncertainty.r2;
    int decimals = r2 < 1.0 && r2 > 0.0 ? 2 - (int)floor(log10(1.0 - r2)) : 4;
    decimals = decimals < 4 ? 4 : decimals > 15 ? 15 : decimals;
    printf("R2 (on Y%s) = %.*f\n", g_run.w.empty() ? "" : ", weighted", decimals, shown(r2));
    if (g_run.fixed.parameter < 0) {
        printf("corr(A,B) = %.3f\n", shown(m.uncertainty.covAB / (m.uncertainty.seA * m.uncertainty.seB)));
    }
    printf("weighting: %s\n", weightingText(g_run.weighting, g_run.absolute));
    if (refined(m)) {
        printf("refined: least squares on Y, %d iterations\n", m.refinement.iterations);
    } else {
        printf("refined: no (linearised fit)\n");
    }
}

// What standard error says of a fit that is not what was asked for, and the JSON's "warning": a
// refinement that did not converge, or no finite A, B or S; empty for a sound fit.
std::string fitWarning(const ModelFit& m)
{
    char text[300];
    if (m.refineAsked && !refined(m)) {
        if (m.refinement.status == REFINE_POLE_IN_DATA || m.refinement.status == REFINE_DEGENERATE) {
            snprintf(text, sizeof text, "the refinement gives no fit: %s; the linearised fit is shown",
                     refineFailure(m));
        } else {
            snprintf(text, sizeof text, "the refinement did not converge (%s) after %d iterations; the "
                     "linearised fit is shown", refineFailure(m), m.refinement.iterations);
        }
        return text;
    }
    if (allFinite(m.fit)) return "";
    double condition[3];
    if (g_run.fixed.parameter >= 0 &&
        !fixedParameterOnLine(m.modelId, g_run.fixed.parameter, g_run.fixed.value, condition)) {
        snprintf(text, sizeof text, "no finite fit: the model's straight line gives no %s=%g (--fix)",
                 g_run.fixed.parameter == 0 ? "A" : "B", g_run.fixed.value);
        return text;
    }
    int outside;
    std::string why = "no finite fit: " + whyNotFinite(m.modelId, &outside);
    // The refinement starts from the line through the other points, when at least two are left.
    if (outside > 0 && m.count - outside >= 2) why += "; --refine starts without them";
    return why;
}

void warn(const ModelFit& m, const char* fileName, const std::string& warning)
{
    fprintf(stderr, "kelvora-fit: %s: ", fileName);
    printFormula(stderr, m.modelId);
    fprintf(stderr, ": %s\n", warning.c_str());
}

// One JSON line; ranked adds AICc and the Akaike weight; withExtras the predictions and inverses of the
// shown fit.
void printJson(const FitOptions& options, const ModelFit& m, const char* fileName, bool ranked, bool withExtras)
{
    const std::string warning = fitWarning(m);
    std::vector<double> predictions, inverses;
    for (double x : options.predictX) {
        Prediction p = shownPrediction(x);
        predictions.insert(predictions.end(), {p.y, p.ci[0], p.ci[1], p.pi[0], p.pi[1]});
    }
    for (double y : options.inverseY) {
        InverseResult r;
        if (!shownInverse(y, &r)) r = InverseResult{NAN, {NAN, NAN}};
        inverses.insert(inverses.end(), {r.x, r.interval[0], r.interval[1]});
    }
    const std::vector<double>& predictX = options.predictX;
    const std::vector<double>& inverseY = options.inverseY;
    FitReport report = {fileName, m.modelId, g_app.exponentN, m.count, m.fit, m.uncertainty, refined(m),
                        m.refinement.iterations, warning.empty() ? NULL : warning.c_str(), m.stat.dof,
                        m.uncertainty.covAB, weightingText(g_run.weighting, g_run.absolute), m.stat.chi2,
                        !g_run.w.empty(), ranked, m.aicc, m.akaikeWeight, withExtras ? (int)predictX.size() : 0,
                        predictX.data(), predictions.data(), withExtras ? (int)inverseY.size() : 0, inverseY.data(),
                        inverses.data()};
    puts(fitJson(&report).c_str());
}

// Smallest AICc first among the fits of every point, then the usable fits of fewer points (their AICc
// is of other data), then the fits that are not usable; equal ranks keep the catalogue order.
int rankGroup(const ModelFit& m)
{
    return m.comparable ? 0 : fitUsable(m) ? 1 : 2;
}

// AICc that differ in their last digits only: the same minimum reached in another form of one model
// (A*B^X and A*EXP(B*X)), which ranks by the catalogue, not by the rounding of its solver.
bool sameAicc(double left, double right)
{
    return left == right || fabs(left - right) <= 1e-9 * fmax(1.0, fmax(fabs(left), fabs(right)));
}

bool ranksBefore(const ModelFit& left, const ModelFit& right)
{
    int leftGroup = rankGroup(left), rightGroup = rankGroup(right);
    if (leftGroup != rightGroup) return leftGroup < rightGroup;
    if (leftGroup < 2 && !sameAicc(left.aicc, right.aicc) && !isnan(left.aicc) && !isnan(right.aicc)) {
        return left.aicc < right.aicc;
    }
    if (leftGroup < 2 && isnan(left.aicc) != isnan(right.aicc)) return !isnan(left.aicc);
    return left.modelId < right.modelId;
}

// AICc of each fit on Y (the weighted sum with weights) and the Akaike weights of the comparable ones.
// An exact fit has AICc minus infinity: the exact fits share the weight.
void measureAicc(ModelFit fits[MODEL_COUNT])
{
    double best = INFINITY;
    for (int k = 0; k < MODEL_COUNT; ++k) {
        ModelFit& m = fits[k];
        double sum = g_run.w.empty() ? m.fit.residualSum : m.stat.chi2;
        int fitted = g_run.fixed.parameter >= 0 ? 1 : 2;
        m.aicc = sum == 0.0 && m.count > fitted + 2 ? -INFINITY : leastSquaresAicc(sum, m.count, fitted);
        m.comparable = fitUsable(m) && m.count == g_app.points.pointCount && !isnan(m.aicc);
        if (m.comparable && m.aicc < best) best = m.aicc;
    }
    double total = 0.0;
    for (int k = 0; k < MODEL_COUNT; ++k) {
        ModelFit& m = fits[k];
        m.akaikeWeight = NAN;
        if (!m.comparable) continue;
        m.akaikeWeight = isinf(best) ? (m.aicc == best ? 1.0 : 0.0) : exp(-0.5 * (m.aicc - best));
        total += m.akaikeWeight;
    }
    for (int k = 0; k < MODEL_COUNT; ++k) fits[k].akaikeWeight /= total;
}

void rankAll(ModelFit ranked[MODEL_COUNT])
{
    // Insertion sort: sixteen entries, stable.
    for (int i = 1; i < MODEL_COUNT; ++i) {
        ModelFit moving = ranked[i];
        int j = i;
        while (j > 0 && ranksBefore(moving, ranked[j - 1])) {
            ranked[j] = ranked[j - 1];
            --j;
        }
        ranked[j] = moving;
    }
}

void printRankedLine(const FitOptions& options, const ModelFit& m)
{
    const char* format = options.precise ? "S=%.17g A=%.17g B=%.17g se_A=%.17g se_B=%.17g r2=%.17g "
                                         : "S=%g A=%g B=%g se_A=%g se_B=%g r2=%g ";
    printf(format, shown(m.fit.s), shown(m.fit.a), shown(m.fit.b), shown(m.uncertainty.seA),
           shown(m.uncertainty.seB), shown(m.uncertainty.r2));
    printf(options.precise ? "aicc=%.17g akaike_weight=%.17g " : "aicc=%g akaike_weight=%.4g ", shown(m.aicc),
           shown(m.akaikeWeight));
    printFormula(stdout, m.modelId);
    if (m.refineAsked && !refined(m)) printf(" (not refined: %s)", refineFailure(m));
    if (!m.refineAsked && !allFinite(m.fit)) {
        int outside;
        printf(" (no finite fit: %s)", whyNotFinite(m.modelId, &outside).c_str());
    }
    if (refined(m) && m.refinement.leftOut > 0) {
        printf(" (%d of %d points: the model has no value at the others)", m.count, g_app.points.pointCount);
    }
    putchar('\n');
}

// Y with its intervals at each X of --predict, X at each Y of --inverse, one line each.
void printPredictions(const FitOptions& options)
{
    const char* format = options.precise ? "predict: X=%.17g Y=%.17g ci=[%.17g, %.17g] pi=[%.17g, %.17g]\n"
                                         : "predict: X=%g Y=%g ci=[%g, %g] pi=[%g, %g]\n";
    for (double x : options.predictX) {
        Prediction p = shownPrediction(x);
        printf(format, x, shown(p.y), shown(p.ci[0]), shown(p.ci[1]), shown(p.pi[0]), shown(p.pi[1]));
    }
    for (double y : options.inverseY) {
        InverseResult r;
        if (shownInverse(y, &r)) {
            printf(options.precise ? "inverse: Y=%.17g X=%.17g ci=[%.17g, %.17g]\n" : "inverse: Y=%g X=%g ci=[%g, %g]\n",
                   y, r.x, shown(r.interval[0]), shown(r.interval[1]));
        } else {
            printf(options.precise ? "inverse: Y=%.17g X=nan (the model does not reach Y monotonically over the data's X)\n"
                                   : "inverse: Y=%g X=nan (the model does not reach Y monotonically over the data's X)\n",
                   y);
        }
    }
}

bool plotBand(double x, double* low, double* high, const void*)
{
    shownBand(x, low, high);
    return isfinite(*low) && isfinite(*high);
}

// The publication plot of the fit m: the points with their sigma under --sigma, the band of --band.
VectorPlot vectorPlotOf(const FitOptions& options, const ModelFit& m)
{
    const PointTable& points = g_app.points;
    const char* bandName = options.band == 2 ? "95% prediction band" : "95% confidence band";
    return VectorPlot{points.x, points.y, g_run.sigma, points.pointCount, m.modelId, m.fit.a, m.fit.b, g_app.exponentN,
                      m.uncertainty.seA, m.uncertainty.seB, options.band != 0 ? plotBand : NULL, NULL, bandName,
                      options.residualPanel,
                      options.sizeGiven ? (double)options.plotWidth : VECTOR_PLOT_WIDTH,
                      options.sizeGiven ? (double)options.plotHeight : VECTOR_PLOT_HEIGHT};
}

// The residuals and pictures of the fit m.
int writeExtras(const FitOptions& options, const ModelFit& m)
{
    const PointTable& points = g_app.points;
    if (!options.json) printPredictions(options);
    if (options.residuals) {
        writeResidualsCsv(stdout, points.x, points.y, points.pointCount, m.modelId, m.fit.a, m.fit.b,
                          g_app.exponentN, options.band != 0 ? shownBand : NULL, options.band == 2 ? "pi" : "ci");
    }
    int status = FIT_EXIT_FITTED;
    if (options.plotPath != nullptr && vectorFormatOf(options.plotPath) != VECTOR_NONE) {
        VectorPlot plot = vectorPlotOf(options, m);
        if (!writeVectorPlot(options.plotPath, &plot)) status = FIT_EXIT_BAD_FILE;
    } else if (options.plotPath != nullptr &&
               !writeResultsPicture(options.plotPath, options.plotWidth, options.plotHeight, m.modelId, &m.fit)) {
        status = FIT_EXIT_BAD_FILE;
    }
    if (options.residualPlotPath != nullptr &&
        !writeResidualsPicture(options.residualPlotPath, options.plotWidth, options.plotHeight, m.modelId, &m.fit)) {
        status = FIT_EXIT_BAD_FILE;
    }
    return status;
}

void showFit(const FitOptions& options, const ModelFit& m)
{
    g_shown.set = true;
    g_shown.modelId = m.modelId;
    g_shown.stat = m.stat;
    g_shown.predictionBand = options.band == 2;
    g_shown.sigmas.clear();
    bool newMeasurementsNeeded = options.band == 2 || !options.predictX.empty() || !options.inverseY.empty();
    if (g_run.weighting == WEIGHTING_SIGMA && newMeasurementsNeeded) {
        const PointTable& points = g_app.points;
        g_shown.sigmas.resize(points.pointCount);
        for (int i = 0; i < points.pointCount; ++i) g_shown.sigmas[i] = SigmaByX{points.x[i], 1.0 / g_run.w[i]};
        std::sort(g_shown.sigmas.begin(), g_shown.sigmas.end(),
                  [](const SigmaByX& left, const SigmaByX& right) { return left.x < right.x; });
    }
}

int worse(int status, int extras)
{
    return extras != FIT_EXIT_FITTED ? extras : status;
}

int reportSingle(const FitOptions& options, const char* fileName)
{
    ModelFit m = fitOneModel(options.modelId, options.refine);
    const std::string warning = fitWarning(m);
    if (!warning.empty()) warn(m, fileName, warning);
    showFit(options, m);
    if (options.json) {
        printJson(options, m, fileName, false, true);
    } else if (options.report) {
        printPaperBlock(m);
    } else {
        printBlock(options, m);
    }
    int status = fitUsable(m) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
    return worse(status, writeExtras(options, m));
}

int reportAll(const FitOptions& options, const char* fileName)
{
    ModelFit ranked[MODEL_COUNT];
    for (int k = 0; k < MODEL_COUNT; ++k) ranked[k] = fitOneModel(k, options.refine);
    measureAicc(ranked);
    rankAll(ranked);
    showFit(options, ranked[0]);
    for (const ModelFit& m : ranked) {
        if (options.json) {
            printJson(options, m, fileName, true, &m == &ranked[0]);
        } else {
            printRankedLine(options, m);
        }
    }
    int status = fitUsable(ranked[0]) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
    return worse(status, writeExtras(options, ranked[0]));
}

} // namespace

bool shownFitBand(double x, bool prediction, double* y, double* low, double* high)
{
    if (!g_shown.set) return false;
    Prediction p = shownPrediction(x);
    *y = p.y;
    *low = prediction ? p.pi[0] : p.ci[0];
    *high = prediction ? p.pi[1] : p.ci[1];
    return true;
}

void printFormula(FILE* out, int modelId)
{
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) fputc((char)*p, out);
}

int reportFit(const FitOptions& options, const char* fileName, const double* sigma)
{
    g_app.exponentN = options.exponentN;
    const PointTable& points = g_app.points;
    g_run.weighting = options.sigma ? WEIGHTING_SIGMA : options.weighting;
    g_run.absolute = options.sigma && options.sigmaAbsolute;
    g_run.fixed = options.fixed;
    g_run.w.clear();
    g_run.sigma = options.sigma ? sigma : nullptr;
    if (g_run.weighting != WEIGHTING_NONE) {
        g_run.w.resize(points.pointCount);
        int bad = 0;
        if (!pointWeights(g_run.weighting, points.x, points.y, sigma, points.pointCount, g_run.w.data(), &bad)) {
            char sigmaText[40] = "";
            if (sigma != nullptr) snprintf(sigmaText, sizeof sigmaText, ", SIGMA=%g", shown(sigma[bad]));
            fprintf(stderr, "kelvora-fit: %s: point %d (X=%g, Y=%g%s) has no positive finite weight %s\n", fileName,
                    bad + 1, shown(points.x[bad]), shown(points.y[bad]), sigmaText,
                    weightingText(g_run.weighting, g_run.absolute));
            return FIT_EXIT_BAD_FILE;
        }
    }
    return options.all ? reportAll(options, fileName) : reportSingle(options, fileName);
}
