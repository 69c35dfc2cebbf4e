// SPDX-License-Identifier: GPL-3.0-or-later
// The one AppState record, its initial values and the point-table reset.
#include "app_state.h"

#include <string.h>
#include <wchar.h>

// Zero-initialised storage: the point table alone is 16 MB, which stays out of the executable this way;
// the few fields that do not start at zero are set before main runs.
AppState g_app;

static void copyText(WCHAR* target, int capacity, const WCHAR* text)
{
    wcsncpy(target, text, capacity - 1);
    target[capacity - 1] = 0;
}

static void setInitialValues()
{
    g_app.points.pointCount = 0;
    g_app.points.currentIndex = 0;
    g_app.modelId = 0;
    g_app.exponentN = 2.0;
    g_app.fit.a = 0.0;
    g_app.fit.b = 0.0;
    g_app.fit.residualSum = 0.0;
    g_app.fit.s = 0.0;
    copyText(g_app.countText, TEXT_CAPACITY, L"0");
    copyText(g_app.xText, TEXT_CAPACITY, L"0");
    copyText(g_app.yText, TEXT_CAPACITY, L"0");
    copyText(g_app.exponentText, TEXT_CAPACITY, L"0");
    copyText(g_app.fileName, PATH_CAPACITY, L"Kelvora1");
    g_app.initialDir[0] = 0;
}

static int initialValuesSet = (setInitialValues(), 1);

void clearPoints()
{
    g_app.points.pointCount = 0;
    g_app.points.currentIndex = 0;
    memset(g_app.points.x, 0, sizeof(g_app.points.x));
    memset(g_app.points.y, 0, sizeof(g_app.points.y));
    g_app.pointEdits++;
}

void resetAppState()
{
    memset(&g_app, 0, sizeof(g_app));
    setInitialValues();
}
