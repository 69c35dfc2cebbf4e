// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: full screen with the shell's OK button; at every resize it moves its controls to the
// positions of the portrait or the landscape template.
#include "about_dialog.h"

#include <aygshell.h>

#include "app_state.h"
#include "dialog_relayout.h"
#include "resource.h"

#define ABOUT_INIT_FLAGS (SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU)

void openAboutDialog(HWND mainWindow)
{
    HINSTANCE instance = g_app.ui.instance;
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(IDD_ABOUT_PORTRAIT), RT_DIALOG);
    HGLOBAL dialogTemplate = resource ? LoadResource(instance, resource) : NULL;
    if (dialogTemplate == NULL) return;
    DialogBoxIndirectParamW(instance, (LPCDLGTEMPLATEW)dialogTemplate, mainWindow, AboutDialog, 0);
}

// A square screen counts as landscape.
static int aboutTemplateForScreen()
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    return height > width ? IDD_ABOUT_PORTRAIT : IDD_ABOUT_LANDSCAPE;
}

static void initAboutDialog(HWND dialog)
{
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = ABOUT_INIT_FLAGS;
    SHInitDialog(&info);
}

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        initAboutDialog(dialog);
        return TRUE;
    case WM_SIZE:
        relayoutDialog(g_app.ui.instance, dialog, aboutTemplateForScreen());
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}
