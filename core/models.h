// SPDX-License-Identifier: GPL-3.0-or-later
// The models, one row each in MODEL_TABLE: the formula shown, the value, the straight line the
// linearised fit uses and the way back from it, the points that line takes, the derivatives the
// refinement follows and the pole a solution must keep away from the data. Adding a model is adding a
// row (and raising MODEL_COUNT); the fit, the refinement and the uncertainty read only the table.
#ifndef KELVORA_MODELS_H
#define KELVORA_MODELS_H

#include <windows.h>

#define MODEL_COUNT 16
#define MODEL_POWER_N 15
#define AXIS_Y_INDEX 16

// Points the model's straight line refuses: a logarithm or reciprocal of them has no value. The line's
// transform of a point must also be finite (1/Y of a tiny Y overflows; X^N depends on N).
#define MODEL_LINE_ANY_POINT 0x0
#define MODEL_LINE_X_NONZERO 0x1  // 1/X
#define MODEL_LINE_X_POSITIVE 0x2 // log X
#define MODEL_LINE_Y_NONZERO 0x4  // 1/Y, X/Y
#define MODEL_LINE_Y_POSITIVE 0x8 // log Y

struct ModelRow {
    const WCHAR* formula;
    // Y at x for the parameters a, b and the exponent n (only the power model reads n).
    double (*evaluate)(double a, double b, double n, double x);
    // The point (x, y) in the coordinates (t, z) where the model is the straight line z = a0 + b0*t.
    void (*linearise)(double n, double x, double y, double* t, double* z);
    // A and B from the line's intercept a0 and slope b0.
    void (*fromLine)(double a0, double b0, double* a, double* b);
    // d(A, B) / d(a0, b0) at the line (a0, b0) whose A and B are a and b: rows A and B, columns a0, b0.
    void (*fromLineJacobian)(double a0, double b0, double a, double b, double jacobian[2][2]);
    // dY/dA and dY/dB at x.
    void (*gradient)(double a, double b, double n, double x, double* dA, double* dB);
    UINT lineDomain; // MODEL_LINE_* flags
    // The X where the model's denominator vanishes for a and b; FALSE for a model without one, or
    // parameters that put it nowhere.
    BOOL (*pole)(double a, double b, double* x);
    BOOL usesExponent; // the formula has the exponent N
    BOOL lineOnY;      // the line's z is Y itself: its residuals are those of Y
    // A model with a pole written as Y = c * h(X) / (u(X) - p): linear in c for a fixed pole p of the
    // variable u (X, or exp(-X)), so a scan over p with c solved linearly finds starts on either side
    // of a pole. NULL for models without one.
    double (*poleVariable)(double x);             // u(X)
    double (*poleFormBasis)(double p, double x);  // h(X) / (u(X) - p)
    void (*fromPoleForm)(double p, double c, double* a, double* b);
    // dz/dY of the straight line's z at (x, y), which carries a weight on Y to the line.
    double (*lineSlopeInY)(double x, double y);
    // A fixed at v (parameter 0) or B (1) as the condition c[0]*a0 + c[1]*b0 = c[2] on the line;
    // FALSE when no line gives that value.
    BOOL (*fixOnLine)(int parameter, double v, double c[3]);
    // The values and dY/dA, dY/dB of count points at once, those of evaluate and gradient (an exp of
    // many numbers at once may differ from exp in the last bit): a pass over many points makes one call,
    // and a model whose value and derivatives share an exp or pow computes it once a point.
    void (*valuesAndGradients)(double a, double b, double n, const double* x, int count, double* y, double* dA,
                               double* dB);
    // Models that are one curve written in other forms share this name (NULL: a curve of its own), so a
    // ranking of every model can say so instead of listing them as rivals.
    const char* curveFamily;
    // dY/dX at x: the slope of the curve, along which a fit with errors in X moves each point.
    double (*slopeInX)(double a, double b, double n, double x);
    // y[i] = evaluate(a, b, n, x[i]) for count points, bit for bit, in one call.
    void (*values)(double a, double b, double n, const double* x, int count, double* y);
};

extern const ModelRow MODEL_TABLE[MODEL_COUNT];

// What an id outside the table stands for: every value, line and derivative NaN.
extern const ModelRow NO_MODEL;

// Caption of the horizontal plot axis.
extern const WCHAR AXIS_X_TEXT[];

// The row of model id, NULL for an id outside 0..MODEL_COUNT-1.
const ModelRow* modelRow(int id);

// The first model whose formula has the exponent N, -1 when none has.
int modelWithExponent();

// TRUE when the formula of model id has the exponent N (shown with A and B, asked for when chosen).
BOOL modelUsesExponent(int id);

// Display text of model id (0..15), the vertical axis caption for AXIS_Y_INDEX, "" for anything else.
const WCHAR* modelText(int id);

// Value of model id at x with parameters a, b and exponent n (n is used by MODEL_POWER_N only);
// NaN for an id outside 0..15.
double evaluateModelWith(int id, double a, double b, double n, double x);

// Value of the selected model at x with the parameters of the last fit and the current exponent.
double evaluateModel(double x);

// The transform of one point to the straight-line coordinates t and z of model modelId.
void lineariseModel(int modelId, double exponentN, double x, double y, double* t, double* z);

// True when the model's straight line can take the point: it is in the line's domain and its (t, z)
// are finite. The linearised fit's points, and the refinement's start, are such points.
bool lineTakesPoint(int modelId, double exponentN, double x, double y);

// True when each of the count points lies inside the domain of model modelId's straight line (X and Y
// of the signs its transform needs). It does not transform them: a line fitted over the same points
// with finite means and spreads tells that every transform was finite too.
bool pointsInLineDomain(int modelId, const double* x, const double* y, int count);

// The model's A and B from the line's intercept a0 and slope b0.
void backTransformLine(int modelId, double a0, double b0, double* a, double* b);

// d(A, B) / d(a0, b0) of the back-transformation of modelId at the line (a0, b0).
void backTransformJacobian(int modelId, double a0, double b0, double jacobian[2][2]);

// dz/dY of model modelId's straight line at the point (x, y); NaN for an id outside the table.
double lineSlopeInY(int modelId, double x, double y);

// The condition c[0]*a0 + c[1]*b0 = c[2] on the straight line that fixes A (parameter 0) or B (1) at
// value; false when no line of the model gives that value.
bool fixedParameterOnLine(int modelId, int parameter, double value, double c[3]);

// Partial derivatives of the model's value at x with respect to A and B.
void modelGradient(int modelId, double a, double b, double exponentN, double x, double* dA, double* dB);

// Values and derivatives of model modelId at count points at once, as evaluateModelWith and
// modelGradient give them one by one.
void modelValuesAndGradients(int modelId, double a, double b, double exponentN, const double* x, int count,
                             double* y, double* dA, double* dB);

#endif
