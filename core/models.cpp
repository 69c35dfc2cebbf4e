// SPDX-License-Identifier: GPL-3.0-or-later
// The model table. Each formula is computed in one fixed order (the product written first, then the
// sum or quotient) so that plots and residuals come out the same on every build.
#include "models.h"

#include <math.h>

#include "app_state.h"
#include "exp_many.h"

const WCHAR AXIS_X_TEXT[] = L"Axis X";
static const WCHAR AXIS_Y_TEXT[] = L"Axis Y";

// Values.
static double valueLine(double a, double b, double, double x) { return b * x + a; }
static double valueReciprocalLine(double a, double b, double, double x) { return 1.0 / (b * x + a); }
static double valueHyperbola(double a, double b, double, double x) { return b / x + a; }
static double valueXOverLine(double a, double b, double, double x) { return x / (b * x + a); }
static double valueBaseB(double a, double b, double, double x) { return pow(b, x) * a; }
static double valueExp(double a, double b, double, double x) { return exp(b * x) * a; }
static double valueTenTo(double a, double b, double, double x) { return pow(10.0, b * x) * a; }
static double valueLogistic(double a, double b, double, double x) { return 1.0 / (exp(-x) * b + a); }
// The product written first leaves the doubles for X or A near the ends of the range (X^B of X = 1e-300
// underflows though A*X^B is ordinary); then the value is taken through logarithms.
static bool outsideNormals(double value)
{
    return value == 0.0 || !isnormal(value);
}
static double powerTimesA(double a, double b, double x, double power) // power is pow(x, b)
{
    if (outsideNormals(power) && x > 0.0 && isfinite(b) && a != 0.0 && isfinite(a)) {
        return copysign(exp(b * log(x) + log(fabs(a))), a);
    }
    return power * a;
}
static double valuePower(double a, double b, double, double x) { return powerTimesA(a, b, x, pow(x, b)); }
static double valueLog10(double a, double b, double, double x) { return log10(x) * b + a; }
static double valueLn(double a, double b, double, double x) { return log(x) * b + a; }
static double valueAOverShift(double a, double b, double, double x) { return a / (b + x); }
static double valueSaturation(double a, double b, double, double x)
{
    double product = a * x;
    if (outsideNormals(product) && a != 0.0 && x != 0.0) return a * (x / (b + x));
    return product / (b + x);
}
static double valueExpOverX(double a, double b, double, double x) { return exp(b / x) * a; }
static double valueTenToOverX(double a, double b, double, double x) { return pow(10.0, b / x) * a; }
static double valuePowerN(double a, double b, double n, double x) { return pow(x, n) * b + a; }

// Derivatives in X (the slope of the curve), which a fit with errors in X moves each point along.
static double slopeXLine(double, double b, double, double) { return b; }
static double slopeXReciprocalLine(double a, double b, double, double x)
{
    double u = b * x + a;
    return -b / (u * u);
}
static double slopeXHyperbola(double, double b, double, double x) { return -b / (x * x); }
static double slopeXOverLine(double a, double b, double, double x)
{
    double u = b * x + a;
    return a / (u * u);
}
static double slopeXBaseB(double a, double b, double, double x) { return pow(b, x) * a * log(b); }
static double slopeXExp(double a, double b, double, double x) { return exp(b * x) * a * b; }
static double slopeXTenTo(double a, double b, double, double x) { return pow(10.0, b * x) * a * b * log(10.0); }
static double slopeXLogistic(double a, double b, double, double x)
{
    double e = exp(-x);
    double u = e * b + a;
    return b * e / (u * u);
}
static double slopeXPower(double a, double b, double, double x) { return powerTimesA(a * b, b - 1.0, x, pow(x, b - 1.0)); }
static double slopeXLog10(double, double b, double, double x) { return b / (x * log(10.0)); }
static double slopeXLn(double, double b, double, double x) { return b / x; }
static double slopeXAOverShift(double a, double b, double, double x) { return -a / ((b + x) * (b + x)); }
static double slopeXSaturation(double a, double b, double, double x) { return a * b / ((b + x) * (b + x)); }
static double slopeXExpOverX(double a, double b, double, double x) { return -exp(b / x) * a * b / (x * x); }
static double slopeXTenToOverX(double a, double b, double, double x)
{
    return -pow(10.0, b / x) * a * b * log(10.0) / (x * x);
}
static double slopeXPowerN(double, double b, double n, double x) { return pow(x, n - 1.0) * b * n; }

