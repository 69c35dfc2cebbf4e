// SPDX-License-Identifier: GPL-3.0-or-later
// The model selection window and the exponent dialog of the power model.
#include "ui_test_support.h"

#include "models.h"

namespace device = kelvora::device;

class SelectionTest : public ProgramTest {
protected:
    HWND openSelection() { return openWith(IDC_FUNCTION, L"F(x):"); }
    HWND list(HWND selection) { return GetDlgItem(selection, IDC_MODEL_LIST); }
    void choose(HWND selection, int id)
    {
        SendMessageW(list(selection), LB_SETCURSEL, (WPARAM)id, 0);
    }
    // Confirms the selection with the exponent dialog answered by `answer` (run inside its loop).
    void confirmWithExponent(std::function<void(HWND dialog)> answer)
    {
        whenWaiting([answer] { answer(frontWindow()); });
        key(VK_F1);
    }
};

TEST_F(SelectionTest, ListsTheSixteenModelsInModelOrderWithTheCurrentOneSelected)
{
    g_app.modelId = 7;
    HWND selection = openSelection();
    HWND models = list(selection);
    ASSERT_EQ(SendMessageW(models, LB_GETCOUNT, 0, 0), MODEL_COUNT);
    for (int id = 0; id < MODEL_COUNT; id++) {
        WCHAR entry[64];
        SendMessageW(models, LB_GETTEXT, (WPARAM)id, (LPARAM)entry);
        EXPECT_STREQ(entry, modelText(id));
    }
    EXPECT_EQ(SendMessageW(models, LB_GETCURSEL, 0, 0), 7);
    RECT r;
    GetWindowRect(models, &r);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 20 + kNavBarHeight);
    EXPECT_EQ(r.right - r.left, 200);
    // Asked for 238 pixels, it keeps fifteen whole rows of 15 inside its one-pixel border.
    EXPECT_EQ(r.bottom - r.top, 227);
}

TEST_F(SelectionTest, OkStoresTheChosenModelWithoutTouchingTheExponent)
{
    HWND selection = openSelection();
    choose(selection, 4);
    key(VK_F1);
    EXPECT_EQ(g_app.modelId, 4);
    EXPECT_EQ(g_app.exponentN, 2.0);
    EXPECT_FALSE(IsWindow(selection));
    EXPECT_EQ(frontWindow(), mainWindow());
}

// The dialog reads its field as the main window reads X and Y; its whole text counts, not only the
// characters that fit the field's width.
struct ExponentCase {
    const char* name;
    std::wstring typed;
    double expected;
};

class ExponentDialogTest : public SelectionTest {
protected:
    // Confirms the power model with `typed` in the dialog's field; returns what the field showed first.
    std::wstring confirmTyped(const std::wstring& typed)
    {
        HWND selection = openSelection();
        choose(selection, MODEL_POWER_N);
        std::wstring shown;
        confirmWithExponent([&shown, &typed](HWND dialog) {
            WCHAR text[64];
            GetDlgItemTextW(dialog, IDC_EXPONENT_EDIT, text, 64);
            shown = text;
            SetDlgItemTextW(dialog, IDC_EXPONENT_EDIT, typed.c_str());
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_EXPONENT_OK, BN_CLICKED), 0);
        });
        EXPECT_EQ(g_app.modelId, MODEL_POWER_N);
        EXPECT_FALSE(IsWindow(selection));
        return shown;
    }
};

class TypedExponentTest : public ExponentDialogTest, public ::testing::WithParamInterface<TypedNumberCase> {};

TEST_P(TypedExponentTest, OkStoresAFieldOfOneNumberAndKeepsTheOldExponentForAnyOtherText)
{
    const TypedNumberCase& c = GetParam();
    EXPECT_EQ(confirmTyped(c.typed), L"2");
    EXPECT_EQ(g_app.exponentN, c.read ? c.value : 2);
}

INSTANTIATE_TEST_SUITE_P(Typed, TypedExponentTest, ::testing::ValuesIn(kTypedNumbers), typedNumberName);

TEST_F(ExponentDialogTest, EveryCharacterOfTheFieldCounts)
{
    const ExponentCase cases[] = {
        {"all decimals", L"2.12345", 2.12345},
        {"seven digits", L"1234567", 1234567},
        {"exponent past the fifth character", L" 1.5e-12", 1.5e-12},
        {"negative", L"-1", -1},
        // Cut to the buffer it would read as 1e254; the field is refused instead.
        {"a number longer than the text buffer", L"1" + std::wstring(TEXT_CAPACITY + 50, L'0'), 2},
    };
    for (const ExponentCase& c : cases) {
        g_app.exponentN = 2;
        confirmTyped(c.typed);
        EXPECT_EQ(g_app.exponentN, c.expected) << c.name;
    }
}

TEST_F(SelectionTest, CancelInTheExponentDialogKeepsThePowerModelAndTheOldExponent)
{
    HWND selection = openSelection();
    choose(selection, MODEL_POWER_N);
    confirmWithExponent([](HWND) { device::key(VK_ESCAPE); });
    EXPECT_EQ(g_app.modelId, MODEL_POWER_N);
    EXPECT_EQ(g_app.exponentN, 2.0);
    EXPECT_FALSE(IsWindow(selection));
}

// Confirming the field as shown keeps the exponent to the last bit.
TEST_F(SelectionTest, ExponentDialogConfirmedUntouchedKeepsTheExponent)
{
    struct Case {
        double exponent;
        const wchar_t* shown;
    };
    for (Case c : {Case{0.333333, L"0.333333"}, Case{1.0 / 3.0, L"0.3333333333333333"},
                   Case{-2.5e-300, L"-2.5e-300"}}) {
        g_app.modelId = MODEL_POWER_N;
        g_app.exponentN = c.exponent;
        openSelection();
        std::wstring shown;
        confirmWithExponent([&shown](HWND dialog) {
            WCHAR text[64];
            GetDlgItemTextW(dialog, IDC_EXPONENT_EDIT, text, 64);
            shown = text;
            device::key(VK_RETURN); // the default button, OK
        });
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(g_app.exponentN, c.exponent) << c.exponent;
    }
}

TEST_F(SelectionTest, RotationRelaysTheListToTheNewClientArea)
{
    HWND selection = openSelection();
    device::rotate();
    device::pump();
    RECT client;
    GetClientRect(selection, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 188);
    RECT r;
    GetWindowRect(list(selection), &r);
    EXPECT_EQ(r.right - r.left, 280);
    // Asked for 158, it keeps whole rows of 15 pixels inside its border: ten rows.
    EXPECT_EQ(r.bottom - r.top, 152);
}
