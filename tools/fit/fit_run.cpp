// SPDX-License-Identifier: GPL-3.0-or-later
// The run of one file: problem, fit, ranking, output. The fits come from the one pipeline
// (fitProblem), everything printed from the report's formats.
#include "fit_run.h"

#include <math.h>

#include <vector>

#include "fit_methods.h"
#include "fit_output.h"
#include "fit_record.h"
#include "fit_statistics.h"
#include "models.h"
#include "plot_file.h"
#include "report.h"
#include "vector_plot.h"
#include "xy_errors.h"

namespace {

// Every point of the file as read, for the pictures, with those --exclude left out marked hollow.
struct ShownPoints {
    std::vector<double> x, y, sigma;
    std::vector<unsigned char> hollow;
    std::string excludedText; // "3,7-9"; empty when no point was left out
};

// Smallest AICc first among the fits of every point, then the usable fits of fewer points (their AICc
// is of other data), then the fits that are not usable; equal ranks keep the table's order.
struct Ranked {
    FitRecord record;
    RankedFit line;
    bool comparable; // usable, and measured on every point of the file
};

int rankGroup(const Ranked& m)
{
    return m.comparable ? 0 : recordUsable(m.record) ? 1 : 2;
}

// AICc that differ in their last digits only: the same minimum reached in another form of one model
// (A*B^X and A*EXP(B*X)), which ranks by the table, not by the rounding of its solver.
bool sameAicc(double left, double right)
{
    return left == right || fabs(left - right) <= 1e-9 * fmax(1.0, fmax(fabs(left), fabs(right)));
}

bool ranksBefore(const Ranked& left, const Ranked& right)
{
    int leftGroup = rankGroup(left), rightGroup = rankGroup(right);
    double l = left.line.aicc, r = right.line.aicc;
    if (leftGroup != rightGroup) return leftGroup < rightGroup;
    if (leftGroup < 2 && !sameAicc(l, r) && !isnan(l) && !isnan(r)) return l < r;
    if (leftGroup < 2 && isnan(l) != isnan(r)) return !isnan(l);
    return left.record.modelId < right.record.modelId;
}

// AICc of each fit on Y and the Akaike weights of the comparable ones. An exact fit has AICc minus
// infinity: the exact fits share the weight.
void measureAicc(const FitProblem& problem, std::vector<Ranked>* fits)
{
    double best = INFINITY;
    for (Ranked& m : *fits) {
        m.line.aicc = recordAicc(problem, m.record);
        m.comparable = recordUsable(m.record) && m.record.count == problem.count && !isnan(m.line.aicc);
        if (m.comparable && m.line.aicc < best) best = m.line.aicc;
    }
    double total = 0.0;
    for (Ranked& m : *fits) {
        m.line.akaikeWeight = NAN;
        if (!m.comparable) continue;
        m.line.akaikeWeight = isinf(best) ? (m.line.aicc == best ? 1.0 : 0.0) : exp(-0.5 * (m.line.aicc - best));
        total += m.line.akaikeWeight;
    }
    for (Ranked& m : *fits) m.line.akaikeWeight /= total;
}

// Insertion sort (stable, a handful of entries); then each fit whose curve an earlier one already
// showed in another form of the same model names that one.
void rankAll(std::vector<Ranked>* fits)
{
    std::vector<Ranked>& ranked = *fits;
    for (size_t i = 1; i < ranked.size(); ++i) {
        Ranked moving = ranked[i];
        size_t j = i;
        while (j > 0 && ranksBefore(moving, ranked[j - 1])) {
            ranked[j] = ranked[j - 1];
            --j;
        }
        ranked[j] = moving;
    }
    for (size_t i = 0; i < ranked.size(); ++i) {
        ranked[i].line.record = &ranked[i].record;
        ranked[i].line.sameCurveAs = -1;
        const ModelRow* row = modelRow(ranked[i].record.modelId);
        if (row->curveFamily == NULL || !recordFinite(ranked[i].record)) continue;
        for (size_t j = 0; j < i && ranked[i].line.sameCurveAs < 0; ++j) {
            const ModelRow* other = modelRow(ranked[j].record.modelId);
            if (other->curveFamily == row->curveFamily && recordFinite(ranked[j].record) &&
                sameAicc(ranked[j].record.fit.residualSum, ranked[i].record.fit.residualSum)) {
                ranked[i].line.sameCurveAs = ranked[j].record.modelId;
            }
        }
    }
}

// The publication plot of the fit shown: the points with their sigma under --sigma, the band of --band.
VectorPlot vectorPlotOf(const FitOptions& options, const FitView& view, const ShownPoints& shown)
{
    const FitProblem& p = *view.problem;
    const FitRecord& m = *view.record;
    const char* bandName = options.band == BAND_PREDICTION ? "95% prediction band" : "95% confidence band";
    VectorPlot plot = {p.x, p.y, p.sigma, p.count, m.modelId, m.fit.a, m.fit.b, m.exponentN,
                       m.uncertainty.seA, m.uncertainty.seB, options.band != BAND_NONE ? viewBand : NULL, &view,
                       bandName, options.residualPanel,
                       options.sizeGiven ? (double)options.plotWidth : VECTOR_PLOT_WIDTH,
                       options.sizeGiven ? (double)options.plotHeight : VECTOR_PLOT_HEIGHT, NULL};
    if (!shown.hollow.empty()) {
        plot.x = shown.x.data();
        plot.y = shown.y.data();
        plot.sigma = p.sigma != nullptr ? shown.sigma.data() : nullptr;
        plot.count = (int)shown.x.size();
        plot.hollow = shown.hollow.data();
    }
    return plot;
}

// The residuals and pictures of the fit shown.
int writeExtras(const FitOptions& options, const FitView& view, const ShownPoints& shown)
{
    const FitProblem& p = *view.problem;
    const FitRecord& m = *view.record;
    if (options.residuals) {
        ResidualsCsv csv = {p.x, p.y, p.count, m.modelId, m.fit.a, m.fit.b, m.exponentN, p.texts,
                            options.band != BAND_NONE ? viewBand : NULL, &view,
                            options.band == BAND_PREDICTION ? "pi" : "ci"};
        writeResidualsCsv(stdout, &csv);
    }
    int status = FIT_EXIT_FITTED;
    PlotPoints points = {p.x, p.y, p.count, NULL};
    if (!shown.hollow.empty()) points = PlotPoints{shown.x.data(), shown.y.data(), (int)shown.x.size(), shown.hollow.data()};
    if (options.plotFormat != VECTOR_NONE) {
        VectorPlot plot = vectorPlotOf(options, view, shown);
        if (!writeVectorPlot(options.plotPath, &plot)) status = FIT_EXIT_BAD_FILE;
    } else if (options.plotPath != nullptr &&
               !writeResultsPicture(options.plotPath, options.plotWidth, options.plotHeight, points, m)) {
        status = FIT_EXIT_BAD_FILE;
    }
    if (options.residualPlotPath != nullptr &&
        !writeResidualsPicture(options.residualPlotPath, options.plotWidth, options.plotHeight, points, m)) {
        status = FIT_EXIT_BAD_FILE;
    }
    return status;
}

int worse(int status, int extras)
{
    return extras != FIT_EXIT_FITTED ? extras : status;
}

// The summary's stream: standard output, or standard error when the residual CSV has standard output.
FILE* summaryStream(const FitOptions& options)
{
    return options.residuals ? stderr : stdout;
}

MethodRequest methodRequestOf(const FitOptions& options)
{
    return MethodRequest{options.refine, options.robust, options.robustKind, options.ci, options.bootstrap,
                         options.seed};
}

void noteExcluded(const ShownPoints& shown, FitRecord* record)
{
    if (shown.excludedText.empty()) return;
    addRecordText(record, "excluded", shown.excludedText);
    addRecordField(record, "n_excluded", (double)(shown.x.size() - (size_t)record->count));
}

int runSingle(const FitOptions& options, const FitProblem& problem, const char* fileName, const ShownPoints& shown)
{
    FitRecord m = fitWithMethods(problem, methodRequestOf(options));
    noteExcluded(shown, &m);
    const std::string warning = fitWarning(problem, m);
    if (!warning.empty()) warnAboutFit(fileName, m.modelId, warning);
    FitView view;
    makeFitView(&problem, &m, options.band == BAND_PREDICTION, options.needsNewMeasurements(), &view);
    FILE* out = summaryStream(options);
    NumberFormat format = {options.precise};
    if (options.json) {
        printJsonLine(stdout, fileName, problem, m, nullptr, &view, options.predictX, options.inverseY);
    } else {
        if (options.report) {
            printPaperBlock(out, problem, m);
        } else {
            printFitBlock(out, format, problem, m);
        }
        printPredictions(out, format, view, options.predictX, options.inverseY);
    }
    int status = recordUsable(m) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
    return worse(status, writeExtras(options, view, shown));
}

int runAll(const FitOptions& options, const FitProblem& problem, const char* fileName, const ShownPoints& shown)
{
    std::vector<Ranked> ranked(MODEL_COUNT);
    for (int k = 0; k < MODEL_COUNT; ++k) {
        ranked[k].record = fitProblem(problemForModel(problem, k), options.refine);
        noteExcluded(shown, &ranked[k].record);
    }
    measureAicc(problem, &ranked);
    rankAll(&ranked);
    const FitRecord& first = ranked[0].record;
    FitProblem shownProblem = problemForModel(problem, first.modelId);
    FitView view;
    makeFitView(&shownProblem, &first, options.band == BAND_PREDICTION, options.needsNewMeasurements(), &view);
    FILE* out = summaryStream(options);
    NumberFormat format = {options.precise};
    for (const Ranked& m : ranked) {
        if (options.json) {
            printJsonLine(stdout, fileName, problemForModel(problem, m.record.modelId), m.record, &m.line, &m == &ranked[0] ? &view : nullptr,
                          options.predictX, options.inverseY);
        } else {
            printRankedLine(out, format, problemForModel(problem, m.record.modelId), m.line);
        }
    }
    if (!options.json) printPredictions(out, format, view, options.predictX, options.inverseY);
    int status = recordUsable(first) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
    return worse(status, writeExtras(options, view, shown));
}

// Leaves the points --exclude names out of the store, keeping every point for the pictures; false, with
// the reason said, when a number is past the file's last point.
bool excludePoints(const FitOptions& options, PointStore* store, const char* fileName, ShownPoints* shown)
{
    if (options.exclude.empty()) return true;
    const PointTable& t = *store->table;
    std::vector<bool> excluded;
    char message[160];
    if (!excludedPoints(options.exclude, t.pointCount, &excluded, message, sizeof message)) {
        fprintf(stderr, "kelvora-fit: %s: --exclude: %s (see kelvora-fit --help)\n", fileName, message);
        return false;
    }
    shown->x.assign(t.x, t.x + t.pointCount);
    shown->y.assign(t.y, t.y + t.pointCount);
    if (!store->sigma.empty()) shown->sigma.assign(store->sigma.begin(), store->sigma.begin() + t.pointCount);
    for (bool left : excluded) shown->hollow.push_back(left ? 1 : 0);
    char text[400];
    pointListText(excluded, text, sizeof text);
    shown->excludedText = text;
    dropPoints(store, excluded);
    return true;
}

} // namespace

