// kelvora-fit: fits the models to a points file on the command line, with the program's own core.
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app_state.h"
#include "fit.h"
#include "models.h"
#include "points_file.h"

static const char USAGE[] =
    "usage: kelvora-fit [--model K] [--exponent N] [--precise] FILE.dat\n"
    "       kelvora-fit --all [--exponent N] [--precise] FILE.dat\n";

static const char HELP[] =
    "Fits a two-parameter model to the points of FILE.dat by linearised least squares.\n"
    "\n"
    "  --model K     model 0..15 (default 0, Y=A+B*X); --all lists them\n"
    "  --exponent N  the exponent N of model 15, Y=A+B*X^N (default 2)\n"
    "  --precise     print numbers with 17 significant digits instead of 6\n"
    "  --all         fit all sixteen models, one line each, smallest S first:\n"
    "                S=... A=... B=... Y=...\n"
    "  --help        print this text\n"
    "\n"
    "Without --all it prints the formula, then A=, B=, N= (model 15 only) and S=.\n"
    "FILE.dat holds the number of points, then X and Y of each point, separated by white space.\n"
    "Exit status: 0 fitted, 1 the file cannot be used, 2 wrong usage.\n";

struct Options {
    bool all;
    bool precise;
    int modelId;
    double exponentN;
    const char* path;
};

struct RankedFit {
    int modelId;
    FitResult fit;
};

static int usageError(const char* message)
{
    if (message != NULL) fprintf(stderr, "kelvora-fit: %s\n", message);
    fputs(USAGE, stderr);
    return 2;
}

static bool parseInt(const char* text, int* value)
{
    char* end = NULL;
    errno = 0;
    long parsed = strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || parsed < -2147483647 || parsed > 2147483647) return false;
    *value = (int)parsed;
    return true;
}

static bool parseDouble(const char* text, double* value)
{
    char* end = NULL;
    double parsed = strtod(text, &end);
    if (end == text || *end != 0) return false;
    *value = parsed;
    return true;
}

// Returns -1 when the options are usable, otherwise the exit status (help printed or usage error).
static int parseOptions(int argc, char** argv, Options* options)
{
    bool modelGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            fputs(USAGE, stdout);
            fputs(HELP, stdout);
            return 0;
        } else if (strcmp(arg, "--all") == 0) {
            options->all = true;
        } else if (strcmp(arg, "--precise") == 0) {
            options->precise = true;
        } else if (strcmp(arg, "--model") == 0) {
            if (!hasValue || !parseInt(argv[++i], &options->modelId)) return usageError("--model needs a number");
            if (options->modelId < 0 || options->modelId >= MODEL_COUNT) return usageError("--model is 0 to 15");
            modelGiven = true;
        } else if (strcmp(arg, "--exponent") == 0) {
            if (!hasValue || !parseDouble(argv[++i], &options->exponentN)) {
                return usageError("--exponent needs a number");
            }
        } else if (arg[0] == '-' && arg[1] != 0 && strcmp(arg, "--") != 0) {
            fprintf(stderr, "kelvora-fit: unknown option %s\n", arg);
            return usageError(NULL);
        } else {
            if (strcmp(arg, "--") == 0) {
                if (++i >= argc) break;
                arg = argv[i];
            }
            if (options->path != NULL || i + 1 < argc) return usageError("give exactly one file");
            options->path = arg;
        }
    }
    if (options->path == NULL) return usageError("no file given");
    if (options->all && modelGiven) return usageError("--all and --model exclude each other");
    return -1;
}

static void printFormula(int modelId)
{
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) putchar((char)*p);
}

static void printSingle(const Options* options)
{
    const char* format = options->precise ? "%s=%.17g\n" : "%s=%g\n";
    g_app.modelId = options->modelId;
    fitModel();
    printFormula(options->modelId);
    putchar('\n');
    printf(format, "A", g_app.fit.a);
    printf(format, "B", g_app.fit.b);
    if (options->modelId == MODEL_POWER_N) printf(format, "N", g_app.exponentN);
    printf(format, "S", g_app.fit.s);
}

// Smallest S first; a NaN or infinite S goes last; equal ranks keep the catalogue order.
static bool ranksBefore(const RankedFit* left, const RankedFit* right)
{
    bool leftFinite = isfinite(left->fit.s);
    bool rightFinite = isfinite(right->fit.s);
    if (leftFinite != rightFinite) return leftFinite;
    if (leftFinite && left->fit.s != right->fit.s) return left->fit.s < right->fit.s;
    return left->modelId < right->modelId;
}

static void printAll(const Options* options)
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
        while (j > 0 && ranksBefore(&moving, &ranked[j - 1])) {
            ranked[j] = ranked[j - 1];
            --j;
        }
        ranked[j] = moving;
    }
    const char* format = options->precise ? "S=%.17g A=%.17g B=%.17g " : "S=%g A=%g B=%g ";
    for (int i = 0; i < MODEL_COUNT; ++i) {
        printf(format, ranked[i].fit.s, ranked[i].fit.a, ranked[i].fit.b);
        printFormula(ranked[i].modelId);
        putchar('\n');
    }
}

static const char* reasonText(PointsFileStatus status)
{
    switch (status) {
    case POINTS_FILE_NO_COUNT: return "no point count at the start";
    case POINTS_FILE_NEGATIVE_COUNT: return "negative point count";
    case POINTS_FILE_COUNT_TOO_LARGE: return "more than 1000000 points";
    case POINTS_FILE_READ_ERROR: return "read error";
    case POINTS_FILE_CANNOT_OPEN: return "cannot be read";
    default: return "unreadable";
    }
}

int main(int argc, char** argv)
{
    Options options = {false, false, 0, 2.0, NULL};
    int status = parseOptions(argc, argv, &options);
    if (status >= 0) return status;

    FILE* file = fopen(options.path, "rb");
    if (file == NULL) {
        fprintf(stderr, "kelvora-fit: %s: %s\n", options.path, strerror(errno));
        return 1;
    }
    int declared = 0;
    PointsFileStatus loaded = readPointsStream(file, &g_app.points, &declared);
    fclose(file);
    if (loaded != POINTS_FILE_OK && loaded != POINTS_FILE_SHORT && loaded != POINTS_FILE_EXTRA_NUMBERS) {
        fprintf(stderr, "kelvora-fit: %s: %s\n", options.path, reasonText(loaded));
        return 1;
    }
    if (loaded == POINTS_FILE_SHORT) {
        fprintf(stderr, "kelvora-fit: %s: warning: holds %d of its %d points; fitting those\n", options.path,
                g_app.points.pointCount, declared);
    }
    if (loaded == POINTS_FILE_EXTRA_NUMBERS) {
        fprintf(stderr,
                "kelvora-fit: %s: warning: holds more numbers than its count of %d point%s: were its "
                "columns written without the count line? fitting the counted ones\n",
                options.path, declared, declared == 1 ? "" : "s");
    }
    g_app.exponentN = options.exponentN;
    if (options.all) {
        printAll(&options);
    } else {
        printSingle(&options);
    }
    return 0;
}
