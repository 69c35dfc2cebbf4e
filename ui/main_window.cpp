// SPDX-License-Identifier: GPL-3.0-or-later
// The data-entry window: shows one point of the table at a time and carries the program's commands.
#include "main_window.h"

#include <wchar.h>

#include "about_dialog.h"
#include "app_state.h"
#include "control_table.h"
#include "data_file.h"
#include "frame.h"
#include "label.h"
#include "number_text.h"
#include "resource.h"
#include "results_window.h"
#include "selection_window.h"

#define BUTTON_WIDTH 60
#define BUTTON_HEIGHT 20
#define COUNT_STYLE (WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_NUMBER | ES_RIGHT)
#define VALUE_STYLE (WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_RIGHT)
#define BUTTON_STYLE (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON)

// The height the fields, the position bar and the buttons need to stand apart: the landscape client
// area. A shorter client area (landscape with the input panel up) keeps this layout and scrolls.
#define LAYOUT_HEIGHT 188
#define SCROLL_LINE 10

#define BACKGROUND_COLOUR RGB(200, 200, 255)
#define BAR_DONE_COLOUR RGB(100, 100, 255)
#define BAR_REST_COLOUR RGB(230, 230, 255)
#define BAR_LEFT 10
#define BAR_RIGHT 150
#define BAR_TOP 143
#define BAR_BOTTOM 147

// The fields keep their place at the top left; the buttons keep their distance to the right and bottom
// edges, so they follow a rotation of the screen.
static const ControlRow ENTRY_CONTROLS[] = {
    {IDC_COUNT_FIELD, L"Edit", g_app.countText, COUNT_STYLE, 10, 20, 60, 20, 0, &g_app.ui.countField},
    {IDC_X_FIELD, L"Edit", g_app.xText, VALUE_STYLE, 10, 70, 140, 20, 0, &g_app.ui.xField},
    {IDC_Y_FIELD, L"Edit", g_app.yText, VALUE_STYLE, 10, 120, 140, 20, 0, &g_app.ui.yField},
    {IDC_UP, L"Button", L"Up", BUTTON_STYLE, -70, 35, BUTTON_WIDTH, BUTTON_HEIGHT, FOLLOW_RIGHT,
     &g_app.ui.upButton},
    {IDC_DOWN, L"Button", L"Down", BUTTON_STYLE, -70, 70, BUTTON_WIDTH, BUTTON_HEIGHT, FOLLOW_RIGHT,
     &g_app.ui.downButton},
    {IDC_ENTER, L"Button", L"Enter", BUTTON_STYLE, 10, -35, BUTTON_WIDTH, BUTTON_HEIGHT, FOLLOW_BOTTOM,
     &g_app.ui.enterButton},
    {IDC_FUNCTION, L"Button", L"Function", BUTTON_STYLE, -70, -70, BUTTON_WIDTH, BUTTON_HEIGHT,
     FOLLOW_RIGHT | FOLLOW_BOTTOM, &g_app.ui.functionButton},
    {IDC_CALCULATE, L"Button", L"Calculate", BUTTON_STYLE, -70, -35, BUTTON_WIDTH, BUTTON_HEIGHT,
     FOLLOW_RIGHT | FOLLOW_BOTTOM, &g_app.ui.calculateButton},
};

void createEntryControls(HWND mainWindow)
{
    createControls(mainWindow, ENTRY_CONTROLS, ROW_COUNT(ENTRY_CONTROLS));
}

