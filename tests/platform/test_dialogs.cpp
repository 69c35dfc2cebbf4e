// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager on the headless device: templates and dialog units, focus and keyboard rules,
// the modal loop, deferred moves, full-screen dialogs and message boxes.
#include "test_controls_support.h"

#include <aygshell.h>
#include <sipapi.h>

#include "dialogs/dialog_template_decoder.h"

#include <cstdlib>

using namespace controls_test;

namespace {

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kList = 0x0083;
constexpr int kEditId = 10, kGoId = 20, kListId = 30;

struct DialogLog {
    std::vector<int> commands;
    int sizes = 0;
    INT_PTR init_result = TRUE;
    bool end_on_commands = true;
};

DialogLog& log()
{
    static DialogLog l;
    return l;
}

INT_PTR CALLBACK logging_dialog(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: return log().init_result;
    case WM_SIZE: ++log().sizes; return FALSE;
    case WM_COMMAND:
        if (HIWORD(wp) != BN_CLICKED)
            return FALSE;
        log().commands.push_back(LOWORD(wp));
        if (log().end_on_commands)
            EndDialog(dlg, LOWORD(wp));
        return TRUE;
    default: return FALSE;
    }
}

// The exponent dialog's shape: default button first, then a plain one, an edit field, an id-less label.
TemplateBuilder sample_template(DWORD extra_style = 0)
{
    TemplateBuilder t(WS_POPUP | WS_CAPTION | DS_SETFONT | extra_style, 0, 0, 127, 95, L"Sample");
    t.item(kButton, L"Go", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 7, 63, 50, 14, kGoId)
        .item(kButton, L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 70, 62, 50, 14, IDCANCEL)
        .item(kEdit, L"2", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 26, 113, 16, kEditId, 6)
        .item(kStatic, L"N:", WS_CHILD | WS_VISIBLE | SS_LEFT, 27, 7, 10, 8, 0xFFFF)
        .item(kList, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOINTEGRALHEIGHT, 7, 45, 60, 14, kListId);
    return t;
}

class DialogTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        log() = DialogLog{};
    }
    INT_PTR run(const TemplateBuilder& t) { return DialogBoxIndirectParamW(nullptr, t.get(), m_parent, logging_dialog, 0); }
    static RECT rect_in_dialog(HWND dlg, HWND control)
    {
        RECT rc{};
        GetWindowRect(control, &rc);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
};

TEST_F(DialogTest, ControlsStandAtTheirDialogUnitRectangles)
{
    EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(6, 13));
    const TemplateBuilder t = sample_template();
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), m_parent, logging_dialog, 0);
    ASSERT_NE(dlg, nullptr);
    struct Case {
        int id;
        RECT units;
    };
    for (const Case& c : {Case{kGoId, {7, 63, 57, 77}}, Case{IDCANCEL, {70, 62, 120, 76}}, Case{kEditId, {7, 26, 120, 42}},
                          Case{0xFFFF, {27, 7, 37, 15}}, Case{kListId, {7, 45, 67, 59}}}) {
        RECT expected = c.units;
        ASSERT_TRUE(MapDialogRect(dlg, &expected));
        HWND control = GetDlgItem(dlg, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        const RECT actual = rect_in_dialog(dlg, control);
        EXPECT_TRUE(EqualRect(&actual, &expected)) << "control " << c.id << " at " << actual.left << "," << actual.top
                                                    << " " << actual.right << "," << actual.bottom;
    }
    RECT client{}, wanted{0, 0, 127, 95};
    GetClientRect(dlg, &client);
    MapDialogRect(dlg, &wanted);
    EXPECT_TRUE(EqualRect(&client, &wanted)) << "the template's size is the client area's, the caption aside";
    EXPECT_EQ(GetDlgItem(dlg, -1), GetDlgItem(dlg, 0xFFFF)) << "IDC_STATIC names the id-less item";
    RECT bad{0, 0, 4, 8};
    EXPECT_FALSE(MapDialogRect(reinterpret_cast<HWND>(0x1234), &bad));
    DestroyWindow(dlg);
}

