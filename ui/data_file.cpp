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

void describeLoad(WCHAR* message, int capacity, PointsFileStatus status, int declaredCount, int loadedCount)
{
    static const WCHAR EMPTIED[] = L"the table is now empty.";
    static const WCHAR COUNT_LINE[] = L"were its columns written without the count line?";
    WCHAR points[64];
    if (loadedCount == 1) {
        swprintf(points, 64, L"%d complete point; it was loaded", loadedCount);
    } else {
        swprintf(points, 64, L"%d complete points; they were loaded", loadedCount);
    }
    switch (status) {
    case POINTS_FILE_SHORT:
        if (loadedCount == 0) {
            swprintf(message, capacity, L"The file's count is %d, but it holds no complete point: %ls",
                     declaredCount, EMPTIED);
        } else {
            swprintf(message, capacity, L"The file's count is %d, but it holds only %ls.", declaredCount,
                     points);
        }
        return;
    case POINTS_FILE_READ_ERROR:
        if (loadedCount == 0) {
            swprintf(message, capacity, L"Reading the file failed before its first point: %ls", EMPTIED);
        } else {
            swprintf(message, capacity, L"Reading the file failed after %ls.", points);
        }
        return;
    case POINTS_FILE_EXTRA_NUMBERS:
        if (declaredCount == 0) {
            swprintf(message, capacity, L"The file's count is 0, but numbers follow it: %ls %ls", COUNT_LINE,
                     L"The table is now empty.");
        } else if (declaredCount == 1) {
            swprintf(message, capacity, L"The file holds more numbers than its count of 1 point: %ls %ls",
                     COUNT_LINE, L"Only that point was loaded.");
        } else {
            swprintf(message, capacity, L"The file holds more numbers than its count of %d points: %ls %ls",
                     declaredCount, COUNT_LINE, L"Only those points were loaded.");
        }
        return;
    case POINTS_FILE_OK:
        swprintf(message, capacity, L"%ls", pointsFileStatusText(status));
        return;
    default:
        // Nothing was read into the table (the current point still moves to the first one).
        swprintf(message, capacity, L"%ls\nThe points are unchanged.", pointsFileStatusText(status));
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
        swprintf(message, MESSAGE_CAPACITY, L"%ls\nThe file was not saved.", pointsFileStatusText(status));
        MessageBoxW(owner, message, L"Save the file:", MB_OK | MB_ICONEXCLAMATION);
    }
}

// Whatever the outcome, the first point becomes current and the fields show the table.
void loadDataFile(HWND owner)
{
    OPENFILENAMEW request;
    PointsFileStatus status = POINTS_FILE_OK;
    int declaredCount = 0;
    SHGetSpecialFolderPath(owner, g_app.initialDir, CSIDL_PERSONAL, FALSE);
    fillFileRequest(&request, owner, L"Load the file:");
    BOOL chosen = GetOpenFileNameW(&request);
    if (chosen) status = loadPointsFile(g_app.fileName, &g_app.points, &declaredCount);

    g_app.points.currentIndex = 0;
    refreshEntryFields(owner);
    InvalidateRect(owner, NULL, TRUE);
    if (chosen && status != POINTS_FILE_OK) {
        WCHAR message[MESSAGE_CAPACITY];
        describeLoad(message, MESSAGE_CAPACITY, status, declaredCount, g_app.points.pointCount);
        MessageBoxW(owner, message, L"Load the file:", MB_OK | MB_ICONEXCLAMATION);
    }
}
