// SPDX-License-Identifier: GPL-3.0-or-later
// The predefined controls on the headless device: edit notifications and input rules, buttons, list
// boxes, statics, and the dialog item helpers used on an ordinary parent window.
#include "test_controls_support.h"

#include "../../platform/src/controls/clipboard.h"

using namespace controls_test;

namespace {

constexpr int kField = 320;

class EditTest : public DeviceTest {
protected:
    HWND field(DWORD style = 0, int width = 100)
    {
        HWND hwnd = child(L"Edit", L"", WS_BORDER | style, kField, 10, 10, width, 20);
        notifications().clear();
        return hwnd;
    }
    static int change_count()
    {
        int n = 0;
        for (const Notification& note : notifications())
            n += note.id == kField && note.code == EN_CHANGE;
        return n;
    }
};

TEST_F(EditTest, SetDlgItemTextNotifiesBeforeReturningEvenForUnchangedText)
{
    field();
    struct Case {
        const wchar_t* text;
        int changes_so_far;
    };
    // The same text twice must notify twice: the program re-reads its fields from these notifications.
    for (const Case& c : {Case{L"12", 1}, Case{L"12", 2}, Case{L"", 3}, Case{L"", 4}}) {
        SetDlgItemTextW(m_parent, kField, c.text);
        ASSERT_EQ(change_count(), c.changes_so_far) << "after setting \"" << testing::PrintToString(c.text) << "\"";
        EXPECT_EQ(notifications().back().text, c.text) << "the parent must see the new text inside the notification";
    }
}

TEST_F(EditTest, EveryUserEditNotifiesOnce)
{
    HWND hwnd = field();
    SetFocus(hwnd);
    struct Step {
        const char* name;
        std::function<void()> act;
        int changes;
        const wchar_t* text;
    };
    const Step steps[] = {
        {"typing two letters", [] { type(L"ab"); }, 2, L"ab"},
        {"backspace", [] { type(L"\b"); }, 1, L"a"},
        {"backspace on an empty caret start", [hwnd] { SendMessageW(hwnd, EM_SETSEL, 0, 0); type(L"\b"); }, 0, L"a"},
        {"replace selection", [hwnd] { SendMessageW(hwnd, EM_SETSEL, 0, -1); SendMessageW(hwnd, EM_REPLACESEL, 0, (LPARAM)L"xyz"); }, 1, L"xyz"},
        {"delete key", [] { key(VK_HOME); key(VK_DELETE); }, 1, L"yz"},
    };
    for (const Step& step : steps) {
        notifications().clear();
        step.act();
        EXPECT_EQ(change_count(), step.changes) << step.name;
        EXPECT_EQ(text_of(hwnd), step.text) << step.name;
    }
}

TEST_F(EditTest, InputRulesRefuseWhatTheStyleForbids)
{
    struct Case {
        const char* name;
        DWORD style;
        bool read_only;
        const wchar_t* typed;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"number field keeps digits only", ES_NUMBER, false, L"1a2-3.", L"123"},
        {"read-only field takes nothing", 0, true, L"abc", L""},
        {"plain field takes everything", 0, false, L"a-1.", L"a-1."},
    };
    for (const Case& c : cases) {
        HWND hwnd = field(c.style);
        SendMessageW(hwnd, EM_SETREADONLY, c.read_only, 0);
        SetFocus(hwnd);
        type(c.typed);
        EXPECT_EQ(text_of(hwnd), c.expected) << c.name;
        EXPECT_EQ(change_count(), static_cast<int>(wcslen(c.expected))) << c.name;
        DestroyWindow(hwnd);
    }
}

TEST_F(EditTest, ProgramTextIsKeptWholeWhateverTheStyle)
{
    HWND hwnd = field(ES_NUMBER, 30);
    const std::wstring long_text = L"not a number but long enough to overflow";
    SetDlgItemTextW(m_parent, kField, long_text.c_str());
    EXPECT_EQ(text_of(hwnd), long_text);
}

TEST_F(EditTest, TypingStopsAtTheFieldWidthUnlessItScrolls)
{
    const std::wstring digits(40, L'8');
    HWND fixed = field(0, 60);
    SetFocus(fixed);
    type(digits.c_str());
    const size_t kept = text_of(fixed).size();
    EXPECT_GT(kept, 3u);
    EXPECT_LT(kept, digits.size()) << "a field without ES_AUTOHSCROLL takes no more than it shows";
    type(L"\b9");
    EXPECT_EQ(text_of(fixed).size(), kept) << "after a deletion one more character fits again";

    HWND scrolling = child(L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, 321, 10, 40, 60, 20);
    SetFocus(scrolling);
    type(digits.c_str());
    EXPECT_EQ(text_of(scrolling), digits);
}