TEST_F(DialogTest, InitDialogTrueFocusesTheFirstTabStopAndTabSelectsEditText)
{
    const TemplateBuilder t = sample_template();
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), m_parent, logging_dialog, 0);
    ShowWindow(dlg, SW_SHOW);
    kelvora::device::pump();
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, kGoId));
    struct Step {
        bool shift;
        int focused_id;
    };
    for (const Step& s : {Step{false, IDCANCEL}, Step{false, kEditId}, Step{false, kGoId}, Step{true, kEditId}}) {
        MSG msg{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        if (s.shift) {
            kelvora::device::key_down(VK_SHIFT);
            kelvora::device::pump();
        }
        EXPECT_TRUE(IsDialogMessageW(dlg, &msg));
        if (s.shift)
            kelvora::device::key_up(VK_SHIFT);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), s.focused_id);
    }
    EXPECT_EQ(SendDlgItemMessageW(dlg, kEditId, EM_GETSEL, 0, 0), MAKELRESULT(0, 1)) << "Tab into an edit selects it";
    DestroyWindow(dlg);
}

TEST_F(DialogTest, KeysAndClosingAnswerWithTheRightCommand)
{
    struct Case {
        const char* name;
        std::function<void()> input;
        INT_PTR result;
    };
    const Case cases[] = {
        {"Enter on the edit presses the default button",
         [] { SetFocus(GetDlgItem(top_window(), kEditId)); kelvora::device::key(VK_RETURN); }, kGoId},
        {"Enter on a focused plain button presses it",
         [] { SetFocus(GetDlgItem(top_window(), IDCANCEL)); kelvora::device::key(VK_RETURN); }, IDCANCEL},
        {"Escape sends IDCANCEL", [] { kelvora::device::key(VK_ESCAPE); }, IDCANCEL},
        {"WM_CLOSE left to the default becomes IDCANCEL", [] { PostMessageW(top_window(), WM_CLOSE, 0, 0); }, IDCANCEL},
        {"a tap on the default button", [] {
             HWND go = GetDlgItem(top_window(), kGoId);
             POINT pt{5, 5};
             ClientToScreen(go, &pt);
             kelvora::device::tap(pt.x, pt.y);
         }, kGoId},
    };
    for (const Case& c : cases) {
        log() = DialogLog{};
        script().push_back(c.input);
        EXPECT_EQ(run(sample_template()), c.result) << c.name;
        EXPECT_EQ(log().commands.size(), 1u) << c.name;
    }
}

TEST_F(DialogTest, SetDefIdMovesTheDefaultButton)
{
    const TemplateBuilder t = sample_template();
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), m_parent, logging_dialog, 0);
    EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELRESULT(kGoId, DC_HASDEFID)) << "found from the button style";
    SendMessageW(dlg, DM_SETDEFID, IDCANCEL, 0);
    EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELRESULT(IDCANCEL, DC_HASDEFID));
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dlg, kGoId), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dlg, IDCANCEL), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    SetFocus(GetDlgItem(dlg, kEditId));
    MSG enter{GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    log().end_on_commands = false;
    IsDialogMessageW(dlg, &enter);
    ASSERT_EQ(log().commands.size(), 1u);
    EXPECT_EQ(log().commands[0], IDCANCEL);
    DestroyWindow(dlg);
}

TEST_F(DialogTest, EnterWithoutDefaultButtonSendsIdOk)
{
    TemplateBuilder t(WS_POPUP | WS_CAPTION, 0, 0, 100, 40, L"Plain");
    t.item(kEdit, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 4, 4, 80, 12, kEditId);
    script().push_back([] { kelvora::device::key(VK_RETURN); });
    EXPECT_EQ(run(t), IDOK);
}

TEST_F(DialogTest, ModalLoopDisablesTheOwnerAndGivesItBack)
{
    bool enabled_during = true;
    script().push_back([&] {
        enabled_during = IsWindowEnabled(m_parent);
        kelvora::device::key(VK_ESCAPE);
    });
    EXPECT_EQ(run(sample_template()), IDCANCEL);
    EXPECT_FALSE(enabled_during);
    EXPECT_TRUE(IsWindowEnabled(m_parent));
    EXPECT_EQ(GetActiveWindow(), m_parent);
    for (const auto& w : kelvora::device::top_level_windows())
        EXPECT_NE(w.title, L"Sample") << "the dialog is gone";
}

