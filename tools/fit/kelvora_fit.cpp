// kelvora-fit: fits the models to points files on the command line, with the program's own core.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "app_state.h"
#include "options.h"
#include "points_input.h"
#include "report.h"

static bool isStandardInput(const char* path)
{
    return strcmp(path, "-") == 0;
}

// Name of a file in messages and block headers.
static const char* displayName(const char* path)
{
    return isStandardInput(path) ? "standard input" : path;
}

// Results that never reached their destination (a full disk, a closed pipe) are a failure.
static bool standardOutputWritten()
{
    if (fflush(stdout) == 0 && !ferror(stdout)) return true;
    fprintf(stderr, "kelvora-fit: standard output: %s\n", strerror(errno));
    return false;
}

// A file that cannot be used outweighs a fit that is not finite.
static int worseStatus(int left, int right)
{
    if (left == FIT_EXIT_BAD_FILE || right == FIT_EXIT_BAD_FILE) return FIT_EXIT_BAD_FILE;
    return left != FIT_EXIT_FITTED ? left : right;
}

int main(int argc, char** argv)
{
    // Past a file-size limit a write fails with an error to report instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    FitOptions options;
    int status = parseFitOptions(argc, argv, &options);
    if (status == FIT_EXIT_FITTED && !standardOutputWritten()) return FIT_EXIT_BAD_FILE;
    if (status >= 0) return status;

    // Sigma of Y beside the point table, when the input carries it.
    std::vector<double> sigma(options.sigma ? POINT_CAPACITY : 0);
    ColumnChoice pick = options.pick;
    if (options.sigma && pick.x == 0) pick.sigma = 3;
    bool withHeaders = options.files.size() > 1;
    status = FIT_EXIT_FITTED;
    for (size_t i = 0; i < options.files.size(); ++i) {
        const char* path = options.files[i];
        if (withHeaders && !options.json) printf("%s%s:\n", i > 0 ? "\n" : "", displayName(path));
        fflush(stdout);
        double* sigmaColumn = options.sigma ? sigma.data() : nullptr;
        bool loaded = readInputFile(path, displayName(path), options.columns, pick, &g_app.points, sigmaColumn);
        int fileStatus = loaded ? reportFit(options, path, sigmaColumn) : FIT_EXIT_BAD_FILE;
        status = worseStatus(status, fileStatus);
    }
    return standardOutputWritten() ? status : FIT_EXIT_BAD_FILE;
}
