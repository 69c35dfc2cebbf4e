// SPDX-License-Identifier: GPL-3.0-or-later
// The run of --share: the files' problems, their separate refined fits, the shared fit, and its output.
#include "shared_run.h"

#include <math.h>
#include <string.h>

#include <vector>

#include "fit_output.h"
#include "fit_record.h"
#include "points_input.h"
#include "report.h"
#include "shared_fit.h"
#include "shared_report.h"

namespace {

struct SharedFile {
    PointStore store;
    FitProblem problem;
    const char* name;
};

const char* shownName(const char* path)
{
    return strcmp(path, "-") == 0 ? "standard input" : path;
}

// One file read, its --exclude applied and its problem made; the exit status when it cannot be.
int loadFile(const FitOptions& options, const char* path, SharedFile* file)
{
    file->name = path;
    preparePointStore(&file->store, options.sigma, false);
    if (!readInputFile(path, shownName(path), options.columns, options.pick, &file->store)) return FIT_EXIT_BAD_FILE;
    if (!options.exclude.empty()) {
        std::vector<bool> excluded;
        char message[160];
        if (!excludedPoints(options.exclude, file->store.table->pointCount, &excluded, message, sizeof message)) {
            fprintf(stderr, "kelvora-fit: %s: --exclude: %s (see kelvora-fit --help)\n", shownName(path), message);
            return FIT_EXIT_USAGE;
        }
        dropPoints(&file->store, excluded);
    }
    int bad = 0;
    if (!makeProblem(&file->store, options.modelId, options.exponentN, FixedParameter{-1, 0.0},
                     options.weightingKind(), options.absoluteWeights(), &file->problem, &bad)) {
        fprintf(stderr, "kelvora-fit: %s: point %d has no positive finite weight %s\n", shownName(path), bad + 1,
                weightingText(file->problem.weighting, file->problem.absolute));
        return FIT_EXIT_BAD_FILE;
    }
    return FIT_EXIT_FITTED;
}

// The sum the fits minimise: chi2 with weights, else the residual sum on Y.
double minimisedSum(const FitRecord& r)
{
    return isnan(r.chi2) ? r.fit.residualSum : r.chi2;
}

} // namespace

int runShared(const FitOptions& options)
{
    std::vector<SharedFile> files(options.files.size());
    for (size_t k = 0; k < files.size(); ++k) {
        int status = loadFile(options, options.files[k], &files[k]);
        if (status != FIT_EXIT_FITTED) return status;
    }
    std::vector<FitDataSet> sets;
    std::vector<SeparateFit> separate;
    for (const SharedFile& f : files) {
        FitRecord own = fitProblem(f.problem, true);
        if (!recordUsable(own)) {
            fprintf(stderr, "kelvora-fit: %s: the file's own refined fit, the shared fit's start, gave no fit\n",
                    shownName(f.name));
            return FIT_EXIT_NOT_FINITE;
        }
        sets.push_back(FitDataSet{f.problem.x, f.problem.y, f.problem.w, f.problem.count});
        separate.push_back(SeparateFit{own.fit.a, own.fit.b, minimisedSum(own)});
    }
    SharedFit fit = sharedFit(sets.data(), separate.data(), (int)sets.size(), options.modelId, options.exponentN,
                              options.share, options.absoluteWeights(), REFINE_MAX_ITERATIONS);
    SharedReport report = {&fit, options.modelId, options.exponentN, options.files.data(),
                           files[0].problem.w != nullptr, weightingText(files[0].problem.weighting,
                                                                         files[0].problem.absolute)};
    if (options.json) {
        printf("%s\n", sharedJson(report).c_str());
    } else {
        printSharedBlock(stdout, NumberFormat{options.precise}, report);
    }
    if (!fit.ok) fprintf(stderr, "kelvora-fit: the shared fit gave no fit: %s\n", fit.reason);
    return fit.ok && isfinite(fit.sum) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
}