// Straight lines.
static void lineYOnX(double, double x, double y, double* t, double* z) { *t = x; *z = y; }
static void lineInverseYOnX(double, double x, double y, double* t, double* z) { *t = x; *z = 1.0 / y; }
static void lineYOnInverseX(double, double x, double y, double* t, double* z) { *t = 1.0 / x; *z = y; }
static void lineXOverYOnX(double, double x, double y, double* t, double* z) { *t = x; *z = x / y; }
static void lineLog10YOnX(double, double x, double y, double* t, double* z) { *t = x; *z = log10(y); }
static void lineLnYOnX(double, double x, double y, double* t, double* z) { *t = x; *z = log(y); }
static void lineInverseYOnExp(double, double x, double y, double* t, double* z) { *t = exp(-x); *z = 1.0 / y; }
static void lineLog10YOnLog10X(double, double x, double y, double* t, double* z) { *t = log10(x); *z = log10(y); }
static void lineYOnLog10X(double, double x, double y, double* t, double* z) { *t = log10(x); *z = y; }
static void lineYOnLnX(double, double x, double y, double* t, double* z) { *t = log(x); *z = y; }
static void lineInverseYOnInverseX(double, double x, double y, double* t, double* z) { *t = 1.0 / x; *z = 1.0 / y; }
static void lineLnYOnInverseX(double, double x, double y, double* t, double* z) { *t = 1.0 / x; *z = log(y); }
static void lineLog10YOnInverseX(double, double x, double y, double* t, double* z) { *t = 1.0 / x; *z = log10(y); }
static void lineYOnXToN(double n, double x, double y, double* t, double* z) { *t = pow(x, n); *z = y; }

// Ways back from the line, and their derivatives.
static void fromLineAsIs(double a0, double b0, double* a, double* b) { *a = a0; *b = b0; }
static void fromLineTenToBoth(double a0, double b0, double* a, double* b) { *a = pow(10.0, a0); *b = pow(10.0, b0); }
static void fromLineExpA(double a0, double b0, double* a, double* b) { *a = exp(a0); *b = b0; }
static void fromLineTenToA(double a0, double b0, double* a, double* b) { *a = pow(10.0, a0); *b = b0; }
static void fromLineOverB0(double a0, double b0, double* a, double* b) { *a = 1.0 / b0; *b = *a * a0; }
static void fromLineOverA0(double a0, double b0, double* a, double* b) { *a = 1.0 / a0; *b = *a * b0; }

static void setJacobian(double jacobian[2][2], double aa0, double ab0, double ba0, double bb0)
{
    jacobian[0][0] = aa0; jacobian[0][1] = ab0;
    jacobian[1][0] = ba0; jacobian[1][1] = bb0;
}

static void jacobianAsIs(double, double, double, double, double j[2][2]) { setJacobian(j, 1.0, 0.0, 0.0, 1.0); }
static void jacobianTenToBoth(double, double, double a, double b, double j[2][2])
{
    const double ln10 = log(10.0);
    setJacobian(j, ln10 * a, 0.0, 0.0, ln10 * b);
}
static void jacobianExpA(double, double, double a, double, double j[2][2]) { setJacobian(j, a, 0.0, 0.0, 1.0); }
static void jacobianTenToA(double, double, double a, double, double j[2][2])
{
    const double ln10 = log(10.0);
    setJacobian(j, ln10 * a, 0.0, 0.0, 1.0);
}
static void jacobianOverB0(double a0, double b0, double, double, double j[2][2]) // A = 1/b0, B = a0/b0
{
    setJacobian(j, 0.0, -1.0 / (b0 * b0), 1.0 / b0, -a0 / (b0 * b0));
}
static void jacobianOverA0(double a0, double b0, double, double, double j[2][2]) // A = 1/a0, B = b0/a0
{
    setJacobian(j, -1.0 / (a0 * a0), 0.0, -b0 / (a0 * a0), 1.0 / a0);
}

