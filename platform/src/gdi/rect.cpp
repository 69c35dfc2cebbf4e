// SPDX-License-Identifier: GPL-3.0-or-later
// Rectangle arithmetic, MulDiv, and the clip regions built from rectangles.
#include "gdi/surface.h"

#include <algorithm>
#include <cmath>

namespace platform {

Region region_subtract(const Region& region, const RECT& cut)
{
    Region out;
    for (const RECT& r : region) {
        RECT inter;
        if (!IntersectRect(&inter, &r, &cut)) {
            out.push_back(r);
            continue;
        }
        if (r.top < inter.top)
            out.push_back(RECT{r.left, r.top, r.right, inter.top});
        if (inter.bottom < r.bottom)
            out.push_back(RECT{r.left, inter.bottom, r.right, r.bottom});
        if (r.left < inter.left)
            out.push_back(RECT{r.left, inter.top, inter.left, inter.bottom});
        if (inter.right < r.right)
            out.push_back(RECT{inter.right, inter.top, r.right, inter.bottom});
    }
    return out;
}

Region region_intersect(const Region& region, const RECT& rect)
{
    Region out;
    for (const RECT& r : region) {
        RECT inter;
        if (IntersectRect(&inter, &r, &rect))
            out.push_back(inter);
    }
    return out;
}

} // namespace platform

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL WINAPI CopyRect(LPRECT dest, const RECT* src)
{
    if (!dest || !src)
        return FALSE;
    *dest = *src;
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->top -= dy;
    rect->right += dx;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* rect) { return !rect || rect->left >= rect->right || rect->top >= rect->bottom; }

BOOL WINAPI IntersectRect(LPRECT dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *dest = RECT{};
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL WINAPI UnionRect(LPRECT dest, const RECT* a, const RECT* b)
{
    if (!dest || !a || !b)
        return FALSE;
    if (IsRectEmpty(a)) {
        *dest = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *dest = *a;
    } else {
        *dest = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                     std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(dest);
}

BOOL WINAPI PtInRect(const RECT* rect, POINT p)
{
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}

BOOL WINAPI EqualRect(const RECT* a, const RECT* b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

int WINAPI MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    long long product = static_cast<long long>(number) * numerator;
    // Rounds half away from zero, as Win32 does.
    long long half = (denominator < 0 ? -denominator : denominator) / 2;
    long long result = (product >= 0) == (denominator > 0) ? (std::llabs(product) + half) / std::llabs(denominator)
                                                       : -((std::llabs(product) + half) / std::llabs(denominator));
    if (result > 2147483647LL || result < -2147483647LL)
        return -1;
    return static_cast<int>(result);
}
