// SPDX-License-Identifier: GPL-3.0-or-later
// SHInitDialog: the shell's dressing of a dialog (done button, full screen, empty menu bar).
#include <aygshell.h>

#include "controls/controls_common.h"
#include "dialogs/dialogs.h"

#include <algorithm>

namespace platform::controls {

void resize_full_screen(HWND dialog)
{
    const DialogShell* shell = dialog_shell(dialog);
    if (!shell)
        return;
    const RECT area = work_area();
    int bottom = area.bottom;
    // The work area reaches the screen's bottom or the raised input panel; a dialog with a menu bar ends
    // above the bar.
    if (shell->menu_bar && IsWindow(shell->menu_bar) && IsWindowVisible(shell->menu_bar)) {
        RECT bar{};
        GetWindowRect(shell->menu_bar, &bar);
        bottom = std::min<int>(bottom, bar.top);
    }
    SetWindowPos(dialog, nullptr, area.left, area.top, area.right - area.left, std::max<int>(0, bottom - area.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace platform::controls

using namespace platform::controls;

BOOL WINAPI SHInitDialog(SHINITDLGINFO* info)
{
    if (!info || !(info->dwMask & SHIDIM_FLAGS) || !IsWindow(info->hDlg))
        return FALSE;
    HWND dialog = info->hDlg;
    const DWORD flags = info->dwFlags;
    if (flags & SHIDIF_DONEBUTTON)
        SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) | static_cast<LONG>(WS_EX_CAPTIONOKBTN));
    // Lowered once the dialog is up and its owner has been left, so the owner gets the panel back when
    // it is active again.
    if (flags & SHIDIF_SIPDOWN)
        SHSipPreference(dialog, SIP_DOWN);
    DialogShell* shell = dialog_shell(dialog);
    if ((flags & SHIDIF_EMPTYMENU) && shell) {
        SHMENUBARINFO bar{};
        bar.cbSize = sizeof bar;
        bar.hwndParent = dialog;
        bar.dwFlags = SHCMBF_EMPTYBAR;
        if (SHCreateMenuBar(&bar))
            shell->menu_bar = bar.hwndMB;
    }
    if (flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_SIZEDLG)) {
        // The navigation bar shows the title, so a full-screen dialog drops its own caption.
        SetWindowLongW(dialog, GWL_STYLE, GetWindowLongW(dialog, GWL_STYLE) & ~static_cast<LONG>(WS_CAPTION));
        SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        if (shell) {
            shell->full_screen = true;
            if (flags & SHIDIF_FULLSCREENNOMENUBAR)
                shell->menu_bar = nullptr;
            resize_full_screen(dialog);
        }
    }
    return TRUE;
}
