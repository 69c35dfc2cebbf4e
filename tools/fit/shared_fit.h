// SPDX-License-Identifier: GPL-3.0-or-later
// One least-squares fit on Y of several data sets that share A, B or both: one parameter vector (the
// shared parameters, then each set's own), errors from the joint covariance, and the extra-sum-of-squares
// F test of the shared fit against the sets fitted apart.
#ifndef KELVORA_SHARED_FIT_H
#define KELVORA_SHARED_FIT_H

#include <vector>

#define SHARE_A 0x1
#define SHARE_B 0x2
#define SHARE_BOTH (SHARE_A | SHARE_B)

// One data set: its points and the weights of their squared residuals on Y (NULL: all 1).
struct FitDataSet {
    const double* x;
    const double* y;
    const double* w;
    int count;
};

// A set fitted on its own: the start of the shared fit and its share of the separate sum.
struct SeparateFit {
    double a;
    double b;
    double sum; // the set's (weighted) residual sum at a, b
};

struct SharedSetFit {
    double a;
    double b;
    double seA;  // 0 for a shared parameter: its error is the shared one
    double seB;
    double sum;  // the set's (weighted) residual sum at the shared solution
    int count;
    double s;    // sqrt(sum / (count - 1)), the program's S of the set
};

struct FTest {
    double f;
    int df1;
    int df2;
    double p; // upper tail of F(df1, df2)
};

struct SharedFit {
    bool ok;
    int share;                       // SHARE_* mask
    double a, b;                     // the shared value(s); NaN for a parameter the sets keep
    double seA, seB;
    std::vector<SharedSetFit> sets;
    double sum;                      // over all sets
    int count;
    int parameters;                  // fitted: shared ones plus the sets' own
    int dof;
    double sumSeparate;              // the sets fitted apart
    int dofSeparate;
    FTest fTest;
    double aicc;
    double aiccSeparate;
    int iterations;
    char reason[120];
};

// Fits model modelId to the setCount sets with the parameters in share (a SHARE_* mask) common to all,
// started from each set's own fit in separate[] (a shared parameter from the mean of the sets' values).
// absolute: the weights are 1/sigma^2 of one-sd sigma, and the covariance is not scaled by the sum per
// degree of freedom.
SharedFit sharedFit(const FitDataSet* sets, const SeparateFit* separate, int setCount, int modelId, double exponentN,
                    int share, bool absolute, int maxIterations);

// The extra-sum-of-squares F test of a constrained fit (sum, dof) against a fuller one: F with
// (dof - dofFull, dofFull) degrees of freedom and its p.
FTest extraSumOfSquaresTest(double sum, int dof, double sumFull, int dofFull);

#endif
