// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit: fits the models to points files on the command line, with the program's own core.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "fit_problem.h"
#include "fit_run.h"
#include "options.h"
#include "points_input.h"
#include "shared_run.h"

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

    // --share fits the files together: one block for all.
    if (options.share != 0) {
        status = runShared(options);
        return standardOutputWritten() ? status : FIT_EXIT_BAD_FILE;
    }
    // The points of each file in the tool's own store, read one file after the other.
    PointStore store;
    bool withHeaders = options.files.size() > 1;
    // With --residuals standard output is the CSV's: the file names go with the summary.
    FILE* headers = options.residuals ? stderr : stdout;
    status = FIT_EXIT_FITTED;
    for (size_t i = 0; i < options.files.size(); ++i) {
        const char* path = options.files[i];
        if (withHeaders && !options.json) fprintf(headers, "%s%s:\n", i > 0 ? "\n" : "", displayName(path));
        fflush(stdout);
        preparePointStore(&store, options.sigma, options.residuals, options.sigmaXY);
        bool loaded = readInputFile(path, displayName(path), options.columns, options.pick, &store);
        // Three numbers a point where --sigma-xy reads four: the command line asks for what is not there.
        if (store.wrongShape) return FIT_EXIT_USAGE;
        int fileStatus = loaded ? runFile(options, &store, path) : FIT_EXIT_BAD_FILE;
        // An --exclude past a file's last point is wrong usage.
        if (fileStatus == FIT_EXIT_USAGE) return FIT_EXIT_USAGE;
        status = worseStatus(status, fileStatus);
    }
    return standardOutputWritten() ? status : FIT_EXIT_BAD_FILE;
}