TEST_F(EditTest, TypingStopsAtTheTextLimit)
{
    struct Case {
        const char* name;
        bool set_limit;
        WPARAM limit_sent;
        size_t limit;
    };
    const Case cases[] = {
        {"a new field takes 32,767 characters", false, 0, 32767},
        {"EM_LIMITTEXT sets the limit", true, 5, 5},
        {"EM_LIMITTEXT 0 sets the largest limit of a single-line field", true, 0, 0x7FFFFFFE},
    };
    for (const Case& c : cases) {
        HWND hwnd = field(ES_AUTOHSCROLL);
        if (c.set_limit)
            SendMessageW(hwnd, EM_LIMITTEXT, c.limit_sent, 0);
        EXPECT_EQ(static_cast<size_t>(SendMessageW(hwnd, EM_GETLIMITTEXT, 0, 0)), c.limit) << c.name;
        const size_t start = std::min<size_t>(c.limit - 1, 32767);
        SetWindowTextW(hwnd, std::wstring(start, L'a').c_str());
        SetFocus(hwnd);
        key(VK_END);
        type(L"bc");
        EXPECT_EQ(static_cast<size_t>(GetWindowTextLengthW(hwnd)), std::min(c.limit, start + 2)) << c.name;
        SetWindowTextW(hwnd, std::wstring(c.limit == 5 ? 7 : 0, L'a').c_str());
        EXPECT_EQ(GetWindowTextLengthW(hwnd), c.limit == 5 ? 7 : 0) << c.name << ": the program's text is kept whole";
        DestroyWindow(hwnd);
    }
}

int extent_of(const wchar_t* text)
{
    HDC dc = GetDC(nullptr);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// The field's pixels: text, caret and selection as drawn now.
std::vector<COLORREF> field_pixels(HWND hwnd)
{
    kelvora::device::pump();
    RECT rc{};
    GetClientRect(hwnd, &rc);
    HDC dc = GetDC(hwnd);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(hwnd, dc);
    return pixels;
}

// Each edit measures only what it changes; the caret, the selection and the right-aligned text must
// stand where they stand when the same text is measured afresh.
TEST_F(EditTest, EditsPlaceTextCaretAndSelectionAsAFreshFieldDoes)
{
    HWND hwnd = field(ES_RIGHT | ES_AUTOHSCROLL, 200);
    SetFocus(hwnd);
    struct Step {
        const char* name;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"typing at the end", [] { type(L"W1i"); }},
        {"typing at the start", [] { key(VK_HOME); type(L"mm"); }},
        {"a selection typed over with more", [] { key(VK_RIGHT); key(VK_RIGHT, false, true); type(L"WWi"); }},
        {"backspace in the middle", [] { type(L"\b"); }},
        {"delete at the start", [] { key(VK_HOME); key(VK_DELETE); }},
        {"a selection pasted over with less", [] {
             platform::set_clipboard_text(L".");
             key(VK_END);
             key(VK_LEFT, false, true);
             key(VK_LEFT, false, true);
             type(L"\x16");
         }},
        {"a selection kept", [] { key(VK_HOME); key(VK_RIGHT); key(VK_RIGHT, false, true); key(VK_RIGHT, false, true); }},
    };
    for (const Step& step : steps) {
        step.act();
        const std::vector<COLORREF> edited = field_pixels(hwnd);
        DWORD start = 0, end = 0;
        SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        const std::wstring text = text_of(hwnd);
        SetWindowTextW(hwnd, text.c_str());
        SendMessageW(hwnd, EM_SETSEL, start, static_cast<LPARAM>(end));
        EXPECT_EQ(edited, field_pixels(hwnd)) << step.name << ": \"" << testing::PrintToString(text) << "\"";
    }
}

size_t ink(const std::vector<COLORREF>& pixels)
{
    return static_cast<size_t>(std::count_if(pixels.begin(), pixels.end(), [](COLORREF p) { return p != RGB(255, 255, 255); }));
}

