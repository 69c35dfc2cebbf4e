// The result of fitting one problem: one record, whatever the method, from which the output, the
// intervals, AICc, bands, predictions and inverses are derived (fit_statistics.h).
#ifndef KELVORA_FIT_RECORD_H
#define KELVORA_FIT_RECORD_H

#include <string>
#include <vector>

#include "fit.h"
#include "fit_problem.h"
#include "fit_uncertainty.h"
#include "refine.h"

// A value a fit method adds to the output: one number ("name=v", JSON "name":v) or an interval of two
// ("name=[a, b]", JSON "name":[a,b]), printed after the common fields in the order added.
struct RecordField {
    std::string name;
    std::vector<double> values;
};

struct FitRecord {
    int modelId;
    double exponentN;
    const char* method;          // "linearised" or "refined"; a new fit method names itself here
    FitResult fit;               // A, B, the unweighted residual sum on Y and S (n - 1); S is NaN below 2 points
    FitUncertainty uncertainty;  // standard errors, 95% intervals, r2 on Y and on the line, s_n2, cov(A, B)
    double varA, varB;           // the covariance's diagonal (0 for a fixed parameter)
    int count;                   // points the fit used
    int dof;                     // count less the fitted parameters
    double chi2;                 // sum of w (Y - fitted)^2, NaN without weights
    bool r2Uncentred;            // a line through the origin: r2 = 1 - RSS / sum Y^2 (weighted with weights)
    FitResult linearised;        // the linearised fit, the refinement's start
    bool refineAsked;
    RefineResult refinement;     // its status, iterations, start and the points it left out
    std::vector<RecordField> extra; // what a method adds beyond these (empty for the linearised and refined fits)
};

// Adds a field of one value (or of an interval, high given) to the record's output.
void addRecordField(FitRecord* record, const char* name, double value);
void addRecordInterval(FitRecord* record, const char* name, double low, double high);

// Fits the problem: the linearised fit with its uncertainty, then with refine the least squares on Y
// from it, which replaces it when it converged.
FitRecord fitProblem(const FitProblem& problem, bool refine);

// The refinement was asked for and converged.
bool recordRefined(const FitRecord& record);

// A, B and S are finite.
bool recordFinite(const FitRecord& record);

// The fit is usable: finite, and refined when a refinement was asked for.
bool recordUsable(const FitRecord& record);

// The fitted parameters: 1 with a parameter held, else 2.
int fittedParameters(const FitProblem& problem);

#endif
