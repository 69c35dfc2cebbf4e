// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog units: the font-relative measure of dialog templates, and its one conversion to pixels, used by
// the dialog manager, MapDialogRect and GetDialogBaseUnits alike.
#include "controls/controls_common.h"
#include "dialogs/dialogs.h"

namespace platform::controls {

SIZE dialog_base_units()
{
    SIZE& cached = controls_state().m_dialog_base_units;
    if (cached.cx > 0)
        return cached;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return SIZE{6, 13}; // the default font's units, until the device can measure
    static constexpr std::wstring_view letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    TEXTMETRICW tm{};
    const bool have_metrics = GetTextMetricsW(dc, &tm) && tm.tmHeight > 0;
    const int width = dc_text_width(dc, letters);
    ReleaseDC(nullptr, dc);
    if (!have_metrics || width <= 0)
        return SIZE{6, 13};
    cached = SIZE{(width / 26 + 1) / 2, tm.tmHeight};
    return cached;
}

RECT dialog_units_to_pixels(RECT units)
{
    const SIZE base = dialog_base_units();
    return RECT{MulDiv(units.left, base.cx, 4), MulDiv(units.top, base.cy, 8), MulDiv(units.right, base.cx, 4),
                MulDiv(units.bottom, base.cy, 8)};
}

} // namespace platform::controls

using namespace platform::controls;

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect)
{
    if (!rect || !IsWindow(dialog))
        return FALSE;
    *rect = dialog_units_to_pixels(*rect);
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void)
{
    const SIZE base = dialog_base_units();
    return MAKELONG(base.cx, base.cy);
}