// Moves the window's contents so that position pos of the layout is at the client area's top.
static void scrollEntryTo(HWND window, int pos)
{
    int old = GetScrollPos(window, SB_VERT);
    SCROLLINFO info;
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    info.nPos = pos;
    pos = SetScrollInfo(window, SB_VERT, &info, TRUE);
    if (pos != old) {
        ScrollWindowEx(window, 0, old - pos, NULL, NULL, NULL, NULL, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    }
}

// Scrolls just enough for the whole control to show in the client area.
static void scrollIntoView(HWND window, HWND control)
{
    if (control == NULL || GetParent(control) != window) return;
    RECT place;
    RECT client;
    GetWindowRect(control, &place);
    MapWindowPoints(NULL, window, (LPPOINT)&place, 2);
    GetClientRect(window, &client);
    int pos = GetScrollPos(window, SB_VERT);
    if (place.top < 0) {
        scrollEntryTo(window, pos + place.top);
    } else if (place.bottom > client.bottom) {
        scrollEntryTo(window, pos + place.bottom - client.bottom);
    }
}

static void onEntryScroll(HWND window, WPARAM wParam)
{
    SCROLLINFO info;
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(window, SB_VERT, &info)) return;
    int pos = info.nPos;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= SCROLL_LINE; break;
    case SB_LINEDOWN: pos += SCROLL_LINE; break;
    case SB_PAGEUP: pos -= (int)info.nPage; break;
    case SB_PAGEDOWN: pos += (int)info.nPage; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = info.nTrackPos; break;
    case SB_TOP: pos = info.nMin; break;
    case SB_BOTTOM: pos = info.nMax; break;
    default: return;
    }
    scrollEntryTo(window, pos);
}

// The layout keeps at least LAYOUT_HEIGHT; when the client area is shorter, the scroll bar shows the
// part in view, and the control with the focus is brought into it.
void layoutEntryButtons(HWND mainWindow)
{
    RECT client;
    GetClientRect(mainWindow, &client);
    SCROLLINFO info;
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = LAYOUT_HEIGHT - 1;
    info.nPage = (UINT)client.bottom;
    SetScrollInfo(mainWindow, SB_VERT, &info, TRUE);

    GetClientRect(mainWindow, &client); // the bar, shown or hidden, changes its width
    RECT area = client;
    if (area.bottom < LAYOUT_HEIGHT) area.bottom = LAYOUT_HEIGHT;
    OffsetRect(&area, 0, -GetScrollPos(mainWindow, SB_VERT));
    layoutControlsIn(mainWindow, ENTRY_CONTROLS, ROW_COUNT(ENTRY_CONTROLS), &area);
    InvalidateRect(mainWindow, NULL, FALSE);
    scrollIntoView(mainWindow, GetFocus());
}

static BOOL isValueField(HWND control)
{
    return control != NULL && (control == g_app.ui.xField || control == g_app.ui.yField);
}

// Tab and Shift+Tab move the focus through the fields and buttons in table order, selecting a field's
// text as a dialog does.
static void moveEntryFocus(HWND window, BOOL backwards)
{
    HWND next = GetNextDlgTabItem(window, GetFocus(), backwards);
    if (next == NULL || next == window) return;
    SetFocus(next);
    if (next == g_app.ui.countField || isValueField(next)) SendMessageW(next, EM_SETSEL, 0, -1);
    scrollIntoView(window, next);
}

// Writes the count and the current point into the three fields. Each write raises that field's
// EN_CHANGE before it returns; the count's pass settles the index and the read-only state.
void refreshEntryFields(HWND window)
{
    PointTable* table = &g_app.points;
    swprintf(g_app.countText, TEXT_CAPACITY, L"%d", table->pointCount);
    formatNumberW(g_app.xText, TEXT_CAPACITY, table->x[table->currentIndex]);
    formatNumberW(g_app.yText, TEXT_CAPACITY, table->y[table->currentIndex]);

    SetDlgItemTextW(window, IDC_COUNT_FIELD, g_app.countText);
    SetDlgItemTextW(window, IDC_X_FIELD, g_app.xText);
    SetDlgItemTextW(window, IDC_Y_FIELD, g_app.yText);
    InvalidateRect(window, NULL, FALSE);
}

