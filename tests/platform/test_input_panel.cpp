// SPDX-License-Identifier: GPL-3.0-or-later
// The input panel: its keys typing into the focused control, raising and lowering it, the windows that
// follow it, the shell calls that ask for it, and the stylus on and around it.
#include "device/device.h"
#include "platform_test_support.h"

#include <aygshell.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace device = kelvora::device;

// Rectangles compared and printed whole, so a failure shows all four edges.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
static void PrintTo(const RECT& r, std::ostream* out) { *out << r.left << "," << r.top << "," << r.right << "," << r.bottom; }

namespace {

// Where the keys are, written from the layouts themselves: centres of the character keys and of the others.
struct KeyRow {
    const wchar_t* keys;
    int x0, step, y;
};
struct Keyboard {
    std::vector<KeyRow> rows;
    std::map<UINT, POINT> others;
};

const Keyboard& portrait_keys()
{
    static const Keyboard k{{{L"1234567890-+", 10, 20, 222}, {L"qwertyuiop", 10, 20, 238},
                             {L"asdfghjkl", 20, 20, 254}, {L"zxcvbnm.", 50, 20, 270}},
                            {{VK_BACK, {220, 238}}, {VK_RETURN, {215, 254}}, {VK_SHIFT, {20, 270}},
                             {VK_TAB, {20, 286}}, {VK_SPACE, {100, 286}}, {VK_LEFT, {170, 286}},
                             {VK_UP, {190, 286}}, {VK_DOWN, {210, 286}}, {VK_RIGHT, {230, 286}}}};
    return k;
}

const Keyboard& landscape_keys()
{
    static const Keyboard k{{{L"qwertyuiop", 8, 16, 176}, {L"789-+", 216, 16, 176}, {L"asdfghjkl", 16, 16, 191},
                             {L"456.", 216, 16, 191}, {L"zxcvbnm", 40, 16, 206}, {L"1230", 216, 16, 206}},
                            {{VK_BACK, {184, 176}}, {VK_RETURN, {180, 191}}, {VK_SHIFT, {16, 206}},
                             {VK_TAB, {304, 176}}, {VK_SPACE, {176, 206}}, {VK_LEFT, {280, 206}},
                             {VK_UP, {296, 191}}, {VK_DOWN, {296, 206}}, {VK_RIGHT, {312, 206}}}};
    return k;
}

const Keyboard& keys_now() { return device::screen_width() < device::screen_height() ? portrait_keys() : landscape_keys(); }

POINT char_key(wchar_t c)
{
    for (const KeyRow& row : keys_now().rows)
        for (int i = 0; row.keys[i]; ++i)
            if (row.keys[i] == c)
                return POINT{row.x0 + i * row.step, row.y};
    ADD_FAILURE() << "no key for " << static_cast<int>(c);
    return POINT{0, 0};
}

void tap_at(POINT p)
{
    device::tap(p.x, p.y);
    device::pump();
}
void tap_char(wchar_t c) { tap_at(char_key(c)); }
void tap_key(UINT vk) { tap_at(keys_now().others.at(vk)); }
void tap_panel_button() { tap_at(POINT{device::screen_width() / 2, device::screen_height() - 13}); }

RECT rect_of(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

std::wstring text_of(HWND hwnd)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

class InputPanelTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        // A frame window as the program makes it: an empty menu bar of its own, shortened by the bar's
        // height, and the shell's setting-change handling.
        set_hook([this](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT*) {
            if (msg == WM_SETTINGCHANGE && hwnd == m_frame)
                SHHandleWMSettingChange(hwnd, wp, lp, &m_activation);
            return false;
        });
        m_frame = top_level();
        SHMENUBARINFO bar{};
        bar.cbSize = sizeof bar;
        bar.hwndParent = m_frame;
        bar.dwFlags = SHCMBF_EMPTYBAR;
        ASSERT_TRUE(SHCreateMenuBar(&bar));
        MoveWindow(m_frame, 0, 26, 240, 320 - 26 - 26, FALSE);
        m_edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 20,
                                 m_frame, nullptr, nullptr, nullptr);
        SetFocus(m_edit);
        device::pump();
    }

    HWND m_frame = nullptr;
    HWND m_edit = nullptr;
    SHACTIVATEINFO m_activation{};
};

class PanelLayoutTest : public InputPanelTest, public ::testing::WithParamInterface<bool> {};

} // namespace

TEST_P(PanelLayoutTest, EveryKeyTypesItsCharacterIntoTheFocusedField)
{
    if (GetParam()) {
        device::rotate();
        device::pump();
    }
    tap_panel_button();
    ASSERT_TRUE(device::input_panel());
    const std::wstring all = L"0123456789.-+abcdefghijklmnopqrstuvwxyz";
    for (wchar_t c : all)
        tap_char(c);
    tap_key(VK_SPACE);
    tap_char(L'e');
    tap_key(VK_BACK);
    EXPECT_EQ(text_of(m_edit), all + L" ");
    // Left, then a character lands between "z" and the space.
    tap_key(VK_LEFT);
    tap_char(L'1');
    EXPECT_EQ(text_of(m_edit), all + L"1 ");
    // Panel taps and the host keyboard queued together arrive in the order they were made.
    for (wchar_t c : {L'a', L'b'})
        device::tap(char_key(c).x, char_key(c).y);
    device::type(L"c");
    device::pump();
    EXPECT_EQ(text_of(m_edit), all + L"1abc ");
}

