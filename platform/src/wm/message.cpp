// SPDX-License-Identifier: GPL-3.0-or-later
// The message queue: sent, posted and input messages, WM_PAINT from update regions, and the wait for input.
#include "backends/backend.h"
#include "device/device.h"
#include "shell/input_panel.h"
#include "shell/menu_bar.h"
#include "shell/shell.h"
#include "wm/input.h"
#include "wm/wm.h"
#include "wm/window_scroll_bar.h"

#include <algorithm>

namespace platform {
namespace {

std::deque<MSG>& ready_input() { return device().m_ready; }
StylusState& stylus() { return device().m_stylus; }

bool matches(const MSG& m, HWND hwnd, UINT min, UINT max)
{
    if (hwnd) {
        Window* filter = window_from_handle(hwnd);
        Window* target = window_from_handle(m.hwnd);
        if (!filter || !target)
            return false;
        bool inside = false;
        for (Window* w = target; w; w = w->m_parent)
            inside = inside || w == filter;
        if (!inside)
            return false;
    }
    if (min == 0 && max == 0)
        return true;
    return m.message >= min && m.message <= max;
}

MSG make_msg(HWND hwnd, UINT message, WPARAM wp, LPARAM lp)
{
    MSG m{};
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wp;
    m.lParam = lp;
    return m;
}

Window* top_level_at(POINT p)
{
    for (Window* top : top_level_order())
        if ((top->m_style & WS_VISIBLE) && PtInRect(&top->m_rect, p))
            return top;
    return nullptr;
}

void queue_mouse(Window* target, UINT message, POINT screen, WPARAM keys)
{
    POINT o = client_origin_on_screen(target);
    ready_input().push_back(make_msg(target->m_handle, message, keys,
                                     MAKELPARAM(static_cast<WORD>(screen.x - o.x), static_cast<WORD>(screen.y - o.y))));
}

void process_stylus(const InputEvent& e)
{
    POINT p{e.m_x, e.m_y};
    StylusState& st = stylus();
    if (e.m_kind == InputKind::Down) {
        st.m_down = true;
        st.m_on_shell = shell_stylus(e.m_kind, p);
        st.m_on_panel = !st.m_on_shell && input_panel_stylus(e.m_kind, p);
        if (st.m_on_shell || st.m_on_panel)
            return;
    } else if (st.m_on_scroll_bar) {
        scroll_bar_stylus(st.m_on_scroll_bar, e.m_kind, p);
        if (e.m_kind == InputKind::Up)
            st = StylusState{};
        return;
    } else if (st.m_on_panel) {
        input_panel_stylus(e.m_kind, p);
        if (e.m_kind == InputKind::Up)
            st = StylusState{};
        return;
    } else if (st.m_on_shell) {
        shell_stylus(e.m_kind, p);
        if (e.m_kind == InputKind::Up)
            st = StylusState{};
        return;
    }
    if (e.m_kind == InputKind::Up)
        st.m_down = false;

    HWND capture = GetCapture();
    Window* target = capture ? window_from_handle(capture) : nullptr;
    if (!target) {
        Window* top = top_level_at(p);
        if (!top || (top->m_style & WS_DISABLED))
            return; // a disabled window (the owner of a modal dialog) takes no input
        if (e.m_kind == InputKind::Down && top != active_window()) {
            HWND h = top->m_handle;
            activate_window(top, WA_CLICKACTIVE);
            if (!window_from_handle(h))
                return;
        }
        target = find_deepest_child(top, p);
        if (e.m_kind == InputKind::Down && scroll_bar_stylus_down(target, p)) {
            st.m_on_scroll_bar = target->m_handle;
            return;
        }
    }
    UINT message = e.m_kind == InputKind::Down ? WM_LBUTTONDOWN : e.m_kind == InputKind::Up ? WM_LBUTTONUP : WM_MOUSEMOVE;
    WPARAM keys = (st.m_down ? MK_LBUTTON : 0) | (device().m_shift ? MK_SHIFT : 0) | (device().m_control ? MK_CONTROL : 0);
    queue_mouse(target, message, p, keys);
}

Window* keyboard_target()
{
    Window* w = window_from_handle(GetFocus());
    if (!w)
        w = active_window();
    return w;
}

void process_key(const InputEvent& e)
{
    Device& d = device();
    bool down = e.m_kind == InputKind::KeyDown;
    if (e.m_key == VK_SHIFT)
        d.m_shift = down;
    if (e.m_key == VK_CONTROL)
        d.m_control = down;
    // The device's own keys act before the program sees them: F9 turns the screen, the shell takes the
    // soft keys (and every key while a menu is open).
    if (e.m_key == VK_F9) {
        if (down)
            rotate_screen();
        return;
    }
    if (shell_key(e.m_key, down))
        return;
    Window* target = keyboard_target();
    if (!target)
        return;
    LPARAM lp = down ? 1 : static_cast<LPARAM>(0xC0000001u);
    ready_input().push_back(make_msg(target->m_handle, down ? WM_KEYDOWN : WM_KEYUP, e.m_key, lp));
}

// The window a modal loop is waiting on: the topmost visible, enabled window whose owner it disabled.
Window* open_modal_window()
{
    for (Window* w : top_level_order())
        if (w->m_alive && (w->m_style & WS_VISIBLE) && !(w->m_style & WS_DISABLED) && w->m_owner &&
            (w->m_owner->m_style & WS_DISABLED))
            return w;
    return nullptr;
}

Window* first_created_top_level()
{
    Window* first = nullptr;
    for (Window* w : top_level_order())
        if (w->m_alive && (!first || w->m_created_order < first->m_created_order))
            first = w;
    return first;
}

// Puts the surviving windows of `saved` (top first) back in that order below any window made since,
// and gives the activation back to `active`.
void restore_top_levels(const std::vector<HWND>& saved, HWND active)
{
    if (Window* w = window_from_handle(active); w && (w->m_style & WS_VISIBLE) && !(w->m_style & WS_DISABLED))
        activate_window(w, WA_ACTIVE);
    auto rank = [&](const Window* w) {
        auto it = std::find(saved.begin(), saved.end(), w->m_handle);
        return it == saved.end() ? -1 : static_cast<int>(it - saved.begin());
    };
    auto& order = top_level_order();
    std::stable_sort(order.begin(), order.end(), [&](const Window* a, const Window* b) { return rank(a) < rank(b); });
}

void host_close()
{
    // While a modal dialog or message box runs, the request brings it forward: the program can answer
    // nothing else until it is closed.
    if (Window* modal = open_modal_window()) {
        activate_window(modal, WA_ACTIVE);
        return;
    }
    // Otherwise the first top-level window of the program gets a press of its left soft key, so the
    // program's own exit confirmation runs. It is sent at once, and when the program goes on (the
    // question was answered Cancel) its windows stand again as they stood.
    Window* first = first_created_top_level();
    if (!first || (first->m_style & WS_DISABLED))
        return;
    std::vector<HWND> saved;
    for (Window* w : top_level_order())
        saved.push_back(w->m_handle);
    HWND active = active_window() ? active_window()->m_handle : nullptr;
    HWND h = first->m_handle;
    if (first->m_style & WS_VISIBLE)
        activate_window(first, WA_ACTIVE);
    if (!window_from_handle(h))
        return;
    UINT command = 0;
    if (left_soft_key_command(first, &command))
        SendMessageW(h, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    else
        SendMessageW(h, WM_CLOSE, 0, 0);
    if (window_from_handle(h))
        restore_top_levels(saved, active);
}

bool paint_due(const Window* w, HWND filter)
{
    return !IsRectEmpty(&w->m_update) && (!filter || matches(make_msg(w->m_handle, WM_PAINT, 0, 0), filter, 0, 0));
}

// The next window with something due, in paint order (parents before their children, bottom windows
// before top ones): a frame to draw, or an update region that passes the filter. Only searches.
Window* find_due(Window* w, HWND filter)
{
    if (!(w->m_style & WS_VISIBLE))
        return nullptr;
    if (w->m_frame_dirty || paint_due(w, filter))
        return w;
    for (auto it = w->m_children.rbegin(); it != w->m_children.rend(); ++it)
        if (Window* found = find_due(*it, filter))
            return found;
    return nullptr;
}

Window* find_due_anywhere(HWND filter)
{
    auto& order = top_level_order();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if (Window* w = find_due(*it, filter))
            return w;
    return nullptr;
}

// The next WM_PAINT. Frames are drawn on the way, when their window's turn comes, so a parent's paint
// never covers the frame of a child.
bool next_paint(MSG* msg, HWND filter)
{
    while (Window* w = find_due_anywhere(filter)) {
        if (w->m_frame_dirty)
            draw_non_client(w);
        if (paint_due(w, filter)) {
            *msg = make_msg(w->m_handle, WM_PAINT, 0, 0);
            return true;
        }
    }
    return false;
}

// One step of the queue without waiting: true when `msg` holds a message.
bool take_message(MSG* msg, HWND hwnd, UINT min, UINT max, bool remove)
{
    Device& d = device();
    // Messages to windows that are gone are dropped before the search, so the search never erases.
    std::erase_if(d.m_posted, [](const MSG& m) { return m.hwnd && !window_from_handle(m.hwnd); });
    for (auto it = d.m_posted.begin(); it != d.m_posted.end(); ++it) {
        if (matches(*it, hwnd, min, max)) {
            *msg = *it;
            if (remove)
                d.m_posted.erase(it);
            return true;
        }
    }
    if (d.m_quit_posted) {
        *msg = make_msg(nullptr, WM_QUIT, static_cast<WPARAM>(d.m_quit_code), 0);
        if (remove)
            d.m_quit_posted = false;
        return true;
    }
    auto& ready = ready_input();
    for (;;) {
        while (!ready.empty() && !window_from_handle(ready.front().hwnd))
            ready.pop_front();
        if (!ready.empty()) {
            if (!matches(ready.front(), hwnd, min, max))
                break;
            *msg = ready.front();
            if (remove)
                ready.pop_front();
            return true;
        }
        if (!process_one_input())
            break;
        if (!d.m_posted.empty() || d.m_quit_posted)
            return take_message(msg, hwnd, min, max, remove);
    }
    // A deferred raise or lower of the input panel waits until everything before it has been handled.
    if (settle_input_panel())
        return take_message(msg, hwnd, min, max, remove);
    if (min == 0 && max == 0 ? true : (WM_PAINT >= min && WM_PAINT <= max))
        return next_paint(msg, hwnd);
    return false;
}

} // namespace

void push_input(const InputEvent& event) { device().m_input.push_back(event); }

bool process_one_input()
{
    Device& d = device();
    if (d.m_input.empty())
        return false;
    InputEvent e = d.m_input.front();
    d.m_input.pop_front();
    switch (e.m_kind) {
    case InputKind::Down:
    case InputKind::Move:
    case InputKind::Up: process_stylus(e); break;
    case InputKind::KeyDown:
    case InputKind::KeyUp: process_key(e); break;
    case InputKind::Char:
        if (menu_is_open())
            break;
        if (Window* t = keyboard_target())
            ready_input().push_back(make_msg(t->m_handle, WM_CHAR, e.m_char, 1));
        break;
    case InputKind::Rotate: rotate_screen(); break;
    case InputKind::HostClose: host_close(); break;
    }
    return true;
}

} // namespace platform

using namespace platform;

LRESULT WINAPI SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = window_from_handle(hwnd);
    return w ? send(w, msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && !window_from_handle(hwnd))
        return FALSE;
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    device().m_posted.push_back(m);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode)
{
    device().m_quit_posted = true;
    device().m_quit_code = exitCode;
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    release_destroyed_windows();
    MSG m{};
    if (!take_message(&m, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0))
        return FALSE;
    if (msg)
        *msg = m;
    return TRUE;
}

