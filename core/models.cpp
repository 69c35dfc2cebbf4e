// Model catalogue and evaluation. Each formula is computed in one fixed order (the product written
// first, then the sum or quotient) so that plots and residuals come out the same on every build.
#include "models.h"

#include <math.h>

#include "app_state.h"

const WCHAR AXIS_X_TEXT[] = L"Axis X";

static const WCHAR* const MODEL_TEXTS[MODEL_COUNT + 1] = {
    L"Y=A+B*X",      L"Y=1/(A+B*X)",       L"Y=A+B/X",      L"Y=X/(A+B*X)",
    L"Y=A*B^X",      L"Y=A*EXP(B*X)",      L"Y=A*10^(B*X)", L"Y=1/(A+B*EXP(-X))",
    L"Y=A*X^B",      L"Y=A+B*LOG10(X)",    L"Y=A+B*LOG(X)", L"Y=A/(B+X)",
    L"Y=A*X/(B+X)",  L"Y=A*EXP(B/X)",      L"Y=A*10^(B/X)", L"Y=A+B*X^N",
    L"Axis Y",
};

const WCHAR* modelText(int id)
{
    if (id < 0 || id > AXIS_Y_INDEX) return L"";
    return MODEL_TEXTS[id];
}

double evaluateModelWith(int id, double a, double b, double n, double x)
{
    switch (id) {
    case 0: return b * x + a;
    case 1: return 1.0 / (b * x + a);
    case 2: return b / x + a;
    case 3: return x / (b * x + a);
    case 4: return pow(b, x) * a;
    case 5: return exp(b * x) * a;
    case 6: return pow(10.0, b * x) * a;
    case 7: return 1.0 / (exp(-x) * b + a);
    case 8: return pow(x, b) * a;
    case 9: return log10(x) * b + a;
    case 10: return log(x) * b + a;
    case 11: return a / (b + x);
    case 12: return (a * x) / (b + x);
    case 13: return exp(b / x) * a;
    case 14: return pow(10.0, b / x) * a;
    case 15: return pow(x, n) * b + a;
    default: return NAN;
    }
}

double evaluateModel(double x)
{
    return evaluateModelWith(g_app.modelId, g_app.fit.a, g_app.fit.b, g_app.exponentN, x);
}