TEST_F(DialogTest, QuitDuringTheModalLoopEndsItAndIsPostedAgain)
{
    script().push_back([] { PostQuitMessage(7); });
    run(sample_template());
    EXPECT_TRUE(IsWindowEnabled(m_parent));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(DialogTest, DeferredMovesApplyTogetherAtTheEnd)
{
    const TemplateBuilder t = sample_template();
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), m_parent, logging_dialog, 0);
    HWND go = GetDlgItem(dlg, kGoId), edit = GetDlgItem(dlg, kEditId);
    const RECT go_before = rect_in_dialog(dlg, go);
    HDWP batch = BeginDeferWindowPos(3);
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(DeferWindowPos(batch, go, nullptr, 1, 2, 30, 10, SWP_NOZORDER), batch);
    EXPECT_EQ(DeferWindowPos(batch, reinterpret_cast<HWND>(0x4321), nullptr, 0, 0, 1, 1, SWP_NOZORDER), nullptr)
        << "a bad window is refused";
    EXPECT_EQ(DeferWindowPos(batch, edit, nullptr, 5, 50, 40, 12, SWP_NOZORDER), batch) << "the batch goes on";
    const RECT go_meanwhile = rect_in_dialog(dlg, go);
    EXPECT_TRUE(EqualRect(&go_meanwhile, &go_before)) << "nothing moves before the end";
    EXPECT_TRUE(EndDeferWindowPos(batch));
    const RECT go_after = rect_in_dialog(dlg, go), edit_after = rect_in_dialog(dlg, edit);
    const RECT go_wanted{1, 2, 31, 12}, edit_wanted{5, 50, 45, 62};
    EXPECT_TRUE(EqualRect(&go_after, &go_wanted));
    EXPECT_TRUE(EqualRect(&edit_after, &edit_wanted));
    EXPECT_FALSE(EndDeferWindowPos(batch)) << "a batch ends once";
    EXPECT_EQ(BeginDeferWindowPos(-1), nullptr);
    DestroyWindow(dlg);
}

TEST_F(DialogTest, TemplateDecodingToleratesOddItemsAndRefusesTheExtendedLayout)
{
    TemplateBuilder t(WS_POPUP, 0, 0, 50, 50, L"Odd");
    t.item(kStatic, L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, 1, 8).item(0x0084, L"", WS_CHILD, 0, 0, 5, 5, 2)
        .item(kStatic, L"last", WS_CHILD | WS_VISIBLE, 0, 0, 40, 8, 3);
    HWND dlg = CreateDialogIndirectParamW(nullptr, t.get(), m_parent, logging_dialog, 0);
    ASSERT_NE(dlg, nullptr);
    wchar_t text[8];
    GetDlgItemTextW(dlg, 3, text, 8);
    EXPECT_STREQ(text, L"last") << "creation data is skipped by its size";
    DestroyWindow(dlg);
    const WORD extended[] = {1, 0xFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(extended), m_parent,
                                         logging_dialog, 0),
              nullptr);
}

TEST(DialogTemplateDecoding, EveryTruncationIsRefusedWithoutReadingPastTheEnd)
{
    const TemplateBuilder t = sample_template();
    const size_t full = t.size_in_bytes();
    // Each cut copies the prefix into a buffer of exactly that size, so a read past it trips the sanitizer.
    for (size_t cut = 0; cut < full; ++cut) {
        std::vector<BYTE> prefix(reinterpret_cast<const BYTE*>(t.get()), reinterpret_cast<const BYTE*>(t.get()) + cut);
        EXPECT_FALSE(platform::controls::decode_dialog_template(reinterpret_cast<const DLGTEMPLATE*>(prefix.data()), cut))
            << "cut at " << cut;
    }
    const auto decoded = platform::controls::decode_dialog_template(t.get(), full);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->items.size(), 5u);
    EXPECT_EQ(decoded->items[3].id, 0xFFFF);
    EXPECT_EQ(decoded->items[4].class_field.ordinal, kList);
    EXPECT_EQ(decoded->face, L"MS Shell Dlg");
}

INT_PTR CALLBACK full_screen_dialog(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        SHINITDLGINFO info{SHIDIM_FLAGS, dlg,
                           SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
        SHInitDialog(&info);
        return TRUE;
    }
    if (msg == WM_SIZE)
        ++log().sizes;
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
        EndDialog(dlg, IDOK);
        return TRUE;
    }
    return FALSE;
}

