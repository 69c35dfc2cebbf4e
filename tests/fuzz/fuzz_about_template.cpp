// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any bytes as the template that the About box's controls are moved by. The walk must read
// nothing outside the bytes, and leave the dialog whole: its controls still there, usable, and its
// icon a live one.
#include <kelvora_device.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "about_dialog.h"
#include "app_state.h"
#include "dialog_relayout.h"
#include "resource.h"

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

HWND openAbout()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(IDD_ABOUT_PORTRAIT), RT_DIALOG);
    HGLOBAL data = resource ? LoadResource(instance, resource) : nullptr;
    require(data != nullptr);
    return CreateDialogIndirectParamW(instance, (LPCDLGTEMPLATEW)data, nullptr, AboutDialog, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = false;
    if (!started) {
        resetAppState();
        g_app.ui.instance = GetModuleHandleW(nullptr);
        kelvora::device::start_headless();
        started = true;
    }
    // A fresh box each time, so that no input depends on what an earlier one left.
    HWND about = openAbout();
    require(about != nullptr);
    relayoutDialogFromTemplate(GetModuleHandleW(nullptr), about, size > 0 ? data : nullptr,
                               static_cast<DWORD>(size));
    kelvora::device::pump(); // paints the moved controls, the icon among them

    const int ids[] = {IDC_ABOUT_ICON, IDC_ABOUT_NAME, IDC_ABOUT_MAKER};
    for (int id : ids) {
        HWND control = GetDlgItem(about, id);
        require(control != nullptr);
        WCHAR text[8];
        GetWindowTextW(control, text, 8);
    }
    HICON icon = (HICON)SendDlgItemMessageW(about, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0);
    HDC dc = GetDC(about);
    require(icon == nullptr || DrawIcon(dc, 0, 0, icon));
    ReleaseDC(about, dc);
    require(DestroyWindow(about));
    kelvora::device::pump();
    return 0;
}
