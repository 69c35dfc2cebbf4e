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

static void tellFileProblem(HWND owner, LPCWSTR title, PointsFileStatus status, int declaredCount)
{
    WCHAR message[MESSAGE_CAPACITY];
    if (status == POINTS_FILE_SHORT || status == POINTS_FILE_READ_ERROR) {
        swprintf(message, MESSAGE_CAPACITY, L"%ls\nIts count says %d; %d complete points were loaded.",
                 pointsFileStatusText(status), declaredCount, g_app.points.pointCount);
    } else {
        swprintf(message, MESSAGE_CAPACITY, L"%ls\nNothing was changed.", pointsFileStatusText(status));
    }
    MessageBoxW(owner, message, title, MB_OK | MB_ICONEXCLAMATION);
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
    if (chosen && status != POINTS_FILE_OK) tellFileProblem(owner, L"Load the file:", status, declaredCount);
}