// A field paints only the part of its text that can show; what it leaves out must not change the
// picture, and what shows must be drawn whole (as much ink as DrawTextW gives the same characters).
TEST_F(EditTest, LongTextLooksLikeThePartThatShows)
{
    const std::wstring spaces(3000, L' '), zero_width(5000, L'\u202E');
    ASSERT_EQ(extent_of(L"\u202E"), 0) << "the cases below need a character without width";
    struct Case {
        const char* name;
        DWORD style;
        UINT key;
        std::wstring text;
        DWORD shown_style;
        std::wstring shown;
    };
    const Case cases[] = {
        {"scrolled to the end of a long text", ES_AUTOHSCROLL, VK_END, spaces + L"end", ES_RIGHT, L"end"},
        {"the start of a long text", ES_AUTOHSCROLL, VK_HOME, L"end" + spaces, 0, L"end"},
        {"a long run without width between two letters", 0, VK_END, L"a" + zero_width + L"b", 0, L"ab"},
        {"the same run at the end, right-aligned", ES_RIGHT, VK_END, L"ab" + zero_width, ES_RIGHT, L"ab"},
    };
    HDC dc = GetDC(m_parent);
    for (const Case& c : cases) {
        std::vector<COLORREF> pictures[2];
        for (int k = 0; k < 2; ++k) {
            HWND hwnd = field(k == 0 ? c.style : c.shown_style, 100);
            SetWindowTextW(hwnd, (k == 0 ? c.text : c.shown).c_str());
            SetFocus(hwnd);
            key(c.key);
            SetFocus(m_parent); // no caret
            pictures[k] = field_pixels(hwnd);
            DestroyWindow(hwnd);
        }
        EXPECT_EQ(pictures[0], pictures[1]) << c.name;
        RECT area{0, 100, 100, 120};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawTextW(dc, c.shown.c_str(), -1, &area, DT_SINGLELINE | DT_NOPREFIX);
        std::vector<COLORREF> drawn;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                drawn.push_back(GetPixel(dc, x, y));
        EXPECT_EQ(ink(pictures[1]), ink(drawn)) << c.name << ": every character that shows is drawn";
    }
    ReleaseDC(m_parent, dc);
}

TEST_F(EditTest, ReadOnlyFieldIsDrawnGreyed)
{
    HWND hwnd = field();
    const COLORREF writable = pixel_at(hwnd, 90, 3);
    SendMessageW(hwnd, EM_SETREADONLY, TRUE, 0);
    const COLORREF greyed = pixel_at(hwnd, 90, 3);
    EXPECT_EQ(writable, RGB(255, 255, 255));
    EXPECT_NE(greyed, writable);
    EXPECT_NEAR(GetRValue(greyed), GetBValue(greyed), 8) << "grey, not a colour";
    EXPECT_NEAR(GetGValue(greyed), GetBValue(greyed), 8) << "grey, not a colour";
}

TEST_F(EditTest, SelectionAndClipboard)
{
    HWND hwnd = field(ES_AUTOHSCROLL);
    SetFocus(hwnd);
    type(L"hello");
    key(VK_HOME);
    key(VK_RIGHT, false, true);
    key(VK_RIGHT, false, true);
    DWORD start = 9, end = 9;
    SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 2u);
    type(L"\x03"); // Ctrl+C
    EXPECT_EQ(platform::clipboard_text(), L"he");
    key(VK_END);
    type(L"\x16"); // Ctrl+V
    EXPECT_EQ(text_of(hwnd), L"hellohe");
    type(L"\x01\x18"); // Ctrl+A, Ctrl+X
    EXPECT_EQ(text_of(hwnd), L"");
    EXPECT_EQ(platform::clipboard_text(), L"hellohe");
}

TEST_F(EditTest, StylusTapFocusesAndDragSelects)
{
    HWND hwnd = field(ES_AUTOHSCROLL, 150);
    SetDlgItemTextW(m_parent, kField, L"abcdefgh");
    tap_at(hwnd, 5, 8);
    EXPECT_EQ(GetFocus(), hwnd);
    const POINT from = on_screen(hwnd, 2, 8), to = on_screen(hwnd, 140, 8);
    kelvora::device::drag(from.x, from.y, to.x, to.y);
    kelvora::device::pump();
    const LRESULT sel = SendMessageW(hwnd, EM_GETSEL, 0, 0);
    EXPECT_EQ(LOWORD(sel), 0);
    EXPECT_EQ(HIWORD(sel), 8);
}

