// SPDX-License-Identifier: GPL-3.0-or-later
// GetOpenFileNameW and GetSaveFileNameW: a full-screen picker with a name field, a folder list with a
// way up, the files that match the filter, and OK and Cancel.
#include <aygshell.h>
#include <commdlg.h>

#include "backends/backend.h"
#include "controls/controls_common.h"
#include "device/device.h"
#include "dialogs/dialogs.h"
#include "files/file_names.h"
#include "text/text_encoding.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>

namespace platform::controls {
namespace {

constexpr int kNameLabelId = 1090;
constexpr int kNameFieldId = 1152;
constexpr int kFolderLineId = 1091;
constexpr int kListId = 1120;
constexpr size_t kMaxFilterPairs = 64;

struct Row {
    bool is_folder = false;
    std::string name; // the bytes of the name on disk; ".." for the way up
};

struct FileDialogState {
    OPENFILENAMEW* request = nullptr;
    bool save = false;
    std::string folder; // absolute, host bytes, without a trailing slash except for "/"; empty: none
    std::string bound;  // the folder the picker may not leave (canonical); empty: none
    std::string no_folder_reason; // why the picker opened in no folder (the documents folder failed)
    std::wstring initial_name; // wide file name, bytes that are not UTF-8 kept (see file_names.h)
    std::vector<std::string> patterns;
    std::vector<Row> rows;
    bool folder_chosen = false; // a folder highlighted in the list since the name last changed: OK enters it
};

constexpr StateTable<FileDialogState*> g_pickers;

bool is_folder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string parent_of(const std::string& folder)
{
    const size_t slash = folder.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Where only the documents folder lasts, the picker keeps to it: nothing saved elsewhere is lost.
std::string picker_bound()
{
    const Backend* backend = device().m_backend.get();
    return backend && backend->keeps_only_documents() ? canonical(documents_folder().path) : std::string();
}

bool within_bound(const FileDialogState& st, const std::string& canonical_path)
{
    return st.bound.empty() || canonical_path == st.bound || canonical_path.starts_with(st.bound + "/");
}

// The patterns of the chosen filter ("*.dat;*.txt"); all files when there is no filter.
std::vector<std::string> filter_patterns(const OPENFILENAMEW& request)
{
    std::vector<std::string> patterns;
    const wchar_t* p = request.lpstrFilter;
    const DWORD wanted = request.nFilterIndex ? request.nFilterIndex : 1;
    std::wstring chosen;
    for (DWORD index = 1; p && *p && index <= kMaxFilterPairs; ++index) {
        const wchar_t* list = p + wcslen(p) + 1; // description, then its patterns
        if (!*list)
            break;
        if (index == wanted || index == 1)
            chosen = list;
        p = list + wcslen(list) + 1;
    }
    size_t start = 0;
    while (start <= chosen.size()) {
        const size_t end = std::min(chosen.find(L';', start), chosen.size());
        std::wstring one = chosen.substr(start, end - start);
        one.erase(0, one.find_first_not_of(L' '));
        one.erase(one.find_last_not_of(L' ') + 1);
        if (!one.empty())
            patterns.push_back(wide_to_utf8(one));
        start = end + 1;
    }
    if (patterns.empty())
        patterns.emplace_back("*");
    return patterns;
}

bool matches_filter(const FileDialogState& st, const std::string& name)
{
    return std::any_of(st.patterns.begin(), st.patterns.end(), [&](const std::string& pattern) {
        return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
    });
}

void read_folder(FileDialogState& st)
{
    std::vector<Row> folders, files;
    if (DIR* dir = opendir(st.folder.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name.empty() || name[0] == '.')
                continue;
            if (is_folder(join(st.folder, name)))
                folders.push_back({true, name});
            else if (matches_filter(st, name))
                files.push_back({false, name});
        }
        closedir(dir);
    }
    auto by_name = [](const Row& a, const Row& b) { return strcasecmp(a.name.c_str(), b.name.c_str()) < 0; };
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    st.rows.clear();
    if (st.folder != "/" && (st.bound.empty() || st.folder != st.bound))
        st.rows.push_back({true, ".."});
    st.rows.insert(st.rows.end(), folders.begin(), folders.end());
    st.rows.insert(st.rows.end(), files.begin(), files.end());
}

// A name as the user sees it: bytes that are not UTF-8 shown as U+FFFD.
std::wstring shown(const std::string& host_name)
{
    return files::shown_name(files::from_host_name(host_name));
}

std::string host_name(const std::wstring& name)
{
    std::string out;
    return files::to_host_name(name, out) ? out : std::string();
}

std::wstring row_label(const Row& row)
{
    return row.is_folder ? L"[" + shown(row.name) + L"]" : shown(row.name);
}

void layout(HWND dlg);

void show_folder(HWND dlg, FileDialogState& st)
{
    layout(dlg);
    read_folder(st);
    HWND list = GetDlgItem(dlg, kListId);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const Row& row : st.rows)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row_label(row).c_str()));
    const std::wstring line = st.folder.empty() ? L"No documents folder: " + shown(st.no_folder_reason) : shown(st.folder);
    // A folder keeps to one line, ended with an ellipsis when cut; the reason for none wraps.
    HWND folder_line = GetDlgItem(dlg, kFolderLineId);
    const LONG style = GetWindowLongW(folder_line, GWL_STYLE) & ~(SS_EDITCONTROL | SS_ELLIPSISMASK);
    SetWindowLongW(folder_line, GWL_STYLE, style | (st.folder.empty() ? SS_EDITCONTROL : SS_ENDELLIPSIS));
    SetDlgItemTextW(dlg, kFolderLineId, line.c_str());
}

