// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and loading the point table through the platform's file dialogs. Both dialogs open in the
// documents folder and share one file name, so the name last chosen is offered again.
#include "data_file.h"

#include <aygshell.h>
#include <commdlg.h>
#include <string.h>
#include <wchar.h>

#include "app_state.h"
#include "main_window.h"
#include "points_file.h"

#define MESSAGE_CAPACITY 512

static const WCHAR DATA_FILTER[] = L"Data files (*.dat)\0*.dat\0";

static void fillFileRequest(OPENFILENAMEW* request, HWND owner, LPCWSTR title)
{
    memset(request, 0, sizeof(*request));
    request->lStructSize = sizeof(*request);
    request->hwndOwner = owner;
    request->lpstrFilter = DATA_FILTER;
    request->lpstrFile = g_app.fileName;
    request->nMaxFile = PATH_CAPACITY;
    request->lpstrInitialDir = g_app.initialDir;
    request->lpstrTitle = title;
    request->Flags = OFN_HIDEREADONLY;
}

// The file's own text for status, as a sentence: its first letter in capitals.
static int statusSentence(WCHAR* message, int capacity, PointsFileStatus status, const PointsFileReport* report,
                          int loadedCount)
{
    int written = describePointsFile(message, capacity, status, report, loadedCount);
    if (written > 0 && message[0] >= L'a' && message[0] <= L'z') message[0] = (WCHAR)(message[0] - L'a' + L'A');
    return written;
}

void describeLoad(WCHAR* message, int capacity, PointsFileStatus status, const PointsFileReport* report,
                  int loadedCount)
{
    int written = statusSentence(message, capacity, status, report, loadedCount);
    WCHAR* rest = message + written;
    int left = capacity - written;
    const WCHAR* loaded = loadedCount == 1 ? L"it was loaded" : L"they were loaded";
    switch (status) {
    case POINTS_FILE_SHORT:
    case POINTS_FILE_READ_ERROR:
        swprintf(rest, left, loadedCount == 0 ? L": the table is now empty." : L"; %ls.", loaded);
        return;
    case POINTS_FILE_NOT_A_NUMBER:
    case POINTS_FILE_NOT_DECIMAL:
        if (loadedCount == 0) {
            swprintf(rest, left, L"; reading stopped there: the table is now empty.");
        } else {
            swprintf(rest, left, L"; reading stopped there after %d complete %ls: %ls.", loadedCount,
                     loadedCount == 1 ? L"point" : L"points", loaded);
        }
        return;
    case POINTS_FILE_EXTRA_NUMBERS:
        swprintf(rest, left, report->declaredCount == 0   ? L" The table is now empty."
                             : report->declaredCount == 1 ? L" Only that point was loaded."
                                                          : L" Only those points were loaded.");
        return;
    case POINTS_FILE_OK:
        swprintf(rest, left, L".");
        return;
    default:
        // Nothing was read into the table (the current point still moves to the first one).
        swprintf(rest, left, L".\nThe points are unchanged.");
        return;
    }
}

void saveDataFile(HWND owner)
{
    OPENFILENAMEW request;
    SHGetSpecialFolderPath(owner, g_app.initialDir, CSIDL_PERSONAL, FALSE);
    fillFileRequest(&request, owner, L"Save the file:");
    if (!GetSaveFileNameW(&request)) return;

    PointsFileStatus status = savePointsFile(g_app.fileName, &g_app.points);
    if (status != POINTS_FILE_OK) {
        WCHAR message[MESSAGE_CAPACITY];
        PointsFileReport none = {};
        int written = statusSentence(message, MESSAGE_CAPACITY, status, &none, 0);
        swprintf(message + written, MESSAGE_CAPACITY - written, L".\nThe file was not saved.");
        MessageBoxW(owner, message, L"Save the file:", MB_OK | MB_ICONEXCLAMATION);
    }
}

// Whatever the outcome, the first point becomes current and the fields show the table.
void loadDataFile(HWND owner)
{
    OPENFILENAMEW request;
    PointsFileStatus status = POINTS_FILE_OK;
    PointsFileReport report = {};
    SHGetSpecialFolderPath(owner, g_app.initialDir, CSIDL_PERSONAL, FALSE);
    fillFileRequest(&request, owner, L"Load the file:");
    BOOL chosen = GetOpenFileNameW(&request);
    if (chosen) status = loadPointsFile(g_app.fileName, &g_app.points, &report);
    if (chosen) g_app.pointEdits++; // even a load that fails part way may have read points

    g_app.points.currentIndex = 0;
    refreshEntryFields(owner);
    InvalidateRect(owner, NULL, TRUE);
    if (chosen && status != POINTS_FILE_OK) {
        WCHAR message[MESSAGE_CAPACITY];
        describeLoad(message, MESSAGE_CAPACITY, status, &report, g_app.points.pointCount);
        MessageBoxW(owner, message, L"Load the file:", MB_OK | MB_ICONEXCLAMATION);
    }
}
