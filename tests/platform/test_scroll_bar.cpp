// SPDX-License-Identifier: GPL-3.0-or-later
// The window manager's vertical scroll bar: SetScrollInfo's ranges and the client area it takes, the
// WM_VSCROLL codes the stylus makes on it, its pixels, and ScrollWindowEx moving the children.
#include "platform_test_support.h"

#include <algorithm>

namespace device = kelvora::device;

namespace {

constexpr int kBarLeft = 240 - 13; // a window covering the work area: x 0..240, y 26..320

SCROLLINFO info(UINT mask, int min, int max, UINT page, int pos)
{
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = mask;
    si.nMin = min;
    si.nMax = max;
    si.nPage = page;
    si.nPos = pos;
    return si;
}

int clientWidth(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return r.right;
}

// The WM_VSCROLL codes the window got, with the position for the thumb's codes.
std::vector<std::pair<int, int>> scrollCodes(HWND hwnd)
{
    std::vector<std::pair<int, int>> codes;
    for (const auto& m : logged(WM_VSCROLL, hwnd))
        codes.emplace_back(LOWORD(m.wParam), HIWORD(m.wParam));
    return codes;
}

} // namespace

TEST_F(PlatformTest, SetScrollInfoKeepsPageAndPositionInTheRangeAndShowsTheBarOnlyWhenItIsNeeded)
{
    struct Case {
        int min, max;
        UINT page;
        int pos;
        UINT wantPage;
        int wantPos;
        bool shown;
    };
    const Case cases[] = {
        {0, 199, 100, 50, 100, 50, true},
        {0, 199, 100, 150, 100, 100, true},  // the last page starts at 100
        {0, 199, 100, -5, 100, 0, true},
        {0, 199, 300, 150, 200, 0, false},   // page larger than the range: clamped, nothing to scroll
        {0, 199, 200, 10, 200, 0, false},
        {10, 20, 5, 0, 5, 10, true},         // positions start at the range's start
        {0, 199, 0, 500, 0, 199, false},     // no page: the bar has no part in view to show
    };
    HWND w = top_level(WS_VISIBLE | WS_VSCROLL);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pos);
        SCROLLINFO si = info(SIF_RANGE | SIF_PAGE | SIF_POS, c.min, c.max, c.page, c.pos);
        EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), c.wantPos);
        SCROLLINFO got = info(SIF_ALL, -1, -1, 7, -1);
        ASSERT_TRUE(GetScrollInfo(w, SB_VERT, &got));
        EXPECT_EQ(got.nMin, c.min);
        EXPECT_EQ(got.nMax, c.max);
        EXPECT_EQ(got.nPage, c.wantPage);
        EXPECT_EQ(got.nPos, c.wantPos);
        EXPECT_EQ(GetScrollPos(w, SB_VERT), c.wantPos);
        EXPECT_EQ(clientWidth(w), c.shown ? kBarLeft : 240);
    }
}

TEST_F(PlatformTest, ShowingOrHidingTheBarTellsTheWindowItsNewClientSize)
{
    HWND w = top_level(WS_VISIBLE | WS_VSCROLL);
    device::pump();
    message_log().clear();
    SCROLLINFO si = info(SIF_RANGE | SIF_PAGE, 0, 399, 294, 0);
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    ASSERT_EQ(count_logged(WM_SIZE, w), 1);
    EXPECT_EQ(LOWORD(logged(WM_SIZE, w)[0].lParam), kBarLeft);
    SetScrollInfo(w, SB_VERT, &si, TRUE); // no change of the bar: no WM_SIZE
    EXPECT_EQ(count_logged(WM_SIZE, w), 1);
    si.nMax = 99;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    ASSERT_EQ(count_logged(WM_SIZE, w), 2);
    EXPECT_EQ(LOWORD(logged(WM_SIZE, w)[1].lParam), 240);
}

