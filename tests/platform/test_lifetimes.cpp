// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and dialogs opened and closed over and over leave nothing behind: every window record, DC and
// GDI object they used is freed once the program pumps again, and their handles are refused afterwards.
#include "test_controls_support.h"

#include <aygshell.h>

#include "demo/demo_resource.h"
#include "gdi/gdi.h"
#include "wm/wm.h"

using namespace controls_test;

namespace {

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kList = 0x0083;
constexpr int kRounds = 300;

struct LiveObjects {
    size_t windows;
    size_t gdi_objects;
    size_t dcs;
    bool operator==(const LiveObjects&) const = default;
};

void PrintTo(const LiveObjects& l, std::ostream* os)
{
    *os << "{windows " << l.windows << ", GDI objects " << l.gdi_objects << ", DCs " << l.dcs << "}";
}

LiveObjects live_objects()
{
    return {platform::window_record_count(), platform::gdi_object_count(), platform::dc_count()};
}

INT_PTR CALLBACK closing_dialog(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL)
        return EndDialog(dlg, IDCANCEL);
    return msg == WM_INITDIALOG;
}

TemplateBuilder dialog_with_controls()
{
    TemplateBuilder t(WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 127, 95, L"Round");
    t.item(kButton, L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 7, 63, 50, 14, IDOK)
        .item(kButton, L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 70, 62, 50, 14, IDCANCEL)
        .item(kEdit, L"2", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 26, 113, 16, 10)
        .item(kStatic, L"N:", WS_CHILD | WS_VISIBLE | SS_LEFT, 27, 7, 10, 8, 0xFFFF)
        .item(kList, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOINTEGRALHEIGHT, 7, 45, 60, 14, 30);
    return t;
}

// A frame with a menu bar, one control of each class and a picture, used (typed into, filled, painted), then destroyed.
void open_and_close_frame(HWND owner)
{
    HWND frame = CreateWindowExW(0, L"TestParent", L"Frame", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, owner,
                                 nullptr, nullptr, nullptr);
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    bar.hwndParent = frame;
    bar.dwFlags = SHCMBF_EMPTYBAR;
    SHCreateMenuBar(&bar);
    const wchar_t* classes[] = {L"Edit", L"Button", L"Static", L"ListBox"};
    HWND controls[4] = {};
    for (int i = 0; i < 4; ++i)
        controls[i] = CreateWindowExW(0, classes[i], L"x", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10 + 30 * i, 100,
                                      24, frame, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(i + 1)), nullptr, nullptr);
    SendMessageW(controls[3], LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
    // A picture the static loads itself from the resources, as a dialog template names it.
    const wchar_t picture[] = {0xFFFF, IDB_DEMO, 0};
    CreateWindowExW(0, L"Static", picture, WS_CHILD | WS_VISIBLE | SS_BITMAP, 120, 10, 40, 40, frame, nullptr,
                    GetModuleHandleW(nullptr), nullptr);
    SetFocus(controls[0]);
    kelvora::device::type(L"12");
    kelvora::device::pump();
    DestroyWindow(frame);
    kelvora::device::pump();
}

constexpr UINT kRunDialog = WM_USER + 100;

// Runs a modal dialog from inside its window procedure, as a program's command handler does, and, as a
// child, destroys its parent while being destroyed itself.
LRESULT CALLBACK nesting_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kRunDialog)
        return DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(lp), hwnd, closing_dialog, 0);
    if (msg == WM_DESTROY && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
        DestroyWindow(GetParent(hwnd));
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class LifetimeTest : public DeviceTest {
protected:
    // Runs `round` once to fill the caches that are bounded by their inputs (fonts, icons), then kRounds
    // times, and compares the handle tables with what they held after the first.
    void SetUp() override
    {
        DeviceTest::SetUp();
        WNDCLASSW wc{};
        wc.lpfnWndProc = nesting_proc;
        wc.lpszClassName = L"Nesting";
        RegisterClassW(&wc);
    }

    template <class Round>
    void expect_nothing_left(Round round)
    {
        round();
        kelvora::device::pump();
        const LiveObjects before = live_objects();
        for (int i = 0; i < kRounds; ++i)
            round();
        kelvora::device::pump();
        EXPECT_EQ(live_objects(), before);
    }
};

} // namespace

