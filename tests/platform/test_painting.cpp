// SPDX-License-Identifier: GPL-3.0-or-later
// Painting: update regions, paint order, GDI primitives and text, checked on the pixels of the screen.
#include "platform_test_support.h"

using namespace kelvora;

namespace {

const COLORREF red = RGB(255, 0, 0);
const COLORREF blue = RGB(0, 0, 255);
const COLORREF white = RGB(255, 255, 255);
const COLORREF black = RGB(0, 0, 0);

// Paints the client area of every "LogWindow" with `paint` (a fresh DC from BeginPaint).
void paint_with(std::function<void(HWND, HDC)> paint)
{
    set_hook([paint](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m != WM_PAINT)
            return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        paint(h, dc);
        EndPaint(h, &ps);
        return true;
    });
}

// The client area's top-left corner on the screen of a default top-level window.
const int top = 26;

} // namespace

TEST_F(PlatformTest, OnePaintHoweverOftenInvalidated)
{
    HWND w = top_level();
    device::pump();
    message_log().clear();
    for (int i = 0; i < 5; ++i)
        InvalidateRect(w, nullptr, i % 2 == 0);
    RECT part{0, 0, 10, 10};
    InvalidateRect(w, &part, FALSE);
    device::pump();
    EXPECT_EQ(count_logged(WM_PAINT, w), 1);
    EXPECT_EQ(count_logged(WM_ERASEBKGND, w), 1);
    device::pump();
    EXPECT_EQ(count_logged(WM_PAINT, w), 1);
}

TEST_F(PlatformTest, EraseOnlyWhenAskedAndValidateRectCancelsThePaint)
{
    HWND w = top_level();
    device::pump();
    message_log().clear();
    InvalidateRect(w, nullptr, FALSE);
    device::pump();
    EXPECT_EQ(count_logged(WM_PAINT, w), 1);
    EXPECT_EQ(count_logged(WM_ERASEBKGND, w), 0);
    InvalidateRect(w, nullptr, TRUE);
    ValidateRect(w, nullptr);
    device::pump();
    EXPECT_EQ(count_logged(WM_PAINT, w), 1);
}

struct ClipCase {
    const char* name;
    DWORD parent_style;
    bool child_painted_again;
    COLORREF inside_child;
};

class ParentChildPaint : public PlatformTest, public ::testing::WithParamInterface<ClipCase> {};

// A parent without WS_CLIPCHILDREN paints over its children first, then they paint again on top; with
// WS_CLIPCHILDREN its paint leaves them untouched and they are not asked to paint.
TEST_P(ParentChildPaint, OrderAndPixels)
{
    const ClipCase& c = GetParam();
    HWND parent = top_level(WS_VISIBLE | c.parent_style);
    HWND kid = child(parent, 1, RECT{10, 10, 60, 60});
    paint_with([&](HWND h, HDC dc) {
        RECT r;
        GetClientRect(h, &r);
        HBRUSH b = CreateSolidBrush(h == parent ? red : blue);
        FillRect(dc, &r, b);
        DeleteObject(b);
    });
    device::pump();
    message_log().clear();
    InvalidateRect(parent, nullptr, TRUE);
    device::pump();
    auto paints = logged(WM_PAINT);
    ASSERT_FALSE(paints.empty());
    EXPECT_EQ(paints[0].hwnd, parent);
    EXPECT_EQ(count_logged(WM_PAINT, kid), c.child_painted_again ? 1 : 0);
    EXPECT_EQ(screen(30, top + 30), c.inside_child);
    EXPECT_EQ(screen(5, top + 5), red);
}

