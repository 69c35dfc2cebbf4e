// SPDX-License-Identifier: GPL-3.0-or-later
// AppState: the one record holding the points, the chosen model, the last fit and the texts of the fields.
#ifndef KELVORA_APP_STATE_H
#define KELVORA_APP_STATE_H

#include <windows.h>

#define POINT_CAPACITY 1000000
#define TEXT_CAPACITY 256
#define PATH_CAPACITY 1000

#include "ui_handles.h"

// The measured points; x[i] pairs with y[i]. Entries from pointCount up keep their values, so lowering
// the count and raising it again brings the old points back.
struct PointTable {
    int pointCount;
    int currentIndex;
    double x[POINT_CAPACITY];
    double y[POINT_CAPACITY];
};

// Parameters of the last fit and its residual measures.
struct FitResult {
    double a;
    double b;
    double residualSum;
    double s;
};

struct AppState {
    PointTable points;
    // Raised whenever an X or Y in the table may have changed (a point stored, New, Load): what is
    // derived from the points knows by it that they are still the same.
    unsigned pointEdits;
    int modelId;
    double exponentN;
    FitResult fit;
    WCHAR countText[TEXT_CAPACITY];
    WCHAR xText[TEXT_CAPACITY];
    WCHAR yText[TEXT_CAPACITY];
    WCHAR exponentText[TEXT_CAPACITY];
    WCHAR fileName[PATH_CAPACITY];
    WCHAR initialDir[PATH_CAPACITY];
    UiHandles ui;
};

// The one instance, holding its initial values before main starts and never freed.
extern AppState g_app;

// Empties the point table: count and current index 0, every X and Y 0 (pointEdits raised).
void clearPoints();

// Puts every field back to its initial value (used by tests; the program itself never calls it).
void resetAppState();

#endif
