// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager: dialogs from classic templates, the default dialog procedure, the modal loop.
#include "controls/controls_common.h"
#include "dialogs/dialogs.h"
#include "dialogs/dialog_template_decoder.h"
#include "wm/popup_fit.h"

#include <algorithm>

namespace platform::controls {
namespace {

struct DialogState {
    DLGPROC proc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    WORD def_id = 0;           // set by DM_SETDEFID; 0: the BS_DEFPUSHBUTTON control answers
    HWND saved_focus = nullptr; // the control that had the focus when the dialog lost it
    DialogShell shell;
};

constexpr StateTable<DialogState> g_dialogs;

// Win32 gives a dialog the top-level window of the handle passed as its owner: a control or other child
// window hands its ownership up to the first ancestor that is not a child.
HWND dialog_owner_for(HWND hwnd)
{
    while (hwnd && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
        hwnd = GetParent(hwnd);
    return hwnd;
}

// Where the dialog's window goes: relative to the owner's client origin, or centred with DS_CENTER,
// then moved so that it stays on the screen below the navigation bar.
POINT dialog_origin(const DialogTemplateData& tpl, HWND owner, SIZE outer)
{
    const RECT px = dialog_units_to_pixels(tpl.units);
    POINT pt{px.left, px.top};
    const RECT area = work_area();
    if (tpl.style & DS_CENTER) {
        pt = POINT{area.left + (area.right - area.left - outer.cx) / 2, area.top + (area.bottom - area.top - outer.cy) / 2};
    } else if (owner && !(tpl.style & DS_ABSALIGN)) {
        ClientToScreen(owner, &pt);
    }
    pt.x = std::max<LONG>(area.left, std::min<LONG>(pt.x, area.right - outer.cx));
    pt.y = std::max<LONG>(area.top, std::min<LONG>(pt.y, area.bottom - outer.cy));
    return pt;
}

// Sizes the window so that its client area has the template's size, whatever frame the window has.
void fit_client_size(HWND dlg, const DialogTemplateData& tpl, HWND owner)
{
    const RECT px = dialog_units_to_pixels(tpl.units);
    const SIZE size = outer_size_for_client(dlg, px.right - px.left, px.bottom - px.top);
    const POINT at = dialog_origin(tpl, owner, size);
    SetWindowPos(dlg, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The title of a control: a text, or 0xFFFF plus the ordinal of an image resource.
std::wstring item_title(const TemplateField& title)
{
    if (title.kind == TemplateField::Kind::ordinal)
        return std::wstring{static_cast<wchar_t>(0xFFFF), static_cast<wchar_t>(title.ordinal)};
    return title.text;
}

void create_items(HWND dlg, HINSTANCE instance, const DialogTemplateData& tpl)
{
    for (const TemplateItem& item : tpl.items) {
        const std::wstring cls = item_class_name(item.class_field);
        const std::wstring title = item_title(item.title);
        const RECT px = dialog_units_to_pixels(item.units);
        // A control whose class does not exist is left out; the rest of the dialog still works.
        CreateWindowExW(item.ex_style, cls.c_str(), title.c_str(), (item.style | WS_CHILD) & ~WS_POPUP, px.left,
                        px.top, px.right - px.left, px.bottom - px.top, dlg,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
    }
}

LRESULT dialog_dlg_code(HWND control)
{
    return control ? SendMessageW(control, WM_GETDLGCODE, 0, 0) : 0;
}

void initial_focus(HWND dlg, HWND first)
{
    if (first)
        set_dialog_focus(dlg, first, true);
}

HWND create_dialog(HINSTANCE instance, const DLGTEMPLATE* data, HWND owner, DLGPROC proc, LPARAM param)
{
    const std::optional<DialogTemplateData> tpl = decode_dialog_template(data);
    if (!tpl)
        return nullptr;
    owner = dialog_owner_for(owner);
    const std::wstring cls = tpl->class_field.kind == TemplateField::Kind::text ? tpl->class_field.text
                                                                                 : std::wstring(kDialogClass);
    const DWORD style = (tpl->style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
    // Created at the template's size, so that the frame can be measured and added around the client area.
    const RECT px = dialog_units_to_pixels(tpl->units);
    HWND dlg = CreateWindowExW(tpl->ex_style, cls.c_str(), tpl->title.c_str(), style, 0, 0, px.right - px.left,
                               px.bottom - px.top, owner, nullptr, instance, nullptr);
    if (!dlg)
        return nullptr;
    fit_client_size(dlg, *tpl, owner);
    if (DialogState* st = g_dialogs.find(dlg))
        st->proc = proc;
    create_items(dlg, instance, *tpl);
    HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
    const LRESULT focus = SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dlg))
        return nullptr;
    if (focus)
        initial_focus(dlg, GetNextDlgTabItem(dlg, nullptr, FALSE));
    else if (DialogState* st = g_dialogs.find(dlg))
        st->saved_focus = GetFocus();
    return dlg;
}

HWND focus_target(HWND dlg, DialogState& st)
{
    if (st.saved_focus && IsWindow(st.saved_focus) && IsChild(dlg, st.saved_focus))
        return st.saved_focus;
    return GetNextDlgTabItem(dlg, nullptr, FALSE);
}

// Brings the focus back into the dialog after it was shown or re-activated.
void restore_focus(HWND dlg)
{
    HWND focus = GetFocus();
    if (focus && IsChild(dlg, focus))
        return;
    DialogState* st = g_dialogs.find(dlg);
    if (!st)
        return;
    if (HWND target = focus_target(dlg, *st))
        SetFocus(target);
}

struct ModalOutcome {
    INT_PTR result = -1;
    bool quit = false;
    WPARAM quit_code = 0;
};

ModalOutcome run_modal_loop(HWND dlg)
{
    ModalOutcome out;
    for (;;) {
        DialogState* st = g_dialogs.find(dlg);
        if (!st)
            return out; // destroyed behind the loop's back
        if (st->ended) {
            out.result = st->result;
            return out;
        }
        MSG msg{};
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            out.quit = true;
            out.quit_code = msg.wParam;
            return out;
        }
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// The id Enter presses: a focused push button, else the default button, else IDOK.
int enter_command_id(HWND dlg, HWND focus)
{
    if (focus && IsChild(dlg, focus) && (dialog_dlg_code(focus) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
        return GetDlgCtrlID(focus);
    const LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
    return HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
}

void press_command(HWND dlg, int id)
{
    HWND control = GetDlgItem(dlg, id);
    if (control && !IsWindowEnabled(control))
        return;
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool dialog_on_key_down(HWND dlg, const MSG& msg)
{
    const bool is_control = msg.hwnd != dlg;
    const LRESULT code = is_control ? SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam,
                                                   reinterpret_cast<LPARAM>(&msg))
                                    : 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (msg.wParam) {
    case VK_TAB:
        if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))
            return false;
        if (HWND next = GetNextDlgTabItem(dlg, GetFocus(), shift))
            set_dialog_focus(dlg, next, true);
        return true;
    case VK_RETURN:
        if (code & DLGC_WANTALLKEYS)
            return false;
        press_command(dlg, enter_command_id(dlg, GetFocus()));
        return true;
    case VK_ESCAPE:
        if (code & DLGC_WANTALLKEYS)
            return false;
        press_command(dlg, IDCANCEL);
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        if (code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS) || !is_control)
            return false;
        if (HWND next = GetNextDlgTabItem(dlg, GetFocus(), msg.wParam == VK_LEFT || msg.wParam == VK_UP))
            set_dialog_focus(dlg, next, false);
        return true;
    default:
        return false;
    }
}

// The characters of the keys the dialog manager consumed are swallowed too.
bool dialog_swallows_char(HWND dlg, const MSG& msg)
{
    if (msg.wParam != L'\t' && msg.wParam != L'\r' && msg.wParam != 0x1B)
        return false;
    const LRESULT code = msg.hwnd != dlg ? SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam,
                                                        reinterpret_cast<LPARAM>(&msg))
                                         : 0;
    if (code & DLGC_WANTALLKEYS)
        return false;
    return !(msg.wParam == L'\t' && (code & DLGC_WANTTAB));
}

LRESULT dialog_on_get_def_id(HWND dlg, const DialogState* st)
{
    if (st && st->def_id)
        return MAKELRESULT(st->def_id, DC_HASDEFID);
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (dialog_dlg_code(child) & DLGC_DEFPUSHBUTTON)
            return MAKELRESULT(GetDlgCtrlID(child), DC_HASDEFID);
    return 0;
}

LRESULT dialog_on_set_def_id(HWND dlg, WPARAM id)
{
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LRESULT code = dialog_dlg_code(child);
        if ((code & DLGC_DEFPUSHBUTTON) && GetDlgCtrlID(child) != static_cast<int>(id))
            SendMessageW(child, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        else if ((code & DLGC_UNDEFPUSHBUTTON) && GetDlgCtrlID(child) == static_cast<int>(id))
            SendMessageW(child, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
    if (DialogState* st = g_dialogs.find(dlg))
        st->def_id = static_cast<WORD>(id);
    return TRUE;
}

LRESULT dialog_on_erase_background(HWND dlg, WPARAM wp)
{
    HDC dc = reinterpret_cast<HDC>(wp);
    if (!dc)
        return 0;
    RECT rc{};
    GetClientRect(dlg, &rc);
    fill_rect(dc, rc, RGB(255, 255, 255)); // dialogs are white on the device
    return 1;
}

LRESULT dialog_on_activate(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (DialogState* st = g_dialogs.find(dlg); st && focus && IsChild(dlg, focus))
            st->saved_focus = focus;
    }
    const LRESULT r = DefWindowProcW(dlg, msg, wp, lp);
    if (LOWORD(wp) != WA_INACTIVE)
        restore_focus(dlg);
    return r;
}

LRESULT dialog_on_next_ctl(HWND dlg, WPARAM wp, LPARAM lp)
{
    HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(dlg, GetFocus(), wp != 0);
    if (target && IsChild(dlg, target))
        set_dialog_focus(dlg, target, true);
    return 0;
}

LRESULT CALLBACK dialog_class_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        g_dialogs.create(hwnd);
    if (msg == WM_NCDESTROY) {
        g_dialogs.erase(hwnd);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    const DialogState* st = g_dialogs.find(hwnd);
    if (st && st->proc) {
        // The default handling runs only when the dialog procedure leaves the message alone.
        const INT_PTR handled = st->proc(hwnd, msg, wp, lp);
        if (handled)
            return msg == WM_INITDIALOG ? handled : 0;
    }
    return DefDlgProcW(hwnd, msg, wp, lp);
}

} // namespace

DialogShell* dialog_shell(HWND dialog)
{
    DialogState* st = g_dialogs.find(dialog);
    return st ? &st->shell : nullptr;
}

bool is_dialog(HWND hwnd)
{
    return g_dialogs.find(hwnd) != nullptr;
}

void set_dialog_focus(HWND dialog, HWND control, bool select_text)
{
    if (!control)
        return;
    SetFocus(control);
    if (DialogState* st = g_dialogs.find(dialog))
        st->saved_focus = control;
    if (select_text && (dialog_dlg_code(control) & DLGC_HASSETSEL))
        SendMessageW(control, EM_SETSEL, 0, -1);
}

void register_dialog_class()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = dialog_class_proc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kDialogClass;
    RegisterClassW(&wc);
}

} // namespace platform::controls

using namespace platform::controls;

HWND WINAPI CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlgTemplate, HWND owner,
                                       DLGPROC dialogProc, LPARAM initParam)
{
    HWND dlg = create_dialog(instance, dlgTemplate, owner, dialogProc, initParam);
    if (dlg && (GetWindowLongW(dlg, GWL_STYLE) & WS_VISIBLE) == 0 && dlgTemplate &&
        (dlgTemplate->style & WS_VISIBLE))
        ShowWindow(dlg, SW_SHOW);
    return dlg;
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlgTemplate, HWND owner,
                                       DLGPROC dialogProc, LPARAM initParam)
{
    owner = dialog_owner_for(owner);
    HWND dlg = create_dialog(instance, dlgTemplate, owner, dialogProc, initParam);
    if (!dlg)
        return -1;
    const bool owner_was_enabled = owner && IsWindowEnabled(owner);
    if (owner_was_enabled)
        EnableWindow(owner, FALSE);
    DialogState* st = g_dialogs.find(dlg);
    if (st && !st->ended) {
        ShowWindow(dlg, SW_SHOW);
        platform::fit_shown_popup(dlg);
        restore_focus(dlg);
    }
    const ModalOutcome outcome = run_modal_loop(dlg);
    // The owner comes back before the dialog goes, so that the activation returns to it.
    if (owner_was_enabled && IsWindow(owner))
        EnableWindow(owner, TRUE);
    if (IsWindow(dlg)) {
        if (owner && IsWindow(owner))
            SetActiveWindow(owner);
        DestroyWindow(dlg);
    }
    if (outcome.quit)
        PostQuitMessage(static_cast<int>(outcome.quit_code));
    return outcome.result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    DialogState* st = g_dialogs.find(dialog);
    if (!st)
        return FALSE;
    st->ended = true;
    st->result = result;
    ShowWindow(dialog, SW_HIDE);
    PostMessageW(dialog, WM_NULL, 0, 0); // wakes the modal loop
    return TRUE;
}

LRESULT WINAPI DefDlgProcW(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    case DM_GETDEFID: return dialog_on_get_def_id(dialog, g_dialogs.find(dialog));
    case DM_SETDEFID: return dialog_on_set_def_id(dialog, wParam);
    case WM_ERASEBKGND: return dialog_on_erase_background(dialog, wParam);
    case WM_ACTIVATE: return dialog_on_activate(dialog, msg, wParam, lParam);
    case WM_SETFOCUS: restore_focus(dialog); return 0;
    case WM_NEXTDLGCTL: return dialog_on_next_ctl(dialog, wParam, lParam);
    case WM_SETTINGCHANGE:
        if (DialogShell* shell = dialog_shell(dialog); shell && shell->full_screen)
            resize_full_screen(dialog);
        return 0;
    case WM_INITDIALOG: return 0;
    default: return DefWindowProcW(dialog, msg, wParam, lParam);
    }
}

BOOL WINAPI IsDialogMessageW(HWND dialog, LPMSG msg)
{
    if (!msg || !IsWindow(dialog) || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)))
        return FALSE;
    if (msg->message == WM_KEYDOWN && dialog_on_key_down(dialog, *msg))
        return TRUE;
    if (msg->message == WM_CHAR && dialog_swallows_char(dialog, *msg))
        return TRUE;
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    if (!IsWindow(dialog))
        return nullptr;
    while (control && GetParent(control) != dialog && control != dialog)
        control = GetParent(control);
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    // The style bits decide, not IsWindowVisible: the dialog itself may still be hidden.
    auto is_stop = [](HWND hwnd) {
        const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
    };
    if (previous)
        std::reverse(children.begin(), children.end());
    const auto at = std::find(children.begin(), children.end(), control);
    const size_t start = at == children.end() ? 0 : static_cast<size_t>(at - children.begin()) + 1;
    for (size_t i = 0; i < children.size(); ++i) {
        HWND candidate = children[(start + i) % children.size()];
        if (is_stop(candidate))
            return candidate;
    }
    return control;
}