BOOL WINAPI GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg || (hwnd && !window_from_handle(hwnd)))
        return -1;
    release_destroyed_windows();
    for (;;) {
        if (take_message(msg, hwnd, filterMin, filterMax, true))
            return msg->message != WM_QUIT;
        if (hwnd && !window_from_handle(hwnd)) // the filter window went away while waiting
            return -1;
        compose_screen();
        // The backend is looked up for each call: the input it delivers may stop the device.
        if (Backend* backend = device().m_backend.get())
            backend->present();
        Backend* backend = device().m_backend.get();
        if (!backend || !backend->wait()) {
            // Nothing will ever arrive (a script at its end, a headless device without one): end the loop
            // instead of hanging.
            *msg = MSG{};
            msg->message = WM_QUIT;
            return FALSE;
        }
    }
}

BOOL WINAPI TranslateMessage(const MSG* msg)
{
    if (!msg || msg->message != WM_KEYDOWN || !window_from_handle(msg->hwnd))
        return FALSE;
    WPARAM ch = 0;
    switch (msg->wParam) {
    case VK_RETURN: ch = 13; break;
    case VK_ESCAPE: ch = 27; break;
    case VK_TAB: ch = 9; break;
    case VK_BACK: ch = 8; break;
    case VK_SPACE: ch = ' '; break;
    default:
        // Printable characters arrive as text input; only control codes are made here.
        if (device().m_control && msg->wParam >= 'A' && msg->wParam <= 'Z')
            ch = msg->wParam - 'A' + 1;
    }
    if (!ch)
        return FALSE;
    return PostMessageW(msg->hwnd, WM_CHAR, ch, msg->lParam);
}

LRESULT WINAPI DispatchMessageW(const MSG* msg)
{
    if (!msg)
        return 0;
    Window* w = window_from_handle(msg->hwnd);
    return w ? send(w, msg->message, msg->wParam, msg->lParam) : 0;
}
