// SPDX-License-Identifier: GPL-3.0-or-later
// Profile-likelihood intervals of a least-squares fit: for each parameter held at a value, the other
// fitted again, tau = sign * sqrt(S(value) - S(minimum)) / s; the interval is where |tau| <= cutoff
// (t(0.975, dof) for 95%). Unlike the intervals from the standard errors they follow a curved model's
// sum of squares and need not be symmetric.
#ifndef KELVORA_PROFILE_H
#define KELVORA_PROFILE_H

// The fit a profile is taken around: the points, their weights on Y (NULL: all 1), the model and the
// minimum (a, b) with its residual sum and standard errors (the first search steps).
struct ProfileProblem {
    const double* x;
    const double* y;
    const double* w;
    int count;
    int modelId;
    double exponentN;
    double a;
    double b;
    double seA;
    double seB;
    double sum;
};

struct ProfileInterval {
    double low;  // -INFINITY / +INFINITY: |tau| stays below the cutoff as far as the search went
    double high;
    bool ok;     // false: the other parameter could not be fitted on the way out
};

// The profile interval of parameter (0: A, 1: B) with s the residual standard deviation (sqrt(sum / dof)
// for an estimated scatter, 1 for absolute weights) and cutoff the |tau| that bounds it.
ProfileInterval profileInterval(const ProfileProblem& problem, int parameter, double s, double cutoff);

// The least residual sum with parameter held at value, the other parameter fitted from *other (where
// it is left); NaN when the model has no value at a point.
double profiledSum(const ProfileProblem& problem, int parameter, double value, double* other);

#endif