INSTANTIATE_TEST_SUITE_P(Clipping, ParentChildPaint,
                         ::testing::Values(ClipCase{"WithoutClipChildren", 0, true, blue},
                                           ClipCase{"WithClipChildren", WS_CLIPCHILDREN, false, blue}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlatformTest, FillRectExcludesRightAndBottomEdges)
{
    HWND w = top_level();
    paint_with([](HWND, HDC dc) {
        RECT r{10, 20, 30, 40};
        HBRUSH b = CreateSolidBrush(red);
        FillRect(dc, &r, b);
        DeleteObject(b);
    });
    device::pump();
    (void)w;
    EXPECT_EQ(screen(10, top + 20), red);
    EXPECT_EQ(screen(29, top + 39), red);
    EXPECT_EQ(screen(30, top + 39), white);
    EXPECT_EQ(screen(29, top + 40), white);
    EXPECT_EQ(screen(9, top + 20), white);
}

TEST_F(PlatformTest, RectangleOutlinedByPenFilledByBrushAndSelectObjectReturnsTheOldOne)
{
    top_level();
    HGDIOBJ first_pen = nullptr, returned_pen = nullptr, first_brush = nullptr;
    paint_with([&](HWND, HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 1, blue);
        HBRUSH brush = CreateSolidBrush(red);
        first_pen = SelectObject(dc, pen);
        first_brush = SelectObject(dc, brush);
        Rectangle(dc, 10, 10, 20, 20);
        returned_pen = SelectObject(dc, first_pen);
        SelectObject(dc, first_brush);
        DeleteObject(pen);
        DeleteObject(brush);
        // The same rectangle with a null pen: filled one pixel short on the right and bottom.
        SelectObject(dc, GetStockObject(NULL_PEN));
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Rectangle(dc, 30, 10, 40, 20);
    });
    device::pump();
    EXPECT_EQ(first_pen, GetStockObject(BLACK_PEN)); // defaults of a fresh DC
    EXPECT_EQ(first_brush, GetStockObject(WHITE_BRUSH));
    EXPECT_NE(returned_pen, nullptr);
    EXPECT_NE(returned_pen, first_pen);
    EXPECT_EQ(screen(10, top + 10), blue);
    EXPECT_EQ(screen(19, top + 19), blue);
    EXPECT_EQ(screen(15, top + 15), red);
    EXPECT_EQ(screen(20, top + 15), white);
    EXPECT_EQ(screen(30, top + 10), black);
    EXPECT_EQ(screen(38, top + 18), black);
    EXPECT_EQ(screen(39, top + 18), white);
}

TEST_F(PlatformTest, LineToExcludesTheLastPixelAndWidePensCoverTheirWidth)
{
    top_level();
    paint_with([](HWND, HDC dc) {
        MoveToEx(dc, 10, 10, nullptr);
        LineTo(dc, 20, 10);
        HPEN wide = CreatePen(PS_SOLID, 3, red);
        HGDIOBJ old = SelectObject(dc, wide);
        MoveToEx(dc, 10, 30, nullptr);
        LineTo(dc, 20, 30);
        LineTo(dc, 1000000, -1000000); // far away: clipped, no endless walk
        SelectObject(dc, old);
        DeleteObject(wide);
    });
    device::pump();
    EXPECT_EQ(screen(10, top + 10), black);
    EXPECT_EQ(screen(19, top + 10), black);
    EXPECT_EQ(screen(20, top + 10), white);
    EXPECT_EQ(screen(15, top + 29), red);
    EXPECT_EQ(screen(15, top + 31), red);
    EXPECT_EQ(screen(15, top + 32), white);
}

