// kelvora-fit's output: one model's formula, A, B (N), S and their uncertainty, or all sixteen models
// ranked by S; as text blocks or JSON lines; then the residuals and pictures of the fit shown.
#include "report.h"

#include <math.h>

#include <string>

#include "app_state.h"
#include "fit.h"
#include "fit_output.h"
#include "fit_uncertainty.h"
#include "models.h"
#include "plot_file.h"
#include "refine.h"

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
};

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

ModelFit fitOneModel(int modelId, bool refine)
{
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
        m.refinement = refineFit(points.x, points.y, points.pointCount, modelId, g_app.exponentN,
                                 REFINE_MAX_ITERATIONS);
        if (m.refinement.status == REFINE_CONVERGED) {
            m.fit = m.refinement.fit;
            m.uncertainty = m.refinement.uncertainty;
            m.count = m.refinement.pointsUsed;
        }
    }
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
    if (refined(m)) printRefineNote(options, m);
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

void printJson(const ModelFit& m, const char* fileName)
{
    const std::string warning = fitWarning(m);
    FitReport report = {fileName, m.modelId, g_app.exponentN, m.count, m.fit, m.uncertainty, refined(m),
                        m.refinement.iterations, warning.empty() ? NULL : warning.c_str()};
    puts(fitJson(&report).c_str());
}

// Smallest S first; a fit that is not usable goes last; equal ranks keep the catalogue order.
bool ranksBefore(const ModelFit& left, const ModelFit& right)
{
    bool leftUsable = fitUsable(left);
    bool rightUsable = fitUsable(right);
    if (leftUsable != rightUsable) return leftUsable;
    if (leftUsable && left.fit.s != right.fit.s) return left.fit.s < right.fit.s;
    return left.modelId < right.modelId;
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

// The residuals and pictures of the fit m.
int writeExtras(const FitOptions& options, const ModelFit& m)
{
    const PointTable& points = g_app.points;
    if (options.residuals) {
        writeResidualsCsv(stdout, points.x, points.y, points.pointCount, m.modelId, m.fit.a, m.fit.b,
                          g_app.exponentN);
    }
    int status = FIT_EXIT_FITTED;
    if (options.plotPath != nullptr &&
        !writeResultsPicture(options.plotPath, options.plotWidth, options.plotHeight, m.modelId, &m.fit)) {
        status = FIT_EXIT_BAD_FILE;
    }
    if (options.residualPlotPath != nullptr &&
        !writeResidualsPicture(options.residualPlotPath, options.plotWidth, options.plotHeight, m.modelId, &m.fit)) {
        status = FIT_EXIT_BAD_FILE;
    }
    return status;
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
    if (options.json) {
        printJson(m, fileName);
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
    rankAll(ranked);
    for (const ModelFit& m : ranked) {
        if (options.json) {
            printJson(m, fileName);
        } else {
            printRankedLine(options, m);
        }
    }
    int status = fitUsable(ranked[0]) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
    return worse(status, writeExtras(options, ranked[0]));
}

} // namespace

void printFormula(FILE* out, int modelId)
{
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) fputc((char)*p, out);
}

int reportFit(const FitOptions& options, const char* fileName)
{
    g_app.exponentN = options.exponentN;
    return options.all ? reportAll(options, fileName) : reportSingle(options, fileName);
}