// Derivatives in A and B.
static void gradientLine(double, double, double, double x, double* dA, double* dB) { *dA = 1.0; *dB = x; }
static void gradientReciprocalLine(double a, double b, double, double x, double* dA, double* dB)
{
    double u = b * x + a;
    *dA = -1.0 / (u * u);
    *dB = -x / (u * u);
}
static void gradientHyperbola(double, double, double, double x, double* dA, double* dB) { *dA = 1.0; *dB = 1.0 / x; }
static void gradientXOverLine(double a, double b, double, double x, double* dA, double* dB)
{
    double u = b * x + a;
    *dA = -x / (u * u);
    *dB = -x * x / (u * u);
}
static void gradientBaseB(double a, double b, double, double x, double* dA, double* dB)
{
    *dA = pow(b, x);
    *dB = a * x * pow(b, x - 1.0);
}
static void gradientExp(double a, double b, double, double x, double* dA, double* dB)
{
    double e = exp(b * x);
    *dA = e;
    *dB = a * x * e;
}
static void gradientTenTo(double a, double b, double, double x, double* dA, double* dB)
{
    const double ln10 = log(10.0);
    double e = pow(10.0, b * x);
    *dA = e;
    *dB = a * ln10 * x * e;
}
static void gradientLogistic(double a, double b, double, double x, double* dA, double* dB)
{
    double e = exp(-x);
    double u = e * b + a;
    *dA = -1.0 / (u * u);
    *dB = -e / (u * u);
}
static void gradientPower(double a, double b, double, double x, double* dA, double* dB)
{
    double e = pow(x, b);
    *dA = e;
    // At X = 0, X^B * ln X tends to 0 for B > 0 (the model's value there is 0 whatever B is).
    *dB = (x == 0.0 && b > 0.0) ? 0.0 : a * e * log(x);
}
static void gradientLog10(double, double, double, double x, double* dA, double* dB) { *dA = 1.0; *dB = log10(x); }
static void gradientLn(double, double, double, double x, double* dA, double* dB) { *dA = 1.0; *dB = log(x); }
static void gradientAOverShift(double a, double b, double, double x, double* dA, double* dB)
{
    double u = b + x;
    *dA = 1.0 / u;
    *dB = -a / (u * u);
}
static void gradientSaturation(double a, double b, double, double x, double* dA, double* dB)
{
    double u = b + x;
    *dA = x / u;
    *dB = -a * x / (u * u);
}
static void gradientExpOverX(double a, double b, double, double x, double* dA, double* dB)
{
    double e = exp(b / x);
    *dA = e;
    *dB = a * e / x;
}
static void gradientTenToOverX(double a, double b, double, double x, double* dA, double* dB)
{
    const double ln10 = log(10.0);
    double e = pow(10.0, b / x);
    *dA = e;
    *dB = a * ln10 * e / x;
}
static void gradientPowerN(double, double, double n, double x, double* dA, double* dB) { *dA = 1.0; *dB = pow(x, n); }

// Values and derivatives of many points: in general each point's value then its derivatives; the
// models with an exp, pow or log in both take it once. The same operations as value and gradient, so
// the same results, except the exp of many numbers at once, which may differ from exp in the last bit.
typedef double (*ValueFunction)(double a, double b, double n, double x);
typedef void (*GradientFunction)(double a, double b, double n, double x, double* dA, double* dB);
// The values of count points at once, each that of the row's evaluate: one call for many points, which
// the compiler can turn into vector code where the value is plain arithmetic.
template <double (*value)(double, double, double, double)>
static void valuesOf(double a, double b, double n, const double* x, int count, double* y)
{
    for (int i = 0; i < count; ++i) y[i] = value(a, b, n, x[i]);
}