TEST_F(PlatformTest, AFarLineIsDrawnUpToTheEdgeExactlyAsAShortLineOfTheSameSlope)
{
    // Each far line and its short twin have the same start and the same ratio of rise to run, so their
    // pixels on the screen must agree; the short one is walked whole.
    struct Case {
        POINT from, far_end, near_end;
        int style;
    };
    const Case cases[] = {
        {{10, 10}, {40010, 20010}, {250, 130}, PS_SOLID},
        {{10, 10}, {40010, 20010}, {250, 130}, PS_DASH},
        {{200, 200}, {-39800, -19800}, {-40, 80}, PS_SOLID},
        {{120, 100}, {120, -40000}, {120, -10}, PS_SOLID},
        {{50, 0}, {20050, 40000}, {200, 300}, PS_SOLID},
        {{-40000, -40000}, {40000, 40000}, {300, 300}, PS_SOLID},
    };
    HWND w = top_level();
    auto draw = [&](POINT from, POINT to, int style) {
        paint_with([=](HWND, HDC dc) {
            HPEN pen = CreatePen(style, 1, red);
            HGDIOBJ old = SelectObject(dc, pen);
            MoveToEx(dc, from.x, from.y, nullptr);
            LineTo(dc, to.x, to.y);
            SelectObject(dc, old);
            DeleteObject(pen);
        });
        InvalidateRect(w, nullptr, TRUE);
        device::pump();
        // Read from the window's own surface: composing the whole screen for every pixel is slow.
        std::vector<COLORREF> pixels;
        HDC dc = GetDC(w);
        for (int y = 0; y < 320 - top; ++y)
            for (int x = 0; x < 240; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        ReleaseDC(w, dc);
        return pixels;
    };
    for (const Case& c : cases) {
        const std::vector<COLORREF> far = draw(c.from, c.far_end, c.style);
        const std::vector<COLORREF> near = draw(c.from, c.near_end, c.style);
        EXPECT_GT(std::count(near.begin(), near.end(), red), 90) << c.far_end.x << "," << c.far_end.y;
        EXPECT_TRUE(far == near) << c.far_end.x << "," << c.far_end.y;
    }
}

TEST_F(PlatformTest, DrawingStaysInsideTheClientAreaAndTheUpdateArea)
{
    HWND w = top_level();
    HWND kid = child(w, 1, RECT{0, 100, 50, 150});
    device::pump();
    HDC dc = GetDC(kid);
    RECT huge{-100, -100, 1000, 1000};
    HBRUSH b = CreateSolidBrush(red);
    FillRect(dc, &huge, b);
    ReleaseDC(kid, dc);
    EXPECT_EQ(screen(10, top + 110), red);
    EXPECT_EQ(screen(60, top + 110), white);
    EXPECT_EQ(screen(10, top + 90), white);
    // BeginPaint draws only where the update area is.
    paint_with([&](HWND h, HDC pdc) {
        RECT all{0, 0, 240, 300};
        if (h == w)
            FillRect(pdc, &all, b);
    });
    RECT part{100, 0, 110, 10};
    InvalidateRect(w, &part, FALSE);
    device::pump();
    EXPECT_EQ(screen(105, top + 5), red);
    EXPECT_EQ(screen(120, top + 5), white);
    DeleteObject(b);
}

TEST_F(PlatformTest, TextUsesTheDeviceFontWithItsColourAndBackground)
{
    top_level();
    TEXTMETRICW tm{};
    SIZE letters{};
    int fit = 0;
    int widths[3] = {};
    SIZE abc{};
    paint_with([&](HWND, HDC dc) {
        GetTextMetricsW(dc, &tm);
        const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        GetTextExtentPoint32W(dc, alphabet, 52, &letters);
        GetTextExtentExPointW(dc, L"abc", 3, 12, &fit, widths, &abc);
        SetTextColor(dc, red);
        RECT r{10, 10, 200, 30};
        DrawTextW(dc, L"MMMM", -1, &r, DT_SINGLELINE | DT_LEFT | DT_TOP);
        SetBkMode(dc, TRANSPARENT);
        RECT clipped{10, 40, 14, 60};
        DrawTextW(dc, L"MMMM", -1, &clipped, DT_SINGLELINE);
    });
    device::pump();
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 13);
    EXPECT_EQ((letters.cx / 26 + 1) / 2, 6); // the dialog base unit the templates are laid out with
    EXPECT_EQ(abc.cx, widths[2]);
    EXPECT_LT(widths[0], widths[1]);
    EXPECT_GE(fit, 1);
    EXPECT_LE(fit, 2);
    // Some pixel of the text is clearly red; OPAQUE background kept white around it.
    bool reddish = false;
    for (int y = top + 10; y < top + 23; ++y)
        for (int x = 10; x < 40; ++x)
            reddish = reddish || (GetRValue(screen(x, y)) > 200 && GetGValue(screen(x, y)) < 80);
    EXPECT_TRUE(reddish);
    // Clipped text leaves nothing right of its rectangle.
    for (int y = top + 40; y < top + 55; ++y)
        for (int x = 14; x < 40; ++x)
            ASSERT_EQ(screen(x, y), white) << x << "," << y;
}

TEST_F(PlatformTest, GdiCallsOnBadHandlesFail)
{
    HDC bogus = reinterpret_cast<HDC>(0x4242);
    RECT r{0, 0, 5, 5};
    EXPECT_EQ(FillRect(bogus, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_FALSE(Rectangle(bogus, 0, 0, 1, 1));
    EXPECT_FALSE(LineTo(bogus, 1, 1));
    EXPECT_EQ(SelectObject(bogus, GetStockObject(BLACK_PEN)), nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen)); // already gone
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // stock objects stay
    EXPECT_NE(GetStockObject(WHITE_BRUSH), nullptr);
    EXPECT_EQ(DrawTextW(bogus, L"x", 1, &r, 0), 0);
}

TEST_F(PlatformTest, ClassBrushErasesAndSystemColourIndexBrushesWork)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = L"Grey";
    ASSERT_NE(RegisterClassW(&wc), 0);
    CreateWindowExW(0, L"Grey", L"", WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, nullptr,
                    nullptr);
    device::pump();
    EXPECT_EQ(screen(100, 100), GetSysColor(COLOR_BTNFACE));
}

TEST_F(PlatformTest, UpdateWindowPaintsTheWindowAndItsChildrenAtOnce)
{
    HWND w = top_level();
    HWND kid = child(w, 1, RECT{0, 0, 20, 20});
    message_log().clear();
    UpdateWindow(w);
    EXPECT_EQ(count_logged(WM_PAINT, w), 1);
    EXPECT_EQ(count_logged(WM_PAINT, kid), 1);
    device::pump();
    EXPECT_EQ(count_logged(WM_PAINT), 2); // nothing left for the loop
}

