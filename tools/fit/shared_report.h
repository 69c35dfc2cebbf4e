// SPDX-License-Identifier: GPL-3.0-or-later
// The output of a fit with parameters shared across files: the block and the JSON line. They only
// format the shared fit handed to them.
#ifndef KELVORA_SHARED_REPORT_H
#define KELVORA_SHARED_REPORT_H

#include <stdio.h>

#include <string>

#include "report.h"
#include "shared_fit.h"

struct SharedReport {
    const SharedFit* fit;
    int modelId;
    double exponentN;
    const char* const* files; // the names as given, one a set
    bool weighted;            // the sums are chi2
    const char* weighting;
};

// The formula, the shared parameter(s) with their errors, a line per file with its own parameter, n and
// S, then the sums, the F test and AICc of the shared and the separate fits.
void printSharedBlock(FILE* out, NumberFormat format, const SharedReport& report);

// The same as one JSON object.
std::string sharedJson(const SharedReport& report);

#endif