void enter_folder(HWND dlg, FileDialogState& st, const Row& row)
{
    const std::string target = row.name == ".." ? parent_of(st.folder) : canonical(join(st.folder, row.name));
    if (target.empty() || !is_folder(target) || !within_bound(st, target))
        return;
    st.folder = target;
    show_folder(dlg, st);
}

void layout(HWND dlg)
{
    RECT rc{};
    GetClientRect(dlg, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    // Without a folder, the line above the list says why on up to three lines.
    FileDialogState** st = g_pickers.find(dlg);
    const int line_height = st && (*st)->folder.empty() ? 42 : 16;
    const int list_top = 28 + line_height + 2;
    MoveWindow(GetDlgItem(dlg, kNameLabelId), 4, 7, 42, 16, TRUE);
    MoveWindow(GetDlgItem(dlg, kNameFieldId), 48, 4, std::max(20, w - 52), 20, TRUE);
    MoveWindow(GetDlgItem(dlg, kFolderLineId), 4, 28, std::max(20, w - 8), line_height, TRUE);
    MoveWindow(GetDlgItem(dlg, kListId), 4, list_top, std::max(20, w - 8), std::max(20, h - list_top - 30), TRUE);
    MoveWindow(GetDlgItem(dlg, IDOK), w - 128, h - 25, 60, 20, TRUE);
    MoveWindow(GetDlgItem(dlg, IDCANCEL), w - 64, h - 25, 60, 20, TRUE);
}

void create_child(HWND dlg, const wchar_t* cls, const wchar_t* text, DWORD style, int id)
{
    CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, dlg,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
}

void create_children(HWND dlg, const FileDialogState& st)
{
    create_child(dlg, L"Static", L"Name:", SS_LEFT, kNameLabelId);
    create_child(dlg, L"Edit", files::shown_name(st.initial_name).c_str(), WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, kNameFieldId);
    create_child(dlg, L"Static", L"", SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, kFolderLineId);
    create_child(dlg, L"LISTBOX", nullptr, WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, kListId);
    create_child(dlg, L"Button", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
    create_child(dlg, L"Button", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
}

INT_PTR picker_on_init(HWND dlg, FileDialogState* st)
{
    g_pickers.create(dlg) = st;
    create_children(dlg, *st);
    // An empty menu bar of its own keeps the owner's bar from covering the OK and Cancel buttons. The input
    // panel stays as the user left it: the name is typed here.
    SHINITDLGINFO info{SHIDIM_FLAGS, dlg, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_EMPTYMENU};
    SHInitDialog(&info);
    layout(dlg);
    show_folder(dlg, *st);
    // The name field opens focused with its text selected, ready to be typed over.
    set_dialog_focus(dlg, GetDlgItem(dlg, kNameFieldId), true);
    return FALSE;
}

std::wstring name_field_text(HWND dlg)
{
    HWND field = GetDlgItem(dlg, kNameFieldId);
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(0, SendMessageW(field, WM_GETTEXTLENGTH, 0, 0))) + 1, L'\0');
    const LRESULT n = SendMessageW(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(n, 0, static_cast<LRESULT>(text.size()) - 1)));
    return text;
}

