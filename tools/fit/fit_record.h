// SPDX-License-Identifier: GPL-3.0-or-later
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

// Where an added field is written.
enum RecordFieldPlace {
    FIELD_EVERYWHERE, // the block, the paper block and the JSON
    FIELD_JSON_ONLY,  // a list too long for a text line (one value a point)
    FIELD_TEXT_ONLY,  // the block and the paper block: what the JSON says by a list
};

// A value a fit method adds to the output: one number ("name=v", JSON "name":v), an interval of two
// ("name=[a, b]", JSON "name":[a,b]), a list (JSON only) or a text ("name=text", JSON "name":"text"),
// printed after the common fields in the order added.
struct RecordField {
    std::string name;
    std::vector<double> values;
    std::string text;          // a text field when values is empty
    RecordFieldPlace place = FIELD_EVERYWHERE;
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
void addRecordText(FitRecord* record, const char* name, const std::string& text,
                   RecordFieldPlace place = FIELD_EVERYWHERE);
void addRecordList(FitRecord* record, const char* name, const std::vector<double>& values);

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
