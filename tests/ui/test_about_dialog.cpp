// SPDX-License-Identifier: GPL-3.0-or-later
// The About box and the relayout of a running dialog from another template.
#include "ui_test_support.h"

#include "about_dialog.h"
#include "dialog_relayout.h"

namespace device = kelvora::device;

namespace {

RECT controlRect(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    OffsetRect(&r, -origin.x, -origin.y);
    return r;
}

RECT dialogUnits(HWND dialog, int x, int y, int width, int height)
{
    RECT r{x, y, x + width, y + height};
    MapDialogRect(dialog, &r);
    return r;
}

void expectRect(const RECT& actual, const RECT& expected, const char* what)
{
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

HWND openModelessAbout()
{
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_ABOUT_PORTRAIT), RT_DIALOG);
    HGLOBAL data = LoadResource(nullptr, resource);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)data, g_app.ui.mainWindow,
                                      AboutDialog, 0);
}

} // namespace

TEST_F(ProgramTest, AboutBoxFillsTheScreenAndFollowsItsOrientation)
{
    RECT portraitName{}, landscapeName{}, portraitAgain{}, window{}, portraitIcon{}, landscapeIcon{};
    bool okButton = false;
    whenWaiting([&] {
        HWND about = frontWindow();
        GetWindowRect(about, &window);
        okButton = (GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) != 0;
        portraitName = controlRect(about, IDC_ABOUT_NAME);
        portraitIcon = controlRect(about, IDC_ABOUT_ICON);
        device::rotate();
    });
    whenWaiting([&] {
        landscapeName = controlRect(frontWindow(), IDC_ABOUT_NAME);
        landscapeIcon = controlRect(frontWindow(), IDC_ABOUT_ICON);
        device::rotate();
    });
    whenWaiting([&] {
        portraitAgain = controlRect(frontWindow(), IDC_ABOUT_NAME);
        device::tap(228, 13); // the "ok" of the navigation bar
    });
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);

    EXPECT_TRUE(okButton);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, kNavBarHeight);
    EXPECT_EQ(window.right, 240);
    // Name line below the icon in portrait (21, 39 units), right of it in landscape (48, 12 units).
    EXPECT_EQ(portraitName.left, MulDiv(21, 6, 4));
    EXPECT_EQ(portraitName.top, MulDiv(39, 13, 8));
    EXPECT_EQ(landscapeName.left, MulDiv(48, 6, 4));
    EXPECT_EQ(landscapeName.top, MulDiv(12, 13, 8));
    expectRect(portraitAgain, portraitName, "back to portrait");
    // The icon control stands at (12, 12) units and takes the 32 x 32 pixels of the icon, not 20 x 20 units.
    const RECT icon{18, 20, 18 + 32, 20 + 32};
    expectRect(portraitIcon, icon, "portrait icon");
    expectRect(landscapeIcon, icon, "landscape icon");
    EXPECT_EQ(topLevelCount(), 1);
}

class RelayoutTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        m_about = openModelessAbout();
        ASSERT_NE(m_about, nullptr);
        device::pump();
    }
    void TearDown() override
    {
        DestroyWindow(m_about);
        ProgramTest::TearDown();
    }
    bool relayout(int templateId) { return relayoutDialog(GetModuleHandleW(nullptr), m_about, templateId); }
    HWND m_about = nullptr;
};

TEST_F(RelayoutTest, SameTemplateKeepsPlacesAndSetsTextsAndIconAgain)
{
    RECT name = controlRect(m_about, IDC_ABOUT_NAME);
    SetDlgItemTextW(m_about, IDC_ABOUT_NAME, L"changed");
    EXPECT_TRUE(relayout(IDD_ABOUT_PORTRAIT));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), name, "name line");
    EXPECT_EQ(windowText(GetDlgItem(m_about, IDC_ABOUT_NAME)), L"Kelvora Version 1.0");
    HICON after = (HICON)SendDlgItemMessageW(m_about, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0);
    EXPECT_EQ(after, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KELVORA)));
}

TEST_F(RelayoutTest, LandscapeTemplateMovesEveryControl)
{
    EXPECT_TRUE(relayout(IDD_ABOUT_LANDSCAPE));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), dialogUnits(m_about, 48, 12, 113, 8), "name");
    expectRect(controlRect(m_about, IDC_ABOUT_MAKER), dialogUnits(m_about, 48, 24, 111, 8), "maker");
    expectRect(controlRect(m_about, 0xFFFF), dialogUnits(m_about, 61, 79, 86, 8), "no-id line");
}

TEST_F(RelayoutTest, TemplateWithoutItemsSucceedsAndMovesNothing)
{
    RECT name = controlRect(m_about, IDC_ABOUT_NAME);
    EXPECT_TRUE(relayout(900));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), name, "name");
}

TEST_F(RelayoutTest, MissingTemplateFailsWithoutTouchingTheDialog)
{
    RECT name = controlRect(m_about, IDC_ABOUT_NAME);
    EXPECT_FALSE(relayout(999));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), name, "name");
}

TEST_F(RelayoutTest, TwoItemsWithoutIdFailButAreStillProcessed)
{
    EXPECT_FALSE(relayout(901));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), dialogUnits(m_about, 40, 40, 50, 8), "first");
    EXPECT_EQ(windowText(GetDlgItem(m_about, IDC_ABOUT_NAME)), L"first");
}

TEST_F(RelayoutTest, MissingControlEndsTheWalkAfterMovingTheOnesBefore)
{
    RECT maker = controlRect(m_about, IDC_ABOUT_MAKER);
    EXPECT_FALSE(relayout(902));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), dialogUnits(m_about, 30, 30, 50, 8), "moved");
    expectRect(controlRect(m_about, IDC_ABOUT_MAKER), maker, "after the missing one");
}

TEST_F(RelayoutTest, CreationDataIsSkippedToTheNextAlignedItem)
{
    EXPECT_TRUE(relayout(903));
    expectRect(controlRect(m_about, IDC_ABOUT_NAME), dialogUnits(m_about, 5, 5, 50, 8), "with data");
    expectRect(controlRect(m_about, IDC_ABOUT_MAKER), dialogUnits(m_about, 15, 25, 50, 8), "after it");
}
