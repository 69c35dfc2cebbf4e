// The sixteen model formulas: identifiers, display texts and evaluation with the current parameters.
#ifndef KELVORA_MODELS_H
#define KELVORA_MODELS_H

#include <windows.h>

#define MODEL_COUNT 16
#define MODEL_POWER_N 15
#define AXIS_Y_INDEX 16

// Caption of the horizontal plot axis.
extern const WCHAR AXIS_X_TEXT[];

// Display text of model id (0..15), the vertical axis caption for AXIS_Y_INDEX, "" for anything else.
const WCHAR* modelText(int id);

// Value of model id at x with parameters a, b and exponent n (n is used by MODEL_POWER_N only);
// NaN for an id outside 0..15.
double evaluateModelWith(int id, double a, double b, double n, double x);

// Value of the selected model at x with the parameters of the last fit and the current exponent.
double evaluateModel(double x);

#endif
