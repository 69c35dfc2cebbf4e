// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager: dialogs from templates, their units, the shell's dressing of them, and the
// classic templates the message box and the file dialogs lay out in pixels. Programs reach it through
// DialogBox*, CreateDialog*, MessageBoxW and GetOpenFileNameW / GetSaveFileNameW.
#pragma once
#include <windows.h>

#include <string_view>
#include <vector>

namespace platform::controls {

inline constexpr const wchar_t* kDialogClass = L"#32770";

// Dialog base units of the default font: x from the average width of the 52 letters, y its height.
SIZE dialog_base_units();
// Dialog units to pixels, as MapDialogRect does: x by base.cx / 4, y by base.cy / 8, each rounded.
RECT dialog_units_to_pixels(RECT units);

// Dialog state shared by the dialog files: nullptr when the window is not a dialog of this manager.
struct DialogShell {
    bool full_screen = false; // kept at the work area's size across rotations
    HWND menu_bar = nullptr;  // the empty menu bar the dialog ends above
};
DialogShell* dialog_shell(HWND dialog);
bool is_dialog(HWND hwnd);
// Resizes a full-screen dialog to the work area above its menu bar (sends WM_SIZE).
void resize_full_screen(HWND dialog);
// Moves the focus to a control of a dialog as Tab does: an edit field gets its text selected.
void set_dialog_focus(HWND dialog, HWND control, bool select_text);
// A classic template with no items, used by the message box and the file dialogs, which lay out their
// controls in pixels at WM_INITDIALOG.
std::vector<WORD> empty_dialog_template(DWORD style, std::wstring_view title);

} // namespace platform::controls