// A user reads the labels: each character's ink sits in the middle of its key, not pushed to a side; digits,
// which have neither descenders nor a baseline mark, sit in the middle of its height too.
TEST_P(PanelLayoutTest, LabelsAreCentredOnTheirKeys)
{
    if (GetParam()) {
        device::rotate();
        device::pump();
    }
    tap_panel_button();
    platform::compose_screen();
    const platform::Surface& shot = platform::device().m_screen;
    for (const KeyRow& row : keys_now().rows) {
        for (int i = 0; row.keys[i]; ++i) {
            const wchar_t c = row.keys[i];
            const int cx = row.x0 + i * row.step, cy = row.y;
            int left = 1000, right = -1, top = 1000, bottom = -1;
            for (int y = cy - 6; y <= cy + 6; ++y)
                for (int x = cx - row.step / 2 + 2; x <= cx + row.step / 2 - 3; ++x)
                    if (((shot.row(y)[x] >> 8) & 0xFF) < 100) {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
            ASSERT_GE(right, left) << "no label on " << static_cast<char>(c);
            // Twice the offset of the ink's middle from the key's middle: a 1-pixel glyph asymmetry passes.
            EXPECT_LE(std::abs(left + right - 2 * cx), 3) << static_cast<char>(c);
            if (c >= L'0' && c <= L'9') {
                EXPECT_LE(std::abs(top + bottom - 2 * cy), 3) << static_cast<char>(c);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orientations, PanelLayoutTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Landscape" : "Portrait"; });

TEST_F(InputPanelTest, AKeyArrivesAsKeyDownCharacterKeyUpAndEnterGivesOneCharacter)
{
    HWND target = child(m_frame, 7, RECT{10, 40, 100, 60});
    SetFocus(target);
    tap_panel_button();
    message_log().clear();
    tap_char(L'5');
    tap_key(VK_RETURN);
    tap_key(VK_SPACE);
    std::vector<std::pair<UINT, WPARAM>> keys;
    for (const auto& m : message_log())
        if (m.hwnd == target && (m.msg == WM_KEYDOWN || m.msg == WM_CHAR || m.msg == WM_KEYUP))
            keys.emplace_back(m.msg, m.wParam);
    const std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_KEYDOWN, '5'}, {WM_CHAR, '5'}, {WM_KEYUP, '5'},           {WM_KEYDOWN, VK_RETURN},
        {WM_CHAR, 13},     {WM_KEYUP, VK_RETURN}, {WM_KEYDOWN, VK_SPACE}, {WM_CHAR, ' '},
        {WM_KEYUP, VK_SPACE}};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(GetFocus(), target); // taps on the panel leave the focus where it was
    EXPECT_EQ(count_logged(WM_LBUTTONDOWN), 0);
}

TEST_F(InputPanelTest, ShiftServesOneKeyAndSelectsWithAnArrow)
{
    tap_panel_button();
    tap_key(VK_SHIFT);
    tap_char(L'k');
    tap_char(L'k');
    EXPECT_EQ(text_of(m_edit), L"Kk");
    tap_key(VK_SHIFT); // Shift held around Left selects the last letter, which the next one replaces
    tap_key(VK_LEFT);
    tap_char(L'x');
    EXPECT_EQ(text_of(m_edit), L"Kx");
}

TEST_F(InputPanelTest, AKeyIsDrawnPressedWhileTheStylusIsOnItAndSlidingOffTakesItBack)
{
    tap_panel_button();
    const COLORREF pressed = RGB(0x0A, 0x3D, 0x8F);
    const POINT five = char_key(L'5'), six = char_key(L'6');
    const POINT face{five.x - 7, five.y + 5}; // inside the key, clear of its label
    device::press(five.x, five.y);
    device::pump();
    EXPECT_EQ(screen(face.x, face.y), pressed);
    device::move(six.x, six.y);
    device::pump();
    EXPECT_NE(screen(face.x, face.y), pressed);
    EXPECT_NE(screen(six.x - 7, six.y + 5), pressed);
    device::release(six.x, six.y);
    device::pump();
    EXPECT_EQ(text_of(m_edit), L"");
    EXPECT_TRUE(device::input_panel());
}

TEST_F(InputPanelTest, FillingWindowsFollowThePanelAndTheTurnOfTheScreen)
{
    HWND plain = top_level(WS_VISIBLE, L"Plain"); // ends at the screen's bottom; does not ask the shell
    const RECT below_bar{0, 26, 240, 294};
    message_log().clear();
    tap_panel_button();
    EXPECT_EQ(count_logged(WM_SETTINGCHANGE, m_frame), 1);
    EXPECT_EQ(count_logged(WM_SETTINGCHANGE, plain), 1);
    EXPECT_EQ(logged(WM_SETTINGCHANGE, plain)[0].wParam, static_cast<WPARAM>(SPI_SETSIPINFO));
    EXPECT_EQ(rect_of(m_frame), (RECT{0, 26, 240, 214}));
    EXPECT_EQ(rect_of(plain), (RECT{0, 26, 240, 320}));
    device::rotate();
    device::pump();
    RECT panel{};
    EXPECT_TRUE(device::input_panel(&panel));
    EXPECT_EQ(panel, (RECT{0, 169, 320, 214}));
    EXPECT_EQ(rect_of(m_frame), (RECT{0, 26, 320, 169}));
    device::rotate();
    device::pump();
    EXPECT_EQ(rect_of(m_frame), (RECT{0, 26, 240, 214}));
    tap_panel_button();
    EXPECT_FALSE(device::input_panel());
    EXPECT_EQ(rect_of(m_frame), below_bar); // back above the menu bar, not down to the screen's bottom
}

TEST_F(InputPanelTest, InfoTellsStateRectanglesAndRefusesWhatItCannotFill)
{
    struct Case {
        bool up;
        RECT visible;
    };
    for (const Case& c : {Case{false, {0, 26, 240, 320}}, Case{true, {0, 26, 240, 214}}}) {
        EXPECT_TRUE(SipShowIM(c.up ? SIPF_ON : SIPF_OFF));
        SIPINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(SipGetInfo(&info));
        EXPECT_EQ(info.fdwFlags & SIPF_ON, c.up ? DWORD{SIPF_ON} : DWORD{0});
        EXPECT_EQ(info.rcVisibleDesktop, c.visible);
        EXPECT_EQ(info.rcSipRect, (RECT{0, 214, 240, 294}));
    }
    SIPINFO info{};
    EXPECT_FALSE(SipGetInfo(&info)); // no size given
    info.cbSize = sizeof info;
    info.dwImDataSize = 4; // input-method data: there is none to give
    EXPECT_FALSE(SHSipInfo(SPI_GETSIPINFO, 0, &info, 0));
    EXPECT_FALSE(SipGetInfo(nullptr));
    info.dwImDataSize = 0;
    info.fdwFlags = SIPF_OFF;
    EXPECT_TRUE(SHSipInfo(SPI_SETSIPINFO, 0, &info, 0));
    EXPECT_FALSE(device::input_panel());
    EXPECT_FALSE(SHSipInfo(SPI_GETWORKAREA, 0, &info, 0));
}

TEST_F(InputPanelTest, PreferencesWaitForTheQueueSoADownThenUpDoesNotFlash)
{
    EXPECT_FALSE(SHSipPreference(reinterpret_cast<HWND>(0x5151), SIP_UP));
    EXPECT_TRUE(SHSipPreference(m_frame, SIP_UP));
    EXPECT_FALSE(device::input_panel()); // not yet: the request waits for the queue
    device::pump();
    EXPECT_TRUE(device::input_panel());
    message_log().clear();
    SHSipPreference(m_frame, SIP_DOWN);
    SHSipPreference(m_frame, SIP_UP);
    device::pump();
    SHSipPreference(m_frame, SIP_DOWN);
    SHSipPreference(m_frame, SIP_UNCHANGED);
    device::pump();
    EXPECT_TRUE(device::input_panel());
    EXPECT_EQ(count_logged(WM_SETTINGCHANGE), 0);
    SHSipPreference(m_frame, SIP_INPUTDIALOG); // the active window keeps it up against SIP_DOWN
    SHSipPreference(m_frame, SIP_DOWN);
    device::pump();
    EXPECT_TRUE(device::input_panel());
    SHSipPreference(m_frame, SIP_FORCEDOWN);
    EXPECT_FALSE(device::input_panel());
}

TEST_F(InputPanelTest, ThePanelButtonWorksBehindAMessageBoxWhichMovesAboveThePanel)
{
    RECT box{};
    device::set_idle_handler([&] {
        if (!device::input_panel()) {
            tap_panel_button();
            GetWindowRect(GetActiveWindow(), &box);
            device::key(VK_RETURN);
        }
        return true;
    });
    EXPECT_EQ(MessageBoxW(m_frame, L"Panel?", L"Box", MB_OK), IDOK);
    EXPECT_TRUE(device::input_panel());
    EXPECT_GE(box.top, 26);
    EXPECT_LE(box.bottom, 214);
    EXPECT_GT(box.bottom - box.top, 0);
}

TEST_F(PlatformTest, ABarMadeWithoutThePanelButtonLeavesThePanelAlone)
{
    HWND window = top_level();
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    bar.hwndParent = window;
    bar.dwFlags = SHCMBF_EMPTYBAR | SHCMBF_HIDESIPBUTTON;
    ASSERT_TRUE(SHCreateMenuBar(&bar));
    tap_panel_button();
    EXPECT_FALSE(device::input_panel());
}
