// SPDX-License-Identifier: GPL-3.0-or-later
// The model selection window: the sixteen formulas in model order; "OK" stores the highlighted one,
// asking first for the exponent N when it is the power model.
#include "selection_window.h"

#include <wchar.h>

#include "app_state.h"
#include "control_table.h"
#include "frame.h"
#include "label.h"
#include "models.h"
#include "number_text.h"
#include "resource.h"

#define LIST_STYLE (WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_SORT)
#define SELECTION_BACKGROUND RGB(150, 150, 255)

void openSelectionWindow()
{
    HWND window = CreateWindowExW(0, L"CaseF", L"F(x):", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, NULL,
                                  NULL, g_app.ui.instance, NULL);
    g_app.ui.selectionWindow = window;
    if (window == NULL) return;
    fitBelowMenuBar(window);
    createModelList(window);
}

// The list keeps 20 pixels to the left, top and right edges and 10 to the bottom one.
static const ControlRow SELECTION_CONTROLS[] = {
    {IDC_MODEL_LIST, L"LISTBOX", NULL, LIST_STYLE, 20, 20, -40, -30, STRETCH_WIDTH | STRETCH_HEIGHT, NULL},
};

void createModelList(HWND window)
{
    createControls(window, SELECTION_CONTROLS, ROW_COUNT(SELECTION_CONTROLS));
    HWND list = GetDlgItem(window, IDC_MODEL_LIST);
    // Placed by index, never sorted: an entry's index is its model id.
    for (int id = 0; id < MODEL_COUNT; id++) {
        SendMessageW(list, LB_INSERTSTRING, (WPARAM)id, (LPARAM)modelText(id));
    }
    SendMessageW(list, LB_SETCURSEL, (WPARAM)g_app.modelId, 0);
}

void layoutModelList(HWND window)
{
    layoutControls(window, SELECTION_CONTROLS, ROW_COUNT(SELECTION_CONTROLS));
}

void paintSelectionWindow(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);

    HBRUSH background = CreateSolidBrush(SELECTION_BACKGROUND);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, background);
    FillRect(dc, &client, background);
    SetBkMode(dc, TRANSPARENT);
    drawLabel(window, dc, 20, 0, L"Select a case of fun:");

    SelectObject(dc, previousBrush);
    DeleteObject(background);
    EndPaint(window, &paint);
}

// The model is stored before the exponent is asked for, so Cancel there keeps the power model.
void confirmModelChoice(HWND window)
{
    LRESULT chosen = SendDlgItemMessageW(window, IDC_MODEL_LIST, LB_GETCURSEL, 0, 0);
    // A list that could not be created has no selection; the model then stays as it was.
    if (chosen >= 0 && chosen < MODEL_COUNT) {
        g_app.modelId = (int)chosen;
        if (modelUsesExponent(g_app.modelId)) openExponentDialog(window);
    }
    SendMessageW(window, WM_CLOSE, 0, 0);
}

void openExponentDialog(HWND owner)
{
    HMODULE module = GetModuleHandleW(NULL);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDD_EXPONENT), RT_DIALOG);
    HGLOBAL dialogTemplate = resource ? LoadResource(module, resource) : NULL;
    if (dialogTemplate != NULL) {
        DialogBoxIndirectParamW(module, (LPCDLGTEMPLATEW)dialogTemplate, owner, ExponentDialog, 0);
    }
    InvalidateRect(owner, NULL, TRUE);
    UpdateWindow(owner);
}

// The whole field is read, as the main window reads its fields: every digit it shows counts, and a
// text that is not one number keeps the old exponent. A text too long for the buffer would be read
// cut short, so it is not read at all.
static void readExponent(HWND dialog)
{
    if (GetWindowTextLengthW(GetDlgItem(dialog, IDC_EXPONENT_EDIT)) >= TEXT_CAPACITY) return;
    GetDlgItemTextW(dialog, IDC_EXPONENT_EDIT, g_app.exponentText, TEXT_CAPACITY);
    readFieldNumber(g_app.exponentText, &g_app.exponentN);
}

INT_PTR CALLBACK ExponentDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        formatNumberW(g_app.exponentText, TEXT_CAPACITY, g_app.exponentN);
        SetDlgItemTextW(dialog, IDC_EXPONENT_EDIT, g_app.exponentText);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_EXPONENT_OK:
            readExponent(dialog);
            EndDialog(dialog, TRUE);
            return TRUE;
        case IDC_EXPONENT_CANCEL:
            EndDialog(dialog, FALSE);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

LRESULT CALLBACK SelectionWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onFrameCreate(window);
    case WM_ACTIVATE:
        return onFrameActivate(window, wParam, lParam);
    case WM_PAINT:
        paintSelectionWindow(window);
        return 0;
    case WM_CLOSE:
        return closeSecondaryWindow(window);
    case WM_SETTINGCHANGE:
        onFrameSettingChange(window, wParam, lParam);
        layoutModelList(window);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_OK) {
            confirmModelChoice(window);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