// Hands the chosen path to the caller when it fits in the buffer (the zero counted); never overflows.
// A longer path is refused with a message and the picker stays open for a shorter name.
void finish(HWND dlg, const FileDialogState& st, const std::wstring& path)
{
    OPENFILENAMEW& request = *st.request;
    if (path.size() + 1 > request.nMaxFile) {
        wchar_t text[160];
        swprintf(text, 160, L"The name is too long: a path may hold at most %lu characters.",
                 static_cast<unsigned long>(request.nMaxFile > 0 ? request.nMaxFile - 1 : 0));
        MessageBoxW(dlg, text, L"File", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::copy(path.begin(), path.end(), request.lpstrFile);
    request.lpstrFile[path.size()] = L'\0';
    const size_t name_at = path.rfind(L'/') + 1;
    const size_t dot = path.rfind(L'.');
    request.nFileOffset = static_cast<WORD>(std::min<size_t>(name_at, 0xFFFF));
    request.nFileExtension = static_cast<WORD>(dot != std::wstring::npos && dot >= name_at ? std::min<size_t>(dot + 1, 0xFFFF) : 0);
    if (request.lpstrFileTitle && request.nMaxFileTitle > path.size() - name_at) {
        std::copy(path.begin() + static_cast<long>(name_at), path.end(), request.lpstrFileTitle);
        request.lpstrFileTitle[path.size() - name_at] = L'\0';
    }
    EndDialog(dlg, TRUE);
}

const Row* selected_row(HWND dlg, const FileDialogState& st);

// The name the field stands for: a listed or offered name whose bytes are not UTF-8 is shown with
// U+FFFD, so the field's text alone would name another file; such a name keeps its own bytes.
std::wstring chosen_name(HWND dlg, const FileDialogState& st, const std::wstring& typed)
{
    if (typed == files::shown_name(st.initial_name))
        return st.initial_name;
    const Row* selected = selected_row(dlg, st);
    if (selected && !selected->is_folder && shown(selected->name) == typed)
        return files::from_host_name(selected->name);
    for (const Row& row : st.rows)
        if (!row.is_folder && shown(row.name) == typed)
            return files::from_host_name(row.name);
    return typed;
}

// The extension a name saved without one is given: the first pattern of the filter in force when it
// names one ("*.dat" gives ".dat"), as the handheld's save dialog takes it from the chosen type, else
// lpstrDefExt as desktop Win32 appends it. Empty when neither names one ("*", "*.*", no filter).
std::wstring default_extension(const FileDialogState& st)
{
    const std::string& first = st.patterns.front();
    if (first.size() > 2 && first.compare(0, 2, "*.") == 0 && first.find_first_of("*?[", 2) == std::string::npos)
        return utf8_to_wide(first.substr(1));
    const wchar_t* defined = st.request->lpstrDefExt;
    while (defined && *defined == L'.') // written without its dot, as it should be, or with it
        ++defined;
    return defined && *defined ? L"." + std::wstring(defined) : std::wstring();
}

// A name with a dot anywhere in its last part has an extension already and is saved as typed (as is
// a path that ends in a slash, which names no file).
std::wstring with_default_extension(const FileDialogState& st, const std::wstring& path)
{
    const size_t name_at = path.rfind(L'/') + 1;
    if (name_at == path.size() || path.find(L'.', name_at) != std::wstring::npos)
        return path;
    return path + default_extension(st);
}

void confirm(HWND dlg, FileDialogState& st)
{
    const std::wstring name = chosen_name(dlg, st, name_field_text(dlg));
    if (name.empty())
        return;
    if (name[0] != L'/' && st.folder.empty()) {
        const std::wstring text = L"The documents folder cannot be reached (" + shown(st.no_folder_reason) +
                                  L"). Choose a folder from the list or type a full path.";
        MessageBoxW(dlg, text.c_str(), L"File", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // A name without a folder is taken in the folder shown, an absolute path as it is.
    const std::wstring typed_path = name[0] == L'/' ? name : files::from_host_name(join(st.folder, "")) + name;
    const std::string typed_on_disk = host_name(typed_path);
    if (!within_bound(st, canonical(is_folder(typed_on_disk) ? typed_on_disk : parent_of(typed_on_disk)))) {
        MessageBoxW(dlg, L"Only the files in Documents are kept here: choose a name in Documents.", L"File",
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (is_folder(typed_on_disk)) {
        st.folder = canonical(typed_on_disk);
        SetDlgItemTextW(dlg, kNameFieldId, L"");
        show_folder(dlg, st);
        return;
    }
    const std::wstring path = st.save ? with_default_extension(st, typed_path) : typed_path;
    const std::string on_disk = host_name(path);
    const DWORD flags = st.request->Flags;
    if (!st.save && (flags & OFN_FILEMUSTEXIST) && !exists(on_disk)) {
        MessageBoxW(dlg, L"The file does not exist.", L"File", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (st.save && (flags & OFN_OVERWRITEPROMPT) && exists(on_disk) &&
        MessageBoxW(dlg, L"The file exists. Replace it?", L"File", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    finish(dlg, st, path);
}

const Row* selected_row(HWND dlg, const FileDialogState& st)
{
    const LRESULT index = SendDlgItemMessageW(dlg, kListId, LB_GETCURSEL, 0, 0);
    return index >= 0 && static_cast<size_t>(index) < st.rows.size() ? &st.rows[static_cast<size_t>(index)] : nullptr;
}

void picker_on_ok(HWND dlg, FileDialogState& st);

// A tap highlights a row: a file's name goes to the name field, a folder waits for OK (or Enter), as
// opening a file does, so that a tap that lands a row off never changes the folder.
void picker_on_list(HWND dlg, FileDialogState& st, int code)
{
    const Row* row = selected_row(dlg, st);
    if (!row)
        return;
    if (code == LBN_SELCHANGE) {
        if (!row->is_folder)
            SetDlgItemTextW(dlg, kNameFieldId, shown(row->name).c_str());
        st.folder_chosen = row->is_folder;
    } else if (code == LBN_DBLCLK) {
        picker_on_ok(dlg, st);
    }
}

void picker_on_ok(HWND dlg, FileDialogState& st)
{
    // OK or Enter on a highlighted folder enters it; otherwise the name field decides.
    const Row* row = selected_row(dlg, st);
    if (row && row->is_folder && (st.folder_chosen || GetFocus() == GetDlgItem(dlg, kListId))) {
        const Row chosen = *row;
        st.folder_chosen = false;
        enter_folder(dlg, st, chosen);
        return;
    }
    confirm(dlg, st);
}

INT_PTR CALLBACK picker_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG)
        return picker_on_init(dlg, reinterpret_cast<FileDialogState*>(lp));
    FileDialogState** slot = g_pickers.find(dlg);
    if (!slot)
        return FALSE;
    FileDialogState& st = **slot;
    switch (msg) {
    case WM_SIZE: layout(dlg); return TRUE;
    case WM_DESTROY: g_pickers.erase(dlg); return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK: picker_on_ok(dlg, st); return TRUE;
        case IDCANCEL: EndDialog(dlg, FALSE); return TRUE;
        case kListId: picker_on_list(dlg, st, HIWORD(wp)); return TRUE;
        case kNameFieldId:
            if (HIWORD(wp) == EN_CHANGE && GetFocus() == GetDlgItem(dlg, kNameFieldId))
                st.folder_chosen = false; // the user typed a name: OK takes it
            return FALSE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}

// Where the picker opens and the name it offers: the folder of a path in the file buffer, else the
// initial folder, else the documents folder. When even that cannot be had the picker opens in no
// folder and says why, rather than offering to save wherever the program happened to start.
void choose_start(FileDialogState& st)
{
    const OPENFILENAMEW& request = *st.request;
    const std::wstring file(request.lpstrFile, wcsnlen(request.lpstrFile, request.nMaxFile));
    const size_t slash = file.rfind(L'/');
    st.initial_name = slash == std::wstring::npos ? file : file.substr(slash + 1);
    std::string folder;
    if (slash != std::wstring::npos)
        folder = canonical(slash == 0 ? "/" : host_name(file.substr(0, slash)));
    if ((folder.empty() || !is_folder(folder)) && request.lpstrInitialDir)
        folder = canonical(host_name(request.lpstrInitialDir));
    if (folder.empty() || !is_folder(folder)) {
        const DocumentsFolder documents = documents_folder();
        folder = canonical(documents.path);
        st.no_folder_reason = folder.empty() && documents.problem.empty() ? documents.path + ": cannot be opened"
                                                                          : documents.problem;
    }
    if (!within_bound(st, folder))
        folder = st.bound;
    st.folder = folder;
}

BOOL run_picker(OPENFILENAMEW* request, bool save)
{
    if (!request || !request->lpstrFile || request->nMaxFile == 0)
        return FALSE;
    FileDialogState st;
    st.request = request;
    st.save = save;
    st.patterns = filter_patterns(*request);
    st.bound = picker_bound();
    choose_start(st);
    const std::wstring title = request->lpstrTitle ? request->lpstrTitle : save ? L"Save As" : L"Open";
    const std::vector<WORD> tpl = empty_dialog_template(WS_POPUP | WS_CAPTION, title);
    const INT_PTR result = DialogBoxIndirectParamW(request->hInstance, reinterpret_cast<const DLGTEMPLATE*>(tpl.data()),
                                                   request->hwndOwner, picker_proc, reinterpret_cast<LPARAM>(&st));
    return result > 0 ? TRUE : FALSE;
}

} // namespace
} // namespace platform::controls

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW request)
{
    return platform::controls::run_picker(request, false);
}

BOOL WINAPI GetSaveFileNameW(LPOPENFILENAMEW request)
{
    return platform::controls::run_picker(request, true);
}