template <ValueFunction value, GradientFunction gradient>
static void valuesAndGradientsOf(double a, double b, double n, const double* x, int count, double* y, double* dA,
                                 double* dB)
{
    for (int i = 0; i < count; ++i) {
        y[i] = value(a, b, n, x[i]);
        gradient(a, b, n, x[i], &dA[i], &dB[i]);
    }
}
static void valuesAndGradientsBaseB(double a, double b, double, const double* x, int count, double* y, double* dA,
                                    double* dB)
{
    for (int i = 0; i < count; ++i) {
        double e = pow(b, x[i]);
        y[i] = e * a;
        dA[i] = e;
        dB[i] = a * x[i] * pow(b, x[i] - 1.0);
    }
}
static void valuesAndGradientsExp(double a, double b, double, const double* x, int count, double* y, double* dA,
                                  double* dB)
{
    for (int i = 0; i < count; ++i) dA[i] = b * x[i];
    expOfMany(dA, count, dA);
    for (int i = 0; i < count; ++i) {
        double e = dA[i];
        y[i] = e * a;
        dB[i] = a * x[i] * e;
    }
}
static void valuesAndGradientsTenTo(double a, double b, double, const double* x, int count, double* y, double* dA,
                                    double* dB)
{
    const double ln10 = log(10.0);
    for (int i = 0; i < count; ++i) {
        double e = pow(10.0, b * x[i]);
        y[i] = e * a;
        dA[i] = e;
        dB[i] = a * ln10 * x[i] * e;
    }
}
static void valuesAndGradientsLogistic(double a, double b, double, const double* x, int count, double* y,
                                       double* dA, double* dB)
{
    for (int i = 0; i < count; ++i) dB[i] = -x[i];
    expOfMany(dB, count, dB);
    for (int i = 0; i < count; ++i) {
        double e = dB[i];
        double u = e * b + a;
        y[i] = 1.0 / u;
        dA[i] = -1.0 / (u * u);
        dB[i] = -e / (u * u);
    }
}
static void valuesAndGradientsPower(double a, double b, double, const double* x, int count, double* y, double* dA,
                                    double* dB)
{
    for (int i = 0; i < count; ++i) {
        double e = pow(x[i], b);
        y[i] = powerTimesA(a, b, x[i], e);
        dA[i] = e;
        dB[i] = (x[i] == 0.0 && b > 0.0) ? 0.0 : a * e * log(x[i]);
    }
}
static double commonLogarithm(double x) { return log10(x); }
static double naturalLogarithm(double x) { return log(x); }
template <double (*logarithm)(double)>
static void valuesAndGradientsLogarithm(double a, double b, double, const double* x, int count, double* y,
                                        double* dA, double* dB)
{
    for (int i = 0; i < count; ++i) {
        double l = logarithm(x[i]);
        y[i] = l * b + a;
        dA[i] = 1.0;
        dB[i] = l;
    }
}
static void valuesAndGradientsExpOverX(double a, double b, double, const double* x, int count, double* y,
                                       double* dA, double* dB)
{
    for (int i = 0; i < count; ++i) dA[i] = b / x[i];
    expOfMany(dA, count, dA);
    for (int i = 0; i < count; ++i) {
        double e = dA[i];
        y[i] = e * a;
        dB[i] = a * e / x[i];
    }
}
static void valuesAndGradientsTenToOverX(double a, double b, double, const double* x, int count, double* y,
                                         double* dA, double* dB)
{
    const double ln10 = log(10.0);
    for (int i = 0; i < count; ++i) {
        double e = pow(10.0, b / x[i]);
        y[i] = e * a;
        dA[i] = e;
        dB[i] = a * ln10 * e / x[i];
    }
}
static void valuesAndGradientsPowerN(double a, double b, double n, const double* x, int count, double* y,
                                     double* dA, double* dB)
{
    for (int i = 0; i < count; ++i) {
        double e = pow(x[i], n);
        y[i] = e * b + a;
        dA[i] = 1.0;
        dB[i] = e;
    }
}

// dz/dY of the line's z at (x, y): a weight on Y becomes the weight w / (dz/dY)^2 on z.
static double slopeOne(double, double) { return 1.0; }
static double slopeInverse(double, double y) { return -1.0 / (y * y); }
static double slopeXOverY(double x, double y) { return -x / (y * y); }
static double slopeLog10(double, double y) { return 1.0 / (y * log(10.0)); }
static double slopeLn(double, double y) { return 1.0 / y; }