TEST_F(PlatformTest, AWindowWithoutWsVscrollOrAStaleHandleHasNoBar)
{
    HWND plain = top_level(WS_VISIBLE);
    SCROLLINFO si = info(SIF_RANGE | SIF_PAGE, 0, 399, 100, 0);
    SetScrollInfo(plain, SB_VERT, &si, TRUE);
    EXPECT_EQ(clientWidth(plain), 240);
    SCROLLINFO got = info(SIF_ALL, 0, 0, 0, 0);
    EXPECT_FALSE(GetScrollInfo(plain, SB_VERT, &got));
    HWND gone = top_level(WS_VISIBLE | WS_VSCROLL);
    DestroyWindow(gone);
    EXPECT_EQ(SetScrollInfo(gone, SB_VERT, &si, TRUE), 0);
    EXPECT_FALSE(GetScrollInfo(gone, SB_VERT, &got));
    EXPECT_EQ(SetScrollInfo(plain, SB_VERT, nullptr, TRUE), 0);
    EXPECT_EQ(ScrollWindowEx(gone, 0, 10, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE), 0);
}

TEST_F(PlatformTest, TheStylusOnTheBarSendsTheScrollCodesAndNothingToTheClientArea)
{
    // Range 0..199, page 100 at 0: arrows y 26..39 and 307..320, thumb y 39..173 on a track to 307.
    struct Case {
        const char* name;
        POINT from, to;
        std::vector<std::pair<int, int>> codes;
    };
    const Case cases[] = {
        {"up arrow", {233, 30}, {233, 30}, {{SB_LINEUP, 0}, {SB_ENDSCROLL, 0}}},
        {"down arrow", {233, 314}, {233, 314}, {{SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}},
        {"below the thumb", {233, 250}, {233, 250}, {{SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}}},
        {"thumb to the end", {233, 100}, {233, 400},
         {{SB_THUMBTRACK, 100}, {SB_THUMBPOSITION, 100}, {SB_ENDSCROLL, 0}}},
        {"thumb not moved", {233, 100}, {233, 100}, {{SB_THUMBPOSITION, 0}, {SB_ENDSCROLL, 0}}},
    };
    HWND w = top_level(WS_VISIBLE | WS_VSCROLL);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SCROLLINFO si = info(SIF_RANGE | SIF_PAGE | SIF_POS, 0, 199, 100, 0);
        SetScrollInfo(w, SB_VERT, &si, TRUE);
        device::pump();
        message_log().clear();
        device::drag(c.from.x, c.from.y, c.to.x, c.to.y);
        device::pump();
        // A drag tracks on the way (SB_THUMBTRACK at growing positions) before the codes it ends with.
        std::vector<std::pair<int, int>> got = scrollCodes(w);
        ASSERT_GE(got.size(), c.codes.size());
        EXPECT_TRUE(std::equal(c.codes.begin(), c.codes.end(), got.end() - c.codes.size()));
        for (size_t i = 0; i + c.codes.size() < got.size(); i++) {
            EXPECT_EQ(got[i].first, SB_THUMBTRACK);
            EXPECT_LT(got[i].second, 100);
        }
        EXPECT_EQ(count_logged(WM_LBUTTONDOWN, w) + count_logged(WM_LBUTTONUP, w), 0);
    }
    // The window did not move its position: the bar shows what the program sets, not what the stylus did.
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 0);
}

TEST_F(PlatformTest, TheBarIsDrawnBesideTheClientAreaAndGoesWhenNotNeeded)
{
    HWND w = top_level(WS_VISIBLE | WS_VSCROLL);
    SCROLLINFO si = info(SIF_RANGE | SIF_PAGE | SIF_POS, 0, 199, 100, 100);
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    device::pump();
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(screen(233, 250), shadow); // the thumb, at the end of the track
    EXPECT_EQ(screen(233, 100), face);   // the track above it
    EXPECT_EQ(screen(kBarLeft, 200), GetSysColor(COLOR_WINDOWTEXT)); // the thumb's frame
    si.nMax = 50;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    device::pump();
    EXPECT_EQ(screen(233, 250), RGB(255, 255, 255)); // the window's own background again
}

TEST_F(PlatformTest, ScrollWindowExMovesTheChildrenWithTheContents)
{
    HWND w = top_level(WS_VISIBLE | WS_VSCROLL);
    HWND c = child(w, 7, RECT{10, 50, 60, 70});
    device::pump();
    EXPECT_EQ(ScrollWindowEx(w, 0, -30, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE), 2);
    RECT r{};
    GetWindowRect(c, &r);
    EXPECT_EQ(r.top, 26 + 20);
    EXPECT_EQ(r.left, 10);
    ScrollWindowEx(w, 0, 30, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE); // contents only
    GetWindowRect(c, &r);
    EXPECT_EQ(r.top, 26 + 20);
}