TEST_F(DeviceTest, GetDlgItemTextLimitCountsTheTerminatingZero)
{
    child(L"Edit", L"2.12345", WS_BORDER, 1001, 0, 0, 100, 20);
    struct Case {
        int limit;
        const wchar_t* expected;
        UINT length;
    };
    for (const Case& c : {Case{6, L"2.123", 5}, Case{1, L"", 0}, Case{256, L"2.12345", 7}}) {
        wchar_t buffer[300];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        EXPECT_EQ(GetDlgItemTextW(m_parent, 1001, buffer, c.limit), c.length) << c.limit;
        EXPECT_STREQ(buffer, c.expected) << c.limit;
        EXPECT_EQ(buffer[c.limit], L'#') << "nothing written past the limit";
    }
    wchar_t buffer[8] = L"old";
    EXPECT_EQ(GetDlgItemTextW(m_parent, 4242, buffer, 8), 0u);
    EXPECT_STREQ(buffer, L"") << "a missing control still leaves a terminated buffer";
    wcscpy(buffer, L"old");
    EXPECT_EQ(GetDlgItemTextW(reinterpret_cast<HWND>(0x5150), 1001, buffer, 8), 0u);
    EXPECT_STREQ(buffer, L"") << "so does a made-up parent handle";
    EXPECT_EQ(GetDlgItemTextW(m_parent, 1001, nullptr, 8), 0u);
}

TEST_F(DeviceTest, GetDlgItemIntReadsOnlyWholeNumbers)
{
    child(L"Edit", L"", WS_BORDER, 322, 0, 0, 100, 20);
    struct Case {
        const wchar_t* text;
        BOOL is_signed;
        UINT value;
        BOOL translated;
    };
    const Case cases[] = {
        {L"", TRUE, 0, FALSE},          {L"abc", TRUE, 0, FALSE},        {L"-7", TRUE, static_cast<UINT>(-7), TRUE},
        {L"-7", FALSE, 0, FALSE},       {L" 42 ", FALSE, 42, TRUE},      {L"3x", TRUE, 0, FALSE},
        {L"2147483648", TRUE, 0, FALSE}, {L"4294967295", FALSE, 4294967295u, TRUE},
    };
    for (const Case& c : cases) {
        SetDlgItemTextW(m_parent, 322, c.text);
        BOOL translated = -1;
        EXPECT_EQ(GetDlgItemInt(m_parent, 322, &translated, c.is_signed), c.value) << testing::PrintToString(c.text);
        EXPECT_EQ(translated, c.translated) << testing::PrintToString(c.text);
    }
    EXPECT_EQ(GetDlgItemInt(m_parent, 999, nullptr, TRUE), 0u);
    SetDlgItemInt(m_parent, 322, static_cast<UINT>(-15), TRUE);
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(m_parent, 322, nullptr, TRUE)), -15);
}

TEST_F(DeviceTest, ButtonClicksOnlyOnReleaseInside)
{
    HWND button = child(L"Button", L"Enter", BS_PUSHBUTTON, 303, 10, 10, 60, 20);
    auto clicks = [] {
        int n = 0;
        for (const Notification& note : notifications())
            n += note.id == 303 && note.code == BN_CLICKED;
        return n;
    };
    tap_at(button, 30, 10);
    EXPECT_EQ(clicks(), 1);
    const POINT inside = on_screen(button, 30, 10), outside = on_screen(button, 100, 50);
    kelvora::device::press(inside.x, inside.y);
    kelvora::device::pump();
    EXPECT_EQ(pixel_at(button, 30, 3), RGB(0, 0, 0)) << "drawn pressed while the stylus is down inside";
    kelvora::device::move(outside.x, outside.y);
    kelvora::device::release(outside.x, outside.y);
    kelvora::device::pump();
    EXPECT_EQ(clicks(), 1) << "released outside: no click";
    SetFocus(button);
    type(L" ");
    EXPECT_EQ(clicks(), 2) << "Space clicks the focused button";
}

