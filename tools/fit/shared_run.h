// SPDX-License-Identifier: GPL-3.0-or-later
// --share: every file read, each fitted on its own, then one fit of all with the shared parameters,
// printed as one block (or one JSON line).
#ifndef KELVORA_SHARED_RUN_H
#define KELVORA_SHARED_RUN_H

#include "options.h"

// Reads and fits the files of options together. Returns FIT_EXIT_FITTED, FIT_EXIT_BAD_FILE when a file
// cannot be used, FIT_EXIT_USAGE for an --exclude past a file's last point, FIT_EXIT_NOT_FINITE when a
// fit gave no finite result.
int runShared(const FitOptions& options);

#endif