TEST_F(LifetimeTest, ModalDialogWithControlsLeavesNothing)
{
    const TemplateBuilder t = dialog_with_controls();
    expect_nothing_left([&] {
        script().push_back([] { kelvora::device::key(VK_ESCAPE); });
        EXPECT_EQ(DialogBoxIndirectParamW(nullptr, t.get(), m_parent, closing_dialog, 0), IDCANCEL);
    });
}

TEST_F(LifetimeTest, ModelessDialogAndMessageBoxLeaveNothing)
{
    const TemplateBuilder t = dialog_with_controls();
    expect_nothing_left([&] {
        HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), m_parent, closing_dialog, 0);
        ShowWindow(dlg, SW_SHOW);
        kelvora::device::pump();
        DestroyWindow(dlg);
        script().push_back([] { kelvora::device::key(VK_RETURN); });
        EXPECT_EQ(MessageBoxW(m_parent, L"Text", L"Box", MB_OKCANCEL | MB_ICONEXCLAMATION), IDOK);
    });
}

TEST_F(LifetimeTest, FrameWithMenuBarAndControlsLeavesNothing)
{
    expect_nothing_left([&] { open_and_close_frame(m_parent); });
}

TEST_F(LifetimeTest, DialogRunFromAWindowProcedureIsFreedByTheOuterLoop)
{
    const TemplateBuilder t = dialog_with_controls();
    HWND host = CreateWindowExW(0, L"Nesting", L"Host", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                                nullptr, nullptr, nullptr);
    expect_nothing_left([&] {
        script().push_back([] { kelvora::device::key(VK_ESCAPE); });
        EXPECT_EQ(SendMessageW(host, kRunDialog, 0, reinterpret_cast<LPARAM>(t.get())), IDCANCEL);
    });
}

TEST_F(LifetimeTest, ChildThatDestroysItsParentLeavesNothing)
{
    expect_nothing_left([&] {
        HWND parent = CreateWindowExW(0, L"Nesting", L"Parent", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                      nullptr, nullptr, nullptr, nullptr);
        HWND kid = CreateWindowExW(0, L"Nesting", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, parent, nullptr,
                                   nullptr, nullptr);
        CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 0, 30, 50, 20, parent, nullptr, nullptr, nullptr);
        DestroyWindow(kid);
        EXPECT_FALSE(IsWindow(parent));
        kelvora::device::pump();
    });
}

TEST_F(LifetimeTest, HandlesOfFreedWindowsStayRefused)
{
    HWND first = CreateWindowExW(0, L"Edit", L"old", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, m_parent, nullptr,
                                 nullptr, nullptr);
    DestroyWindow(first);
    kelvora::device::pump(); // frees its record; the slot is free for the next window
    HWND second = CreateWindowExW(0, L"Edit", L"new", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, m_parent, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(SendMessageW(first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"stale")), 0);
    EXPECT_EQ(text_of(second), L"new");
    EXPECT_FALSE(PostMessageW(first, WM_CLOSE, 0, 0));
}

TEST_F(LifetimeTest, DcKeptPastItsWindowDrawsNowhere)
{
    HWND w = CreateWindowExW(0, L"TestParent", L"Gone", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                             nullptr, nullptr, nullptr);
    HDC dc = GetDC(w);
    DestroyWindow(w);
    kelvora::device::pump();
    RECT r{0, 0, 50, 50};
    EXPECT_TRUE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
    EXPECT_EQ(ReleaseDC(w, dc), 1);
}

// kelvora-replay ends a script by an idle handler that reports no more input, which may happen while a
// modal dialog's loop runs inside a window procedure: the dialog ends, passes WM_QUIT on, and every record
// is freed afterwards.
TEST_F(LifetimeTest, EndingTheInputInsideAWindowProcedureLetsRecordsGo)
{
    const TemplateBuilder t = dialog_with_controls();
    HWND host = CreateWindowExW(0, L"Nesting", L"Host", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                                nullptr, nullptr, nullptr);
    kelvora::device::set_idle_handler([] { return false; });
    SendMessageW(host, kRunDialog, 0, reinterpret_cast<LPARAM>(t.get()));
    MSG msg{};
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr); // the dialog went with its loop
    DestroyWindow(host);
    kelvora::device::pump();
    const size_t before = live_objects().windows;
    open_and_close_frame(m_parent);
    kelvora::device::pump();
    EXPECT_EQ(live_objects().windows, before);
}
