// SPDX-License-Identifier: GPL-3.0-or-later
// The fit methods beside the plain pipeline, each giving the one record: errors in both X and Y
// (York's line, orthogonal distance regression), robust weights, and intervals by the profile of the
// sum of squares or by the bootstrap in place of those from the standard errors.
#ifndef KELVORA_FIT_METHODS_H
#define KELVORA_FIT_METHODS_H

#include "fit_problem.h"
#include "fit_record.h"
#include "robust.h"

// The intervals of A and B: from the standard errors, the profile of the sum of squares, or the
// bootstrap.
enum CiMethod {
    CI_WALD,
    CI_PROFILE,
    CI_BOOTSTRAP,
};

struct MethodRequest {
    bool refine;
    bool robust;
    RobustKind robustKind;
    CiMethod ci;
    int resamples;       // of the bootstrap
    unsigned long seed;
};

// The fit of problem as request asks: with sigma of X in the problem the fit with errors in both (the
// other requests do not apply), else the plain or robust fit, then its intervals replaced by the
// profile's or the bootstrap's (the Wald intervals kept beside them as ci_A_wald, ci_B_wald).
FitRecord fitWithMethods(const FitProblem& problem, const MethodRequest& request);

// The record of a fit with errors in both X and Y.
FitRecord errorsInBothRecord(const FitProblem& problem);

// The record of a robust fit, refined by reweighted least squares with refine.
FitRecord robustRecord(const FitProblem& problem, bool refine, RobustKind kind);

#endif