// A fixed A (parameter 0) or B (1) as the line c[0]*a0 + c[1]*b0 = c[2] in the line's (a0, b0); FALSE
// when no line has that value (the A of a logarithm's way back is positive, that of a reciprocal not 0).
static void setConstraint(double c[3], double c0, double c1, double c2) { c[0] = c0; c[1] = c1; c[2] = c2; }
static BOOL fixAsIs(int parameter, double v, double c[3])
{
    setConstraint(c, parameter == 0 ? 1.0 : 0.0, parameter == 0 ? 0.0 : 1.0, v);
    return TRUE;
}
static BOOL fixTenToBoth(int parameter, double v, double c[3])
{
    if (!(v > 0.0)) return FALSE;
    return fixAsIs(parameter, log10(v), c);
}
static BOOL fixExpA(int parameter, double v, double c[3])
{
    if (parameter == 1) return fixAsIs(1, v, c);
    if (!(v > 0.0)) return FALSE;
    return fixAsIs(0, log(v), c);
}
static BOOL fixTenToA(int parameter, double v, double c[3])
{
    if (parameter == 1) return fixAsIs(1, v, c);
    if (!(v > 0.0)) return FALSE;
    return fixAsIs(0, log10(v), c);
}
static BOOL fixOverB0(int parameter, double v, double c[3]) // A = 1/b0, B = a0/b0
{
    if (parameter == 1) {
        setConstraint(c, 1.0, -v, 0.0);
        return TRUE;
    }
    if (v == 0.0) return FALSE;
    return fixAsIs(1, 1.0 / v, c);
}
static BOOL fixOverA0(int parameter, double v, double c[3]) // A = 1/a0, B = b0/a0
{
    if (parameter == 1) {
        setConstraint(c, -v, 1.0, 0.0);
        return TRUE;
    }
    if (v == 0.0) return FALSE;
    return fixAsIs(0, 1.0 / v, c);
}

// Poles: where the denominator A + B*X (or A + B*exp(-X), or B + X) is 0.
static BOOL poleOfLine(double a, double b, double* x)
{
    if (b == 0.0) return FALSE;
    *x = -a / b;
    return isfinite(*x);
}
static BOOL poleOfLogistic(double a, double b, double* x)
{
    if (b == 0.0 || !(-a / b > 0.0)) return FALSE;
    *x = -log(-a / b);
    return isfinite(*x);
}
static BOOL poleOfShift(double, double b, double* x)
{
    *x = -b;
    return isfinite(*x);
}

// Pole forms: Y = c * h(X) / (u(X) - p).
static double poleVariableX(double x) { return x; }
static double poleVariableExp(double x) { return exp(-x); }
static double basisOne(double p, double x) { return 1.0 / (x - p); }
static double basisX(double p, double x) { return x / (x - p); }
static double basisOneOfExp(double p, double x) { return 1.0 / (exp(-x) - p); }
// 1/(A + B*u) and X/(A + B*X): c = 1/B, p = -A/B.
static void fromPoleOverB(double p, double c, double* a, double* b)
{
    *b = 1.0 / c;
    *a = -p * *b;
}
// A/(B + X) and A*X/(B + X): c = A, p = -B.
static void fromPoleShift(double p, double c, double* a, double* b)
{
    *a = c;
    *b = -p;
}

#define NO_POLE_FORM NULL, NULL, NULL
#define X_NONZERO MODEL_LINE_X_NONZERO
#define X_POSITIVE MODEL_LINE_X_POSITIVE
#define Y_NONZERO MODEL_LINE_Y_NONZERO
#define Y_POSITIVE MODEL_LINE_Y_POSITIVE

// Columns: formula, value, straight line, way back, its derivative, derivatives in A and B;
//          points the line takes, pole, exponent N, line on Y itself; pole form (u, basis, way back);
//          dz/dY of the line, a fixed A or B on the line; values and derivatives of many points;
//          the curve family; dY/dX.
// Models that are one curve in another form: A*B^X, A*EXP(B*X) and A*10^(B*X) are the same exponential,
// the two logarithms the same curve, 1/(A+B*X) and A/(B+X) the same hyperbola, X/(A+B*X) and A*X/(B+X)
// the same saturation.
static const char CURVE_EXPONENTIAL[] = "exponential";
static const char CURVE_LOGARITHM[] = "logarithm";
static const char CURVE_EXPONENTIAL_OF_INVERSE[] = "exponential of 1/X";
static const char CURVE_RECIPROCAL_LINE[] = "reciprocal of a line";
static const char CURVE_SATURATION[] = "saturation";