TEST_F(PlatformTest, HidingAChildRepaintsWhatItCovered)
{
    HWND w = top_level();
    HWND kid = child(w, 1, RECT{10, 10, 50, 50});
    paint_with([&](HWND h, HDC dc) {
        RECT r;
        GetClientRect(h, &r);
        HBRUSH b = CreateSolidBrush(h == w ? red : blue);
        FillRect(dc, &r, b);
        DeleteObject(b);
    });
    device::pump();
    EXPECT_EQ(screen(20, top + 20), blue);
    ShowWindow(kid, SW_HIDE);
    device::pump();
    EXPECT_EQ(screen(20, top + 20), red);
    EXPECT_FALSE(IsWindowVisible(kid));
    ShowWindow(kid, SW_SHOW);
    device::pump();
    EXPECT_EQ(screen(20, top + 20), blue);
}

TEST_F(PlatformTest, DrawTextMeasuresLinesWordBreaksAndAlignments)
{
    HDC dc = GetDC(nullptr);
    struct Case {
        const char* name;
        const wchar_t* text;
        UINT format;
        int width;
        int lines;
    };
    const Case cases[] = {
        {"SingleLineIgnoresNewlines", L"one\ntwo", DT_SINGLELINE | DT_CALCRECT, 200, 1},
        {"NewlinesBreakWithoutSingleLine", L"one\r\ntwo\nthree", DT_CALCRECT, 200, 3},
        {"WordBreakWrapsAtSpaces", L"aaaa bbbb cccc dddd", DT_WORDBREAK | DT_CALCRECT, 40, 4},
        {"AWordWiderThanTheRectStaysWhole", L"abcdefghijkl", DT_WORDBREAK | DT_CALCRECT, 10, 1},
        {"EditControlCutsAWordWiderThanTheRect", L"abcdefghijkl", DT_WORDBREAK | DT_EDITCONTROL | DT_CALCRECT, 20, 4},
        {"SpacesAtTheEndOpenNoLine", L"abc            ", DT_WORDBREAK | DT_CALCRECT, 30, 1},
        {"EmptyTextIsOneLine", L"", DT_CALCRECT, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT r{0, 0, c.width, 0};
        int height = DrawTextW(dc, c.text, -1, &r, c.format);
        EXPECT_EQ(height, 13 * c.lines);
        EXPECT_EQ(r.bottom, 13 * c.lines);
    }
    // Prefix characters: "&&" shows one ampersand, "&x" shows x; DT_NOPREFIX shows them as written.
    RECT plain{0, 0, 0, 0}, prefixed{0, 0, 0, 0}, raw{0, 0, 0, 0};
    DrawTextW(dc, L"a&b", -1, &plain, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    DrawTextW(dc, L"a&&b", -1, &prefixed, DT_CALCRECT | DT_SINGLELINE);
    DrawTextW(dc, L"a&&b", -1, &raw, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(plain.right, prefixed.right);
    EXPECT_GT(raw.right, prefixed.right);
    ReleaseDC(nullptr, dc);
    // Right alignment ends the text at the rectangle's right edge.
    top_level();
    paint_with([](HWND, HDC pdc) {
        RECT r{0, 0, 100, 20};
        SetTextColor(pdc, RGB(0, 0, 0));
        DrawTextW(pdc, L"WWW", -1, &r, DT_SINGLELINE | DT_RIGHT);
    });
    device::pump();
    bool ink_left = false, ink_right = false;
    for (int y = top; y < top + 13; ++y) {
        for (int x = 0; x < 60; ++x)
            ink_left = ink_left || screen(x, y) != white;
        for (int x = 80; x < 100; ++x)
            ink_right = ink_right || screen(x, y) != white;
    }
    EXPECT_FALSE(ink_left);
    EXPECT_TRUE(ink_right);
}

TEST_F(PlatformTest, ADcKeptAfterItsWindowIsDestroyedDrawsNowhere)
{
    HWND w = top_level();
    device::pump();
    HDC dc = GetDC(w);
    DestroyWindow(w);
    HWND other = top_level(); // may reuse nothing of the old window's pixels
    device::pump();
    RECT all{0, 0, 240, 320};
    HBRUSH b = CreateSolidBrush(red);
    FillRect(dc, &all, b);
    Rectangle(dc, 0, 0, 100, 100);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 200, 200);
    DrawTextW(dc, L"gone", -1, &all, 0);
    ReleaseDC(w, dc);
    DeleteObject(b);
    EXPECT_EQ(screen(50, 100), white);
    EXPECT_TRUE(IsWindow(other));
}