// Each field is read on its own; a text that is not one number leaves its value as it was.
void storeEntryFields()
{
    PointTable* table = &g_app.points;
    readFieldNumber(g_app.xText, &table->x[table->currentIndex]);
    readFieldNumber(g_app.yText, &table->y[table->currentIndex]);
    g_app.pointEdits++;
}

static void fillArea(HDC dc, int left, int top, int right, int bottom, HBRUSH brush)
{
    RECT area;
    SetRect(&area, left, top, right, bottom);
    FillRect(dc, &area, brush);
}

void paintMainWindow(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);

    HBRUSH background = CreateSolidBrush(BACKGROUND_COLOUR);
    HBRUSH previousBrush = (HBRUSH)SelectObject(dc, background);
    FillRect(dc, &client, background);
    HBRUSH doneBrush = CreateSolidBrush(BAR_DONE_COLOUR);
    HBRUSH restBrush = CreateSolidBrush(BAR_REST_COLOUR);

    int count = g_app.points.pointCount;
    int number = g_app.points.currentIndex + 1;
    int top = -GetScrollPos(window, SB_VERT);
    if (count > 0) {
        int split = BAR_LEFT + (number * (BAR_RIGHT - BAR_LEFT)) / count;
        fillArea(dc, BAR_LEFT, top + BAR_TOP, split, top + BAR_BOTTOM, doneBrush);
        fillArea(dc, split, top + BAR_TOP, BAR_RIGHT, top + BAR_BOTTOM, restBrush);
    }

    SetBkMode(dc, TRANSPARENT);
    WCHAR label[TEXT_CAPACITY];
    drawLabel(window, dc, 10, top, L"N:");
    swprintf(label, TEXT_CAPACITY, L"X[%d]:", number);
    drawLabel(window, dc, 10, top + 50, label);
    swprintf(label, TEXT_CAPACITY, L"Y[%d]:", number);
    drawLabel(window, dc, 10, top + 100, label);

    SelectObject(dc, previousBrush);
    DeleteObject(background);
    DeleteObject(doneBrush);
    DeleteObject(restBrush);
    EndPaint(window, &paint);
}

static void setValueFieldsReadOnly()
{
    WPARAM readOnly = g_app.points.pointCount == 0 ? 1 : 0;
    SendMessageW(g_app.ui.xField, EM_SETREADONLY, readOnly, 0);
    SendMessageW(g_app.ui.yField, EM_SETREADONLY, readOnly, 0);
}

static void showNextPoint(HWND window)
{
    if (g_app.points.currentIndex < g_app.points.pointCount - 1) g_app.points.currentIndex++;
    refreshEntryFields(window);
}

static void showPreviousPoint(HWND window)
{
    if (g_app.points.currentIndex > 0) g_app.points.currentIndex--;
    refreshEntryFields(window);
}

static void storePoint()
{
    storeEntryFields();
    setValueFieldsReadOnly();
}

// The refresh a count change makes rewrites the count field, and setting a field's text puts its caret
// at the start. While the user is typing there, the caret and selection are put back afterwards, so the
// next digit lands where it was typed ("10", End, Backspace, 5 gives 15, not 51).
static void refreshKeepingCountCaret(HWND window)
{
    HWND countField = g_app.ui.countField;
    if (countField == NULL || GetFocus() != countField) {
        refreshEntryFields(window);
        return;
    }
    DWORD selStart = 0;
    DWORD selEnd = 0;
    SendMessageW(countField, EM_GETSEL, (WPARAM)&selStart, (LPARAM)&selEnd);
    refreshEntryFields(window);
    SendMessageW(countField, EM_SETSEL, (WPARAM)selStart, (LPARAM)selEnd);
}