TEST_F(DeviceTest, DefaultButtonHasTheThickerFrame)
{
    HWND plain = child(L"Button", L"A", BS_PUSHBUTTON, 1, 10, 10, 60, 20);
    HWND def = child(L"Button", L"B", BS_DEFPUSHBUTTON, 2, 10, 40, 60, 20);
    EXPECT_EQ(pixel_at(plain, 0, 10), RGB(0, 0, 0));
    EXPECT_EQ(pixel_at(plain, 1, 10), RGB(255, 255, 255));
    EXPECT_EQ(pixel_at(def, 1, 10), RGB(0, 0, 0));
    SendMessageW(def, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(pixel_at(def, 1, 10), RGB(255, 255, 255));
}

class ListTest : public DeviceTest {
protected:
    HWND list(int height)
    {
        HWND hwnd = child(L"LISTBOX", nullptr, LBS_STANDARD, 340, 20, 20, 200, height);
        for (int i = 0; i < 16; ++i) {
            const std::wstring text = L"Y=" + std::wstring(1, static_cast<wchar_t>(L'P' - i));
            SendMessageW(hwnd, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(text.c_str()));
        }
        notifications().clear();
        return hwnd;
    }
    static std::wstring item(HWND hwnd, int index)
    {
        wchar_t buffer[64] = {};
        SendMessageW(hwnd, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
};

TEST_F(ListTest, InsertKeepsTheGivenOrderDespiteSortStyle)
{
    HWND hwnd = list(100);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCOUNT, 0, 0), 16);
    EXPECT_EQ(item(hwnd, 0), L"Y=P");
    EXPECT_EQ(item(hwnd, 15), L"Y=A");
    EXPECT_EQ(SendMessageW(hwnd, LB_GETTEXTLEN, 15, 0), 3);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETTEXT, 16, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), LB_ERR);
    SendMessageW(hwnd, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(ListTest, SetCurSelScrollsTheItemIntoView)
{
    HWND hwnd = list(100);
    const int rows = 100 / static_cast<int>(SendMessageW(hwnd, LB_GETITEMHEIGHT, 0, 0));
    for (int wanted : {15, 0, 8}) {
        EXPECT_EQ(SendMessageW(hwnd, LB_SETCURSEL, wanted, 0), wanted);
        const int top = static_cast<int>(SendMessageW(hwnd, LB_GETTOPINDEX, 0, 0));
        EXPECT_LE(top, wanted);
        EXPECT_GT(top + rows, wanted);
        EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), wanted);
    }
}

TEST_F(ListTest, TapsKeysAndScrollBarMoveTheSelection)
{
    HWND hwnd = list(100);
    const int height = static_cast<int>(SendMessageW(hwnd, LB_GETITEMHEIGHT, 0, 0));
    tap_at(hwnd, 20, height * 2 + 3);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), 2);
    ASSERT_FALSE(notifications().empty());
    EXPECT_EQ(notifications().back().code, LBN_SELCHANGE);
    key(VK_DOWN);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), 3);
    key(VK_UP);
    key(VK_UP);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), 1);
    RECT rc{};
    GetClientRect(hwnd, &rc);
    tap_at(hwnd, rc.right - 3, rc.bottom - 3); // the scroll bar's down arrow
    EXPECT_EQ(SendMessageW(hwnd, LB_GETTOPINDEX, 0, 0), 1);
    tap_at(hwnd, rc.right - 3, 3); // up arrow
    EXPECT_EQ(SendMessageW(hwnd, LB_GETTOPINDEX, 0, 0), 0);
    tap_at(hwnd, rc.right - 3, rc.bottom - 20); // the track below the thumb: a page down
    EXPECT_GT(SendMessageW(hwnd, LB_GETTOPINDEX, 0, 0), 1);
}