const ModelRow MODEL_TABLE[MODEL_COUNT] = {
    {L"Y=A+B*X", valueLine, lineYOnX, fromLineAsIs, jacobianAsIs, gradientLine,
     MODEL_LINE_ANY_POINT, NULL, FALSE, TRUE,
     NO_POLE_FORM,
     slopeOne, fixAsIs,
     valuesAndGradientsOf<valueLine, gradientLine>, NULL,
     slopeXLine, valuesOf<valueLine>},
    {L"Y=1/(A+B*X)", valueReciprocalLine, lineInverseYOnX, fromLineAsIs, jacobianAsIs, gradientReciprocalLine,
     Y_NONZERO, poleOfLine, FALSE, FALSE,
     poleVariableX, basisOne, fromPoleOverB,
     slopeInverse, fixAsIs,
     valuesAndGradientsOf<valueReciprocalLine, gradientReciprocalLine>,
     CURVE_RECIPROCAL_LINE,
     slopeXReciprocalLine, valuesOf<valueReciprocalLine>},
    {L"Y=A+B/X", valueHyperbola, lineYOnInverseX, fromLineAsIs, jacobianAsIs, gradientHyperbola,
     X_NONZERO, NULL, FALSE, TRUE,
     NO_POLE_FORM,
     slopeOne, fixAsIs,
     valuesAndGradientsOf<valueHyperbola, gradientHyperbola>, NULL,
     slopeXHyperbola, valuesOf<valueHyperbola>},
    {L"Y=X/(A+B*X)", valueXOverLine, lineXOverYOnX, fromLineAsIs, jacobianAsIs, gradientXOverLine,
     Y_NONZERO, poleOfLine, FALSE, FALSE,
     poleVariableX, basisX, fromPoleOverB,
     slopeXOverY, fixAsIs,
     valuesAndGradientsOf<valueXOverLine, gradientXOverLine>,
     CURVE_SATURATION,
     slopeXOverLine, valuesOf<valueXOverLine>},
    {L"Y=A*B^X", valueBaseB, lineLog10YOnX, fromLineTenToBoth, jacobianTenToBoth, gradientBaseB,
     Y_POSITIVE, NULL, FALSE, FALSE,
     NO_POLE_FORM,
     slopeLog10, fixTenToBoth,
     valuesAndGradientsBaseB,
     CURVE_EXPONENTIAL,
     slopeXBaseB, valuesOf<valueBaseB>},
    {L"Y=A*EXP(B*X)", valueExp, lineLnYOnX, fromLineExpA, jacobianExpA, gradientExp,
     Y_POSITIVE, NULL, FALSE, FALSE,
     NO_POLE_FORM,
     slopeLn, fixExpA,
     valuesAndGradientsExp,
     CURVE_EXPONENTIAL,
     slopeXExp, valuesOf<valueExp>},
    {L"Y=A*10^(B*X)", valueTenTo, lineLog10YOnX, fromLineTenToA, jacobianTenToA, gradientTenTo,
     Y_POSITIVE, NULL, FALSE, FALSE,
     NO_POLE_FORM,
     slopeLog10, fixTenToA,
     valuesAndGradientsTenTo,
     CURVE_EXPONENTIAL,
     slopeXTenTo, valuesOf<valueTenTo>},
    {L"Y=1/(A+B*EXP(-X))", valueLogistic, lineInverseYOnExp, fromLineAsIs, jacobianAsIs, gradientLogistic,
     Y_NONZERO, poleOfLogistic, FALSE, FALSE,
     poleVariableExp, basisOneOfExp, fromPoleOverB,
     slopeInverse, fixAsIs,
     valuesAndGradientsLogistic, NULL,
     slopeXLogistic, valuesOf<valueLogistic>},
    {L"Y=A*X^B", valuePower, lineLog10YOnLog10X, fromLineTenToA, jacobianTenToA, gradientPower,
     X_POSITIVE | Y_POSITIVE, NULL, FALSE, FALSE,
     NO_POLE_FORM,
     slopeLog10, fixTenToA,
     valuesAndGradientsPower, NULL,
     slopeXPower, valuesOf<valuePower>},
    {L"Y=A+B*LOG10(X)", valueLog10, lineYOnLog10X, fromLineAsIs, jacobianAsIs, gradientLog10,
     X_POSITIVE, NULL, FALSE, TRUE,
     NO_POLE_FORM,
     slopeOne, fixAsIs,
     valuesAndGradientsLogarithm<commonLogarithm>,
     CURVE_LOGARITHM,
     slopeXLog10, valuesOf<valueLog10>},
    {L"Y=A+B*LOG(X)", valueLn, lineYOnLnX, fromLineAsIs, jacobianAsIs, gradientLn,
     X_POSITIVE, NULL, FALSE, TRUE,
     NO_POLE_FORM,
     slopeOne, fixAsIs,
     valuesAndGradientsLogarithm<naturalLogarithm>,
     CURVE_LOGARITHM,
     slopeXLn, valuesOf<valueLn>},
    {L"Y=A/(B+X)", valueAOverShift, lineInverseYOnX, fromLineOverB0, jacobianOverB0, gradientAOverShift,
     Y_NONZERO, poleOfShift, FALSE, FALSE,
     poleVariableX, basisOne, fromPoleShift,
     slopeInverse, fixOverB0,
     valuesAndGradientsOf<valueAOverShift, gradientAOverShift>,
     CURVE_RECIPROCAL_LINE,
     slopeXAOverShift, valuesOf<valueAOverShift>},
    {L"Y=A*X/(B+X)", valueSaturation, lineInverseYOnInverseX, fromLineOverA0, jacobianOverA0, gradientSaturation,
     X_NONZERO | Y_NONZERO, poleOfShift, FALSE, FALSE,
     poleVariableX, basisX, fromPoleShift,
     slopeInverse, fixOverA0,
     valuesAndGradientsOf<valueSaturation, gradientSaturation>,
     CURVE_SATURATION,
     slopeXSaturation, valuesOf<valueSaturation>},
    {L"Y=A*EXP(B/X)", valueExpOverX, lineLnYOnInverseX, fromLineExpA, jacobianExpA, gradientExpOverX,
     X_NONZERO | Y_POSITIVE, NULL, FALSE, FALSE,
     NO_POLE_FORM,
     slopeLn, fixExpA,
     valuesAndGradientsExpOverX,
     CURVE_EXPONENTIAL_OF_INVERSE,
     slopeXExpOverX, valuesOf<valueExpOverX>},
    {L"Y=A*10^(B/X)", valueTenToOverX, lineLog10YOnInverseX, fromLineTenToA, jacobianTenToA, gradientTenToOverX,
     X_NONZERO | Y_POSITIVE, NULL, FALSE, FALSE,
     NO_POLE_FORM,
     slopeLog10, fixTenToA,
     valuesAndGradientsTenToOverX,
     CURVE_EXPONENTIAL_OF_INVERSE,
     slopeXTenToOverX, valuesOf<valueTenToOverX>},
    {L"Y=A+B*X^N", valuePowerN, lineYOnXToN, fromLineAsIs, jacobianAsIs, gradientPowerN,
     MODEL_LINE_ANY_POINT, NULL, TRUE, TRUE,
     NO_POLE_FORM,
     slopeOne, fixAsIs,
     valuesAndGradientsPowerN, NULL,
     slopeXPowerN, valuesOf<valuePowerN>},
};

