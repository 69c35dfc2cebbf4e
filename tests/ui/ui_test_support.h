// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the program's end-to-end tests: the real program started on a fresh headless device,
// stylus and keys aimed at its controls, and answers queued for the modal loops it opens.
#pragma once
#include <kelvora_device.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "app_state.h"
#include "resource.h"

// The navigation bar: client y of a full-screen window plus this is its screen y.
constexpr int kNavBarHeight = 26;

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND mainWindow() const { return g_app.ui.mainWindow; }
    HWND control(int id) const { return GetDlgItem(mainWindow(), id); }
    std::wstring text(int id) const;
    std::wstring windowText(HWND hwnd) const;

    // Stylus and keys, each followed by delivering everything due.
    void tapWindow(HWND hwnd);           // the centre of a window
    void tapControl(int id) { tapWindow(control(id)); }
    void key(UINT vk, bool ctrl = false);
    void type(const std::wstring& text);
    // Replaces the whole text of a field the way a user does: tap, select it all, type over it.
    void retype(int id, const std::wstring& text);
    // A count of points typed into the count field, then X and Y of every point stored with Enter.
    void enterPoints(const std::vector<std::pair<double, double>>& points);

    // Screen pixel at client coordinates of a window.
    COLORREF clientPixel(HWND hwnd, int x, int y) const;
    // Pixels of a client-area box (right and bottom excluded) for which `wanted` holds.
    int countPixels(HWND hwnd, RECT box, const std::function<bool(COLORREF)>& wanted) const;
    int countColour(HWND hwnd, RECT box, COLORREF colour) const
    {
        return countPixels(hwnd, box, [colour](COLORREF c) { return c == colour; });
    }
    // Taps a button of the main window and returns the top-level window it opened, checking its title.
    HWND openWith(int buttonId, const std::wstring& title);

    // Work to do inside the next modal loops, one step each time the program waits for input.
    void whenWaiting(std::function<void()> step) { m_steps.push_back(std::move(step)); }

    std::deque<std::function<void()>> m_steps;
};

// The top-level window in front (menu bars excluded).
HWND frontWindow();
int topLevelCount();

// Texts a person types into a field that holds one number (the main window's X and Y, the exponent),
// and the number each stands for; read false: not a number, the field's old value stays.
struct TypedNumberCase {
    const char* name;
    const wchar_t* typed;
    bool read;
    double value;
};

inline constexpr TypedNumberCase kTypedNumbers[] = {
    {"DecimalComma", L"1,5", true, 1.5},
    {"DecimalCommaWithSpaceAround", L" 1,5 ", true, 1.5},
    {"DecimalPoint", L"1.5", true, 1.5},
    {"NegativeCommaWithExponent", L"-2,5e3", true, -2500},
    {"NumberRunIntoLetters", L"2x", false, 0},
    {"TwoCommas", L"1,5,3", false, 0},
    {"TwoPoints", L"1.5.2", false, 0},
    {"Empty", L"", false, 0},
    {"Letters", L"abc", false, 0},
};

// Test names of a table of TypedNumberCase.
inline std::string typedNumberName(const ::testing::TestParamInfo<TypedNumberCase>& info)
{
    return info.param.name;
}