TEST_F(ListTest, ScrollBarIsDrawnOnlyWhenItemsDoNotFit)
{
    HWND tall = list(300);
    HWND short_list = child(L"LISTBOX", nullptr, LBS_STANDARD, 341, 20, 20, 200, 60);
    for (int i = 0; i < 16; ++i)
        SendMessageW(short_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
    DestroyWindow(tall);
    RECT rc{};
    GetClientRect(short_list, &rc);
    EXPECT_NE(pixel_at(short_list, rc.right - 2, rc.bottom / 2), RGB(255, 255, 255));
}

TEST_F(DeviceTest, StaticImagesAreSwappedAndReturned)
{
    HWND icon_static = child(L"Static", L"", SS_ICON | SS_REALSIZEIMAGE, 201, 10, 10, 32, 32);
    HICON first = LoadIconW(nullptr, MAKEINTRESOURCEW(101));
    EXPECT_EQ(SendMessageW(icon_static, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(first)), 0);
    EXPECT_EQ(SendMessageW(icon_static, STM_GETIMAGE, IMAGE_ICON, 0), reinterpret_cast<LRESULT>(first));
    EXPECT_EQ(SendMessageW(icon_static, STM_SETIMAGE, IMAGE_ICON, 0), reinterpret_cast<LRESULT>(first));
    EXPECT_EQ(SendMessageW(icon_static, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
}

TEST_F(DeviceTest, IconStaticTakesTheIconsSizeUnlessItCentresTheImage)
{
    // The demo icon is 32 x 32; the control is asked for 30 x 30 at creation, by a move, by a new icon.
    struct Case {
        DWORD style;
        int width, height;
    } const cases[] = {{SS_ICON | SS_REALSIZEIMAGE, 32, 32}, {SS_ICON | SS_CENTERIMAGE, 30, 30}};
    for (const Case& c : cases) {
        HWND icon_static = CreateWindowExW(0, L"Static", L"#101", WS_CHILD | WS_VISIBLE | c.style, 10, 10, 30, 30,
                                           m_parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(SendMessageW(icon_static, STM_GETIMAGE, IMAGE_ICON, 0), 0);
        for (int step = 0; step < 3; ++step) {
            if (step == 1)
                MoveWindow(icon_static, 12, 14, 30, 30, TRUE);
            if (step == 2)
                SendMessageW(icon_static, STM_SETIMAGE, IMAGE_ICON,
                             reinterpret_cast<LPARAM>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101))));
            RECT r{};
            GetWindowRect(icon_static, &r);
            EXPECT_EQ(r.right - r.left, c.width) << c.style << " step " << step;
            EXPECT_EQ(r.bottom - r.top, c.height) << c.style << " step " << step;
        }
        DestroyWindow(icon_static);
    }
}

TEST_F(DeviceTest, ListShowsWholeRowsUnlessAskedNotTo)
{
    // Rows are the font's 13 pixels plus 2; the standard list has a one-pixel border.
    struct Case {
        DWORD style;
        int asked, expected, expected_a_row_taller;
    } const cases[] = {
        {LBS_STANDARD, 100, 92, 107},   // 98 of client: six rows (90) and the border
        {LBS_STANDARD, 92, 92, 107},    // already whole rows
        {LBS_STANDARD, 12, 12, 17},     // less than one row: kept; 25 of client: one row
        {LBS_STANDARD | LBS_NOINTEGRALHEIGHT, 100, 100, 115},
        {WS_VSCROLL | LBS_NOTIFY, 100, 90, 105}, // no border: 100 of client
    };
    for (const Case& c : cases) {
        HWND list = child(L"LISTBOX", nullptr, c.style, 342, 20, 20, 150, c.asked);
        ASSERT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 15);
        RECT r{};
        GetWindowRect(list, &r);
        EXPECT_EQ(r.bottom - r.top, c.expected) << c.asked;
        EXPECT_EQ(r.right - r.left, 150);
        MoveWindow(list, 10, 10, 150, c.asked + 15, TRUE);
        GetWindowRect(list, &r);
        EXPECT_EQ(r.bottom - r.top, c.expected_a_row_taller) << c.asked;
        DestroyWindow(list);
    }
}

TEST_F(DeviceTest, StaticTextWrapsAndShowsTheParentBackground)
{
    HWND label = child(L"Static", L"one two three four five six", SS_LEFT, 202, 10, 10, 60, 40);
    bool ink_on_second_line = false;
    for (int x = 0; x < 60; ++x)
        ink_on_second_line |= pixel_at(label, x, 13 + 6) != RGB(255, 255, 255);
    EXPECT_TRUE(ink_on_second_line) << "the text wraps onto a second line";
    EXPECT_EQ(pixel_at(label, 59, 39), RGB(255, 255, 255));
    wchar_t buffer[8];
    EXPECT_EQ(GetDlgItemTextW(m_parent, 202, buffer, 4), 3u);
    EXPECT_STREQ(buffer, L"one");
}

// A static shows "&N" as N and "&&" as one ampersand, unless SS_NOPREFIX asks for the text as written.
TEST_F(DeviceTest, StaticTextHidesMnemonicPrefixesUnlessAskedNotTo)
{
    auto same_ink = [&](HWND a, HWND b) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 80; ++x)
                if (pixel_at(a, x, y) != pixel_at(b, x, y))
                    return false;
        return true;
    };
    HWND plain = child(L"Static", L"Name & co", SS_LEFT | SS_NOPREFIX, 203, 10, 10, 80, 16);
    HWND prefixed = child(L"Static", L"&Name && co", SS_LEFT, 204, 10, 30, 80, 16);
    HWND as_written = child(L"Static", L"&Name && co", SS_LEFT | SS_NOPREFIX, 205, 10, 50, 80, 16);
    EXPECT_TRUE(same_ink(plain, prefixed));
    EXPECT_FALSE(same_ink(plain, as_written));
}

} // namespace