int runFile(const FitOptions& options, PointStore* store, const char* fileName)
{
    FitProblem problem;
    ShownPoints shown;
    int bad = 0;
    if (!excludePoints(options, store, fileName, &shown)) return FIT_EXIT_USAGE;
    if (store->table->pointCount == 0) {
        fprintf(stderr, "kelvora-fit: %s: --exclude leaves no point to fit\n", fileName);
        return FIT_EXIT_BAD_FILE;
    }
    if (!makeProblem(store, options.modelId, options.exponentN, options.fixed, options.weightingKind(),
                     options.absoluteWeights(), &problem, &bad)) {
        const PointTable& points = *store->table;
        char sigmaText[40] = "";
        if (problem.sigma != nullptr) snprintf(sigmaText, sizeof sigmaText, ", SIGMA=%g", shownNumber(problem.sigma[bad]));
        fprintf(stderr, "kelvora-fit: %s: point %d (X=%g, Y=%g%s) has no positive finite weight %s\n", fileName,
                bad + 1, shownNumber(points.x[bad]), shownNumber(points.y[bad]), sigmaText,
                weightingText(problem.weighting, problem.absolute));
        return FIT_EXIT_BAD_FILE;
    }
    XYPoints withX = {problem.x, problem.y, problem.sigmaX, problem.sigma, problem.count};
    if (problem.sigmaX != nullptr && !xyErrorsUsable(withX, &bad)) {
        fprintf(stderr, "kelvora-fit: %s: point %d (X=%g, Y=%g, SIGMA_X=%g) has no positive finite SIGMA_X\n",
                fileName, bad + 1, shownNumber(problem.x[bad]), shownNumber(problem.y[bad]),
                shownNumber(problem.sigmaX[bad]));
        return FIT_EXIT_BAD_FILE;
    }
    return options.all ? runAll(options, problem, fileName, shown) : runSingle(options, problem, fileName, shown);
}
