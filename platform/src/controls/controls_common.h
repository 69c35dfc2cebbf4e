// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the predefined controls and the dialog manager: per-window state tables, the parent
// notification, text measuring, dialog units, and the registration hooks of each class.
#pragma once
#include <windows.h>

#include "text/line_breaking.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::controls {

// A state record that a control class or the dialog manager keeps for a window (a message box has one
// of the dialog manager's and one of its own).
struct ControlRecord {
    virtual ~ControlRecord() = default;
};
using ControlRecords = std::unordered_map<HWND, std::vector<std::unique_ptr<ControlRecord>>>;

// What the controls and the dialog manager share on the device: the records by window, the dialog base
// units once measured, and the open DeferWindowPos batches.
struct ControlsState {
    ControlRecords m_records;
    SIZE m_dialog_base_units{0, 0};
    std::unordered_map<const void*, std::shared_ptr<void>> m_defer_batches; // open DeferWindowPos batches
};
ControlsState& controls_state(); // of the device

// Per-window state of one control class, kept by the device: created at WM_NCCREATE, freed at
// WM_NCDESTROY. Never hold a reference across a SendMessageW to another window: its handler may destroy
// this one.
template <class State>
class StateTable {
public:
    State* find(HWND hwnd) const
    {
        auto it = controls_state().m_records.find(hwnd);
        if (it == controls_state().m_records.end())
            return nullptr;
        for (auto& record : it->second)
            if (auto* mine = dynamic_cast<Record*>(record.get()))
                return &mine->m_state;
        return nullptr;
    }
    State& create(HWND hwnd) const
    {
        erase(hwnd);
        auto record = std::make_unique<Record>();
        State& state = record->m_state;
        controls_state().m_records[hwnd].push_back(std::move(record));
        return state;
    }
    void erase(HWND hwnd) const
    {
        auto it = controls_state().m_records.find(hwnd);
        if (it == controls_state().m_records.end())
            return;
        std::erase_if(it->second, [](const auto& record) { return dynamic_cast<Record*>(record.get()) != nullptr; });
        if (it->second.empty())
            controls_state().m_records.erase(it);
    }

private:
    struct Record : ControlRecord {
        State m_state{};
    };
};

// The window procedure body shared by the controls: keeps the state record with the window from
// WM_NCCREATE to WM_NCDESTROY and hands every other message to the class's dispatcher.
template <class State>
LRESULT route_to_state(const StateTable<State>& table, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                       LRESULT (*dispatch)(HWND, State&, UINT, WPARAM, LPARAM))
{
    if (msg == WM_NCCREATE)
        table.create(hwnd);
    if (msg == WM_NCDESTROY) {
        table.erase(hwnd);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    State* st = table.find(hwnd);
    return st ? dispatch(hwnd, *st, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

void register_control_class(const wchar_t* name, WNDPROC proc, UINT style = 0, HBRUSH background = nullptr);

// BeginPaint, drawing state saved and restored around `draw(dc, client_rect)`, EndPaint.
template <class Draw>
LRESULT paint_window(HWND hwnd, Draw&& draw);

// WM_COMMAND(MAKEWPARAM(id, code), control) to the control's parent: the one way controls notify.
void notify_parent(HWND control, int code);

// WM_GETTEXT semantics: copies at most max - 1 characters and a terminating zero; returns the count copied.
LRESULT copy_text_out(const std::wstring& text, WPARAM max, LPARAM buffer);
std::wstring text_from(LPARAM text);
// Keeps the window manager's copy of a control's text in step with the control's own.
void sync_window_text(HWND hwnd, const std::wstring& text);

// A DC for measuring outside WM_PAINT, released on scope exit.
class MeasureDc {
public:
    explicit MeasureDc(HWND hwnd) : m_hwnd(hwnd), m_dc(GetDC(hwnd)) {}
    ~MeasureDc()
    {
        if (m_dc)
            ReleaseDC(m_hwnd, m_dc);
    }
    MeasureDc(const MeasureDc&) = delete;
    MeasureDc& operator=(const MeasureDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// Restores the pen, brush, colours and background mode of a DC on scope exit.
class SavedDcState {
public:
    explicit SavedDcState(HDC dc);
    ~SavedDcState();
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_pen;
    HGDIOBJ m_brush;
    COLORREF m_text;
    COLORREF m_back;
    int m_mode;
};

int dc_text_width(HDC dc, std::wstring_view text);
int line_height(HDC dc);
// x of each caret position 0..n of the text (edges[0] = 0, edges[n] = width of the text).
std::vector<int> caret_edges(HDC dc, std::wstring_view text);
// Text widths in the font the DC holds, for break_lines.
TextMeasure dc_measure(HDC dc);

template <class Draw>
LRESULT paint_window(HWND hwnd, Draw&& draw)
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        SavedDcState saved(dc);
        RECT rc{};
        GetClientRect(hwnd, &rc);
        draw(dc, rc);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

void fill_rect(HDC dc, const RECT& rect, COLORREF color);
void frame_rect(HDC dc, const RECT& rect, COLORREF color, int thickness);
void draw_text_in_color(HDC dc, std::wstring_view text, int x, int y, COLORREF color);

// The window size whose client area is width x height, whatever frame (border, caption) the window has.
SIZE outer_size_for_client(HWND hwnd, int width, int height);
// The part of the screen below the navigation bar that the input panel, when up, leaves free.
RECT work_area();

// The user's documents folder (XDG documents directory, else ~/Documents) in host bytes, created when
// missing; `path` is empty when it cannot be had, and `problem` then says why in a line for the user.
struct DocumentsFolder {
    std::string path;
    std::string problem;
};
DocumentsFolder documents_folder();

// Window class names and registration, one function per class file.
void register_edit_class();
void register_button_class();
void register_listbox_class();
void register_static_class();
void register_dialog_class();

} // namespace platform::controls
