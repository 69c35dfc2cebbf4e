// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog item helpers that work on any parent window: item lookup, texts and numbers, and deferred
// window positioning.
#include "controls/controls_common.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <memory>

using namespace platform::controls;

namespace {

// A batch of moves collected by DeferWindowPos and applied together by EndDeferWindowPos. Handles are
// checked against the live batches, so a stale or made-up HDWP is refused.
struct DeferredMove {
    HWND hwnd;
    HWND insert_after;
    int x, y, cx, cy;
    UINT flags;
};

struct DeferBatch {
    std::vector<DeferredMove> moves;
};

DeferBatch* batch_of(HDWP handle)
{
    auto& batches = controls_state().m_defer_batches;
    auto it = batches.find(handle);
    return it == batches.end() ? nullptr : static_cast<DeferBatch*>(it->second.get());
}

bool only_blanks(const wchar_t* p)
{
    while (*p && std::iswspace(static_cast<wint_t>(*p)))
        ++p;
    return *p == L'\0';
}

// The text of a decimal integer, with blanks around it; nullopt-like false for anything else.
bool parse_int(const std::wstring& text, bool is_signed, long long& value)
{
    const wchar_t* p = text.c_str();
    while (*p && std::iswspace(static_cast<wint_t>(*p)))
        ++p;
    if (*p == L'\0' || (*p == L'-' && !is_signed))
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    value = std::wcstoll(p, &end, 10);
    if (end == p || errno == ERANGE || !only_blanks(end))
        return false;
    if (is_signed)
        return value >= INT_MIN && value <= INT_MAX;
    return value >= 0 && value <= static_cast<long long>(UINT_MAX);
}

std::wstring item_text(HWND control)
{
    const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(0, std::min<LRESULT>(copied, length))));
    return text;
}

} // namespace

HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    if (!IsWindow(dialog))
        return nullptr;
    // Template items without an id carry 0xFFFF; asking for -1 (IDC_STATIC) finds them too.
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int child_id = GetDlgCtrlID(child);
        if (child_id == id || (LOWORD(child_id) == LOWORD(id) && (id == -1 || id == 0xFFFF)))
            return child;
    }
    return nullptr;
}

LRESULT WINAPI SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageW(control, msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return FALSE;
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L""));
    return TRUE;
}

UINT WINAPI GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount)
{
    // The limit counts the terminating zero: a limit of 6 yields at most 5 characters.
    if (!buffer || maxCount <= 0)
        return 0;
    buffer[0] = L'\0';
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return 0;
    const LRESULT copied = SendMessageW(control, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer));
    const LRESULT length = std::clamp<LRESULT>(copied, 0, maxCount - 1);
    buffer[length] = L'\0';
    return static_cast<UINT>(length);
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned)
{
    if (translated)
        *translated = FALSE;
    HWND control = GetDlgItem(dialog, id);
    long long value = 0;
    if (!control || !parse_int(item_text(control), isSigned != FALSE, value))
        return 0;
    if (translated)
        *translated = TRUE;
    return static_cast<UINT>(value);
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    wchar_t text[16];
    if (isSigned)
        std::swprintf(text, 16, L"%d", static_cast<int>(value));
    else
        std::swprintf(text, 16, L"%u", value);
    return SetDlgItemTextW(dialog, id, text);
}

HDWP WINAPI BeginDeferWindowPos(int count)
{
    if (count < 0)
        return nullptr;
    auto batch = std::make_shared<DeferBatch>();
    batch->moves.reserve(static_cast<size_t>(std::min(count, 256)));
    const HDWP handle = reinterpret_cast<HDWP>(batch.get());
    controls_state().m_defer_batches.emplace(handle, std::move(batch));
    return handle;
}

HDWP WINAPI DeferWindowPos(HDWP handle, HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    DeferBatch* batch = batch_of(handle);
    // A bad window is refused but the batch stays usable, so the moves gathered so far still apply.
    if (!batch || !IsWindow(hwnd))
        return nullptr;
    const DeferredMove move{hwnd, insertAfter, x, y, cx, cy, flags};
    for (DeferredMove& existing : batch->moves)
        if (existing.hwnd == hwnd) {
            existing = move; // the later move of the same window wins
            return handle;
        }
    batch->moves.push_back(move);
    return handle;
}

BOOL WINAPI EndDeferWindowPos(HDWP handle)
{
    auto& batches = controls_state().m_defer_batches;
    auto it = batches.find(handle);
    if (it == batches.end())
        return FALSE;
    const auto owned = std::static_pointer_cast<DeferBatch>(it->second);
    batches.erase(it);
    bool ok = true;
    for (const DeferredMove& m : owned->moves)
        if (!IsWindow(m.hwnd) || !SetWindowPos(m.hwnd, m.insert_after, m.x, m.y, m.cx, m.cy, m.flags))
            ok = false;
    return ok ? TRUE : FALSE;
}