// The row of an id outside the table: no value, no line.
static double valueNone(double, double, double, double) { return NAN; }
static void lineNone(double, double, double, double* t, double* z) { *t = NAN; *z = NAN; }
static void gradientNone(double, double, double, double, double* dA, double* dB) { *dA = NAN; *dB = NAN; }
static double slopeNone(double, double) { return NAN; }
static BOOL fixNone(int, double, double[3]) { return FALSE; }
const ModelRow NO_MODEL = {L"", valueNone, lineNone, fromLineAsIs, jacobianAsIs, gradientNone, MODEL_LINE_ANY_POINT,
                           NULL, FALSE, FALSE, NO_POLE_FORM, slopeNone, fixNone,
                           valuesAndGradientsOf<valueNone, gradientNone>, NULL, valueNone, valuesOf<valueNone>};

const ModelRow* modelRow(int id)
{
    if (id < 0 || id >= MODEL_COUNT) return NULL;
    return &MODEL_TABLE[id];
}

int modelWithExponent()
{
    for (int id = 0; id < MODEL_COUNT; ++id) {
        if (MODEL_TABLE[id].usesExponent) return id;
    }
    return -1;
}

BOOL modelUsesExponent(int id)
{
    const ModelRow* row = modelRow(id);
    return row != NULL && row->usesExponent;
}

