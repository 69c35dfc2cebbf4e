// kelvora-fit's output: one model's formula, A, B (N) and S, or all sixteen models ranked by S.
#include "report.h"

#include <math.h>

#include "app_state.h"
#include "fit.h"
#include "models.h"

namespace {

struct RankedFit {
    int modelId;
    FitResult fit;
};

bool allFinite(const FitResult& fit)
{
    return isfinite(fit.a) && isfinite(fit.b) && isfinite(fit.s);
}

int reportSingle(const FitOptions& options)
{
    const char* format = options.precise ? "%s=%.17g\n" : "%s=%g\n";
    g_app.modelId = options.modelId;
    fitModel();
    printFormula(stdout, options.modelId);
    putchar('\n');
    printf(format, "A", g_app.fit.a);
    printf(format, "B", g_app.fit.b);
    if (options.modelId == MODEL_POWER_N) printf(format, "N", g_app.exponentN);
    printf(format, "S", g_app.fit.s);
    return allFinite(g_app.fit) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
}

// Smallest S first; a fit with a non-finite A, B or S goes last; equal ranks keep the catalogue order.
bool ranksBefore(const RankedFit& left, const RankedFit& right)
{
    bool leftFinite = allFinite(left.fit);
    bool rightFinite = allFinite(right.fit);
    if (leftFinite != rightFinite) return leftFinite;
    if (leftFinite && left.fit.s != right.fit.s) return left.fit.s < right.fit.s;
    return left.modelId < right.modelId;
}

int reportAll(const FitOptions& options)
{
    RankedFit ranked[MODEL_COUNT];
    for (int k = 0; k < MODEL_COUNT; ++k) {
        g_app.modelId = k;
        fitModel();
        ranked[k].modelId = k;
        ranked[k].fit = g_app.fit;
    }
    // Insertion sort: sixteen entries, stable.
    for (int i = 1; i < MODEL_COUNT; ++i) {
        RankedFit moving = ranked[i];
        int j = i;
        while (j > 0 && ranksBefore(moving, ranked[j - 1])) {
            ranked[j] = ranked[j - 1];
            --j;
        }
        ranked[j] = moving;
    }
    const char* format = options.precise ? "S=%.17g A=%.17g B=%.17g " : "S=%g A=%g B=%g ";
    for (const RankedFit& entry : ranked) {
        printf(format, entry.fit.s, entry.fit.a, entry.fit.b);
        printFormula(stdout, entry.modelId);
        putchar('\n');
    }
    return allFinite(ranked[0].fit) ? FIT_EXIT_FITTED : FIT_EXIT_NOT_FINITE;
}

} // namespace

void printFormula(FILE* out, int modelId)
{
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) fputc((char)*p, out);
}

int reportFit(const FitOptions& options)
{
    g_app.exponentN = options.exponentN;
    return options.all ? reportAll(options) : reportSingle(options);
}