// A count outside the table (above its capacity, or negative, which typing cannot produce) is brought
// to the capacity, and the field is rewritten to show it.
static void changeCount(HWND window)
{
    PointTable* table = &g_app.points;
    int typed = (int)GetDlgItemInt(window, IDC_COUNT_FIELD, NULL, TRUE);
    BOOL outside = typed < 0 || typed > POINT_CAPACITY;
    table->pointCount = outside ? POINT_CAPACITY : typed;

    if (table->pointCount == 0) {
        table->currentIndex = 0;
    } else if (table->currentIndex + 1 > table->pointCount) {
        table->currentIndex = table->pointCount - 1;
        refreshKeepingCountCaret(window);
    } else if (outside) {
        refreshKeepingCountCaret(window);
    }
    setValueFieldsReadOnly();
    InvalidateRect(window, NULL, FALSE);
}

static void startNewTable(HWND window)
{
    clearPoints();
    refreshEntryFields(window);
    InvalidateRect(window, NULL, TRUE);
}

static void confirmExit(HWND window)
{
    if (MessageBoxW(window, L"Exit ?", L"Kelvora", MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
}

// Keys of the data-entry window that its controls do not handle themselves: Tab and Shift+Tab, and Enter
// in the X or Y field, which stores the point as the Enter button does. TRUE when the key was used.
BOOL translateEntryKey(const MSG* msg)
{
    HWND window = g_app.ui.mainWindow;
    if (window == NULL || msg->message != WM_KEYDOWN) return FALSE;
    if (msg->hwnd != window && GetParent(msg->hwnd) != window) return FALSE;
    switch (msg->wParam) {
    case VK_TAB:
        moveEntryFocus(window, GetKeyState(VK_SHIFT) < 0);
        return TRUE;
    case VK_RETURN:
        if (!isValueField(msg->hwnd)) return FALSE;
        storePoint();
        return TRUE;
    }
    return FALSE;
}

static LRESULT onMainCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    WORD id = LOWORD(wParam);
    WORD code = HIWORD(wParam);
    switch (id) {
    case IDC_UP:
        if (code == BN_CLICKED) showNextPoint(window);
        return 0;
    case IDC_DOWN:
        if (code == BN_CLICKED) showPreviousPoint(window);
        return 0;
    case IDC_ENTER:
        if (code == BN_CLICKED) storePoint();
        return 0;
    case IDC_FUNCTION:
        if (code == BN_CLICKED) openSelectionWindow();
        return 0;
    case IDC_CALCULATE:
        if (code == BN_CLICKED) openResultsWindow();
        return 0;
    case IDC_X_FIELD:
        if (code == EN_CHANGE) GetDlgItemTextW(window, IDC_X_FIELD, g_app.xText, TEXT_CAPACITY - 1);
        if (code == EN_SETFOCUS) scrollIntoView(window, (HWND)lParam);
        return 0;
    case IDC_Y_FIELD:
        if (code == EN_CHANGE) GetDlgItemTextW(window, IDC_Y_FIELD, g_app.yText, TEXT_CAPACITY - 1);
        if (code == EN_SETFOCUS) scrollIntoView(window, (HWND)lParam);
        return 0;
    case IDC_COUNT_FIELD:
        if (code == EN_CHANGE) changeCount(window);
        if (code == EN_SETFOCUS) scrollIntoView(window, (HWND)lParam);
        return 0;
    case IDM_NEW:
        startNewTable(window);
        return 0;
    case IDM_SAVE:
        saveDataFile(window);
        return 0;
    case IDM_LOAD:
        loadDataFile(window);
        return 0;
    case IDM_OK:
        confirmExit(window);
        return 0;
    case IDM_ABOUT:
        openAboutDialog(window);
        return 0;
    }
    return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK MainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onFrameCreate(window);
    case WM_DESTROY:
        destroyFrameMenuBar(window);
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        return onFrameActivate(window, wParam, lParam);
    case WM_PAINT:
        paintMainWindow(window);
        return 0;
    case WM_SETTINGCHANGE:
        onFrameSettingChange(window, wParam, lParam);
        layoutEntryButtons(window);
        return 0;
    case WM_VSCROLL:
        onEntryScroll(window, wParam);
        return 0;
    case WM_COMMAND:
        return onMainCommand(window, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