const WCHAR* modelText(int id)
{
    if (id == AXIS_Y_INDEX) return AXIS_Y_TEXT;
    const ModelRow* row = modelRow(id);
    return row != NULL ? row->formula : L"";
}

double evaluateModelWith(int id, double a, double b, double n, double x)
{
    const ModelRow* row = modelRow(id);
    return row != NULL ? row->evaluate(a, b, n, x) : NAN;
}

double evaluateModel(double x)
{
    return evaluateModelWith(g_app.modelId, g_app.fit.a, g_app.fit.b, g_app.exponentN, x);
}

void lineariseModel(int modelId, double exponentN, double x, double y, double* t, double* z)
{
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) {
        *t = NAN;
        *z = NAN;
        return;
    }
    row->linearise(exponentN, x, y, t, z);
}

static bool inLineDomain(UINT domain, double x, double y)
{
    if ((domain & MODEL_LINE_X_NONZERO) && !(x != 0.0)) return false;
    if ((domain & MODEL_LINE_X_POSITIVE) && !(x > 0.0)) return false;
    if ((domain & MODEL_LINE_Y_NONZERO) && !(y != 0.0)) return false;
    if ((domain & MODEL_LINE_Y_POSITIVE) && !(y > 0.0)) return false;
    return true;
}

bool lineTakesPoint(int modelId, double exponentN, double x, double y)
{
    const ModelRow* row = modelRow(modelId);
    if (row == NULL || !inLineDomain(row->lineDomain, x, y)) return false;
    double t, z;
    row->linearise(exponentN, x, y, &t, &z);
    return isfinite(t) && isfinite(z);
}

bool pointsInLineDomain(int modelId, const double* x, const double* y, int count)
{
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) return false;
    for (int i = 0; i < count; ++i) {
        if (!inLineDomain(row->lineDomain, x[i], y[i])) return false;
    }
    return true;
}

void backTransformLine(int modelId, double a0, double b0, double* a, double* b)
{
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) {
        fromLineAsIs(a0, b0, a, b);
        return;
    }
    row->fromLine(a0, b0, a, b);
}

void backTransformJacobian(int modelId, double a0, double b0, double jacobian[2][2])
{
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) {
        jacobianAsIs(a0, b0, a0, b0, jacobian);
        return;
    }
    double a, b;
    row->fromLine(a0, b0, &a, &b);
    row->fromLineJacobian(a0, b0, a, b, jacobian);
}

void modelGradient(int modelId, double a, double b, double exponentN, double x, double* dA, double* dB)
{
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) {
        *dA = NAN;
        *dB = NAN;
        return;
    }
    row->gradient(a, b, exponentN, x, dA, dB);
}

void modelValuesAndGradients(int modelId, double a, double b, double exponentN, const double* x, int count,
                             double* y, double* dA, double* dB)
{
    const ModelRow* row = modelRow(modelId);
    (row != NULL ? row : &NO_MODEL)->valuesAndGradients(a, b, exponentN, x, count, y, dA, dB);
}

double lineSlopeInY(int modelId, double x, double y)
{
    const ModelRow* row = modelRow(modelId);
    return row != NULL ? row->lineSlopeInY(x, y) : NAN;
}

bool fixedParameterOnLine(int modelId, int parameter, double value, double c[3])
{
    const ModelRow* row = modelRow(modelId);
    return row != NULL && (parameter == 0 || parameter == 1) && row->fixOnLine(parameter, value, c);
}