TEST_F(DialogTest, FullScreenDialogFollowsTheWorkAreaAboveItsMenuBar)
{
    const TemplateBuilder t = sample_template(DS_FIXEDSYS);
    struct Check {
        const char* name;
        RECT expected;
    };
    std::vector<std::pair<std::string, RECT>> seen;
    std::vector<int> sizes;
    auto record = [&](const char* name) {
        HWND dlg = top_window();
        RECT rc{};
        GetWindowRect(dlg, &rc);
        seen.emplace_back(name, rc);
        sizes.push_back(log().sizes);
        EXPECT_EQ(GetWindowLongW(dlg, GWL_STYLE) & WS_CAPTION, 0) << name;
        EXPECT_NE(GetWindowLongW(dlg, GWL_EXSTYLE) & static_cast<LONG>(WS_EX_CAPTIONOKBTN), 0) << name;
    };
    script().push_back([&] { record("portrait"); kelvora::device::rotate(); });
    script().push_back([&] { record("landscape"); kelvora::device::rotate(); });
    script().push_back([&] { record("portrait again"); PostMessageW(top_window(), WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, t.get(), m_parent, full_screen_dialog, 0), IDOK);
    ASSERT_EQ(seen.size(), 3u);
    const RECT portrait{0, 26, 240, 294}, landscape{0, 26, 320, 214};
    EXPECT_TRUE(EqualRect(&seen[0].second, &portrait));
    EXPECT_TRUE(EqualRect(&seen[1].second, &landscape));
    EXPECT_TRUE(EqualRect(&seen[2].second, &portrait));
    EXPECT_GE(sizes[0], 1) << "the full-screen sizing sends WM_SIZE";
    EXPECT_GT(sizes[1], sizes[0]) << "rotation resizes again";
}

struct BoxCase {
    const char* name;
    UINT type;
    UINT key;
    int answer;
};

class MessageBoxTest : public DeviceTest, public testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, KeysAnswerWithTheButtonId)
{
    const BoxCase& c = GetParam();
    bool owner_enabled = true;
    script().push_back([&] {
        owner_enabled = IsWindowEnabled(m_parent);
        kelvora::device::key(c.key);
    });
    EXPECT_EQ(MessageBoxW(m_parent, L"Exit ?", L"Kelvora", c.type), c.answer);
    EXPECT_FALSE(owner_enabled);
    EXPECT_TRUE(IsWindowEnabled(m_parent));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MessageBoxTest,
    testing::Values(BoxCase{"ok_enter", MB_OK, VK_RETURN, IDOK}, BoxCase{"ok_escape", MB_OK, VK_ESCAPE, IDOK},
                    BoxCase{"okcancel_enter", MB_OKCANCEL | MB_ICONEXCLAMATION, VK_RETURN, IDOK},
                    BoxCase{"okcancel_escape", MB_OKCANCEL | MB_ICONEXCLAMATION, VK_ESCAPE, IDCANCEL},
                    BoxCase{"yesno_escape", MB_YESNO | MB_ICONQUESTION, VK_ESCAPE, IDNO},
                    BoxCase{"yesno_default_second", MB_YESNO | MB_DEFBUTTON2, VK_RETURN, IDNO},
                    BoxCase{"yesnocancel_escape", MB_YESNOCANCEL, VK_ESCAPE, IDCANCEL},
                    BoxCase{"retrycancel_enter", MB_RETRYCANCEL | MB_ICONHAND, VK_RETURN, IDRETRY}),
    [](const testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST_F(DeviceTest, MessageBoxButtonTapAndLook)
{
    HWND box = nullptr;
    bool icon_yellow = false;
    std::string mark; // the sign's middle columns from its top down: '#' black, 'y' yellow, '.' other
    script().push_back([&] {
        box = top_window();
        // The exclamation icon: a yellow triangle at the top left of the box's client area.
        for (int y = 12; y < 40 && !icon_yellow; ++y) {
            const POINT pt = on_screen(box, 24, y);
            icon_yellow |= kelvora::device::pixel(pt.x, pt.y) == RGB(255, 204, 0);
        }
        // The "!" on it: a bar and a dot, solid black over three columns (the icon is at (8, 8), 32 wide).
        for (int y = 8 + 9; y < 8 + 29; ++y) {
            char row = 0;
            for (int x = 8 + 15; x < 8 + 18; ++x) {
                const POINT pt = on_screen(box, x, y);
                const COLORREF c = kelvora::device::pixel(pt.x, pt.y);
                const char here = c == RGB(0, 0, 0) ? '#' : c == RGB(255, 204, 0) ? 'y' : '.';
                row = row == 0 || row == here ? here : '.';
            }
            mark += row;
        }
        if (const char* dir = std::getenv("KELVORA_SHOTS"))
            kelvora::device::save_png(std::string(dir) + "/messagebox.png");
        // No pump inside a step: the modal loop itself must see the answer arrive.
        const POINT cancel = on_screen(GetDlgItem(box, IDCANCEL), 10, 10);
        kelvora::device::tap(cancel.x, cancel.y);
    });
    EXPECT_EQ(MessageBoxW(m_parent, L"The file could not be opened. Nothing was changed.", L"Load",
                          MB_OKCANCEL | MB_ICONEXCLAMATION),
              IDCANCEL);
    EXPECT_TRUE(icon_yellow);
    EXPECT_EQ(mark, "yy###########yy###yy");
}

// Landscape with the input panel up leaves 143 pixels under the navigation bar: a box of fifteen lines
// is shortened to them and scrolls, its focused button kept in view; with the panel down it grows again.
TEST_F(DeviceTest, AMessageBoxTallerThanTheSpaceAboveThePanelScrollsItsButtonsIntoView)
{
    kelvora::device::rotate();
    ASSERT_TRUE(SipShowIM(SIPF_ON));
    kelvora::device::pump();
    RECT panel{};
    ASSERT_TRUE(kelvora::device::input_panel(&panel));
    std::wstring text;
    for (int i = 1; i <= 15; ++i)
        text += L"Line " + std::to_wstring(i) + L"\n";
    struct Seen {
        RECT box, ok, cancel, ok_after_tab, cancel_after_tab;
        int pos;
    } up{}, down{};
    auto rect_of = [](HWND h) {
        RECT r{};
        GetWindowRect(h, &r);
        return r;
    };
    script().push_back([&] {
        HWND box = top_window();
        up.box = rect_of(box);
        up.ok = rect_of(GetDlgItem(box, IDOK));
        up.pos = GetScrollPos(box, SB_VERT);
        if (const char* dir = std::getenv("KELVORA_SHOTS"))
            kelvora::device::save_png(std::string(dir) + "/messagebox-scrolled.png");
        kelvora::device::key(VK_TAB);
    });
    script().push_back([&] {
        HWND box = top_window();
        up.cancel_after_tab = rect_of(GetDlgItem(box, IDCANCEL));
        kelvora::device::key(VK_TAB, false, true); // Shift+Tab back to OK
    });
    script().push_back([&] {
        HWND box = top_window();
        up.ok_after_tab = rect_of(GetDlgItem(box, IDOK));
        SipShowIM(SIPF_OFF);
    });
    script().push_back([&] {
        HWND box = top_window();
        down.box = rect_of(box);
        down.ok = rect_of(GetDlgItem(box, IDOK));
        down.pos = GetScrollPos(box, SB_VERT);
        const POINT ok = on_screen(GetDlgItem(box, IDOK), 5, 5);
        kelvora::device::tap(ok.x, ok.y);
    });
    EXPECT_EQ(MessageBoxW(m_parent, text.c_str(), L"Load", MB_OKCANCEL), IDOK);
    EXPECT_EQ(up.box.top, 26);
    EXPECT_EQ(up.box.bottom, panel.top);
    EXPECT_GT(up.pos, 0);
    for (const RECT& r : {up.ok, up.cancel_after_tab, up.ok_after_tab}) {
        EXPECT_GE(r.top, up.box.top + 16) << "below the box's caption";
        EXPECT_LE(r.bottom, panel.top - 1) << "above the panel, inside the box's frame";
    }
    // Without the panel (and without a menu bar) the box is still too tall: it takes the whole height.
    EXPECT_EQ(down.box.top, 26);
    EXPECT_EQ(down.box.bottom, 240);
    EXPECT_LE(down.ok.bottom, 240 - 1);
    EXPECT_LT(down.pos, up.pos);
}

} // namespace
