// SPDX-License-Identifier: GPL-3.0-or-later
// The emulated device: the one object that holds every part, starting and stopping it on a backend, the
// screen, rotation, composition of the window surfaces, and the device interface that tests and tools use.
#include "device/device.h"

#include "backends/backend.h"
#include "controls/control_classes.h"
#include "files/file_names.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "shell/input_panel.h"
#include "shell/menu_bar.h"
#include "shell/shell.h"
#include "wm/input.h"
#include "wm/popup_fit.h"
#include "wm/window_scroll_bar.h"
#include "wm/wm.h"

#include <kelvora_device.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace platform {
namespace {

// The device of the process, and how many were created before it (their handles stay refused).
struct DeviceSlot {
    std::unique_ptr<Device> m_device;
    uint32_t m_created = 0;
};

DeviceSlot& slot()
{
    static DeviceSlot s;
    return s;
}

// A new device, its stock objects and the platform's window classes. Those need the device in place.
void create_device(std::unique_ptr<Backend> backend)
{
    DeviceSlot& s = slot();
    s.m_device = std::make_unique<Device>(s.m_created++, std::move(backend));
    create_stock_objects();
    register_control_classes();
}

void blit(Surface& screen, const Surface& from, int left, int top)
{
    for (int y = 0; y < from.m_height; ++y) {
        int sy = top + y;
        if (sy < 0 || sy >= screen.m_height)
            continue;
        int x0 = std::max(0, -left), x1 = std::min(from.m_width, screen.m_width - left);
        if (x0 < x1)
            std::copy(from.row(y) + x0, from.row(y) + x1, screen.row(sy) + left + x0);
    }
}

} // namespace

// After the turn of the screen or a move of the input panel, a smaller window left partly off the free
// space (a message box placed for the other orientation, a dialog the panel now covers) is centred in the
// space between the bars and the panel; one too tall for it keeps its size and moves up to its top.
namespace {

// The part of the screen a pop-up should stay in: below the navigation bar, above the panel or the menu bar.
RECT popup_area()
{
    RECT area = visible_desktop();
    if (!input_panel_is_up() && menu_bar_shown())
        area.bottom -= menu_bar_height;
    return area;
}

bool too_tall_for(const Window* w, const RECT& area)
{
    return rect_height(w->m_rect) > rect_height(area) && (w->m_style & WS_POPUP) && !w->m_children.empty();
}

} // namespace

void fit_shown_popup(HWND hwnd)
{
    const RECT area = popup_area();
    if (Window* w = window_from_handle(hwnd); w && w->is_top_level() && too_tall_for(w, area))
        fit_popup_by_scrolling(w, area);
}

void keep_popups_on_screen()
{
    const RECT area = popup_area();
    std::vector<HWND> moves;
    std::vector<HWND> scrolled; // too tall for the space, or shortened before and maybe fitting again
    for (Window* w : top_level_order())
        if ((w->m_style & WS_VISIBLE) && rect_width(w->m_rect) <= rect_width(area)) {
            RECT inside;
            IntersectRect(&inside, &w->m_rect, &area);
            const bool fits = rect_height(w->m_rect) <= rect_height(area);
            if (rect_height(w->m_vscroll.m_full_rect) > 0 || too_tall_for(w, area))
                scrolled.push_back(w->m_handle);
            else if ((fits && !EqualRect(&inside, &w->m_rect)) || (!fits && w->m_rect.top > area.top))
                moves.push_back(w->m_handle);
        }
    for (HWND h : scrolled)
        if (Window* w = window_from_handle(h))
            fit_popup_by_scrolling(w, area);
    for (HWND h : moves) {
        RECT r;
        GetWindowRect(h, &r);
        int x = area.left + (rect_width(area) - rect_width(r)) / 2;
        int y = area.top + std::max(0, (rect_height(area) - rect_height(r)) / 2);
        SetWindowPos(h, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Device::Device(uint32_t devices_before, std::unique_ptr<Backend> backend)
    : m_number(devices_before), m_windows(first_generation(devices_before)), m_gdi(first_generation(devices_before)),
      m_resources(first_generation(devices_before)), m_backend(std::move(backend))
{
    m_screen.resize(m_width, m_height, 0xFFFFFF);
}

// A call before the first start (or after a stop) gets a device without a backend: every handle it is
// given is refused, and a wait for input ends at once.
Device& device()
{
    if (!slot().m_device)
        create_device(nullptr);
    return *slot().m_device;
}

Device* running_device() { return slot().m_device.get(); }

bool is_running(const Device* d, uint32_t number)
{
    const Device* running = slot().m_device.get();
    return running == d && running->m_number == number;
}

controls::ControlsState& controls::controls_state() { return device().m_controls; }
instances::RegistryState& instances::registry_state() { return device().m_instances; }

void compose_screen()
{
    Device& d = device();
    Surface& screen = d.m_screen;
    if (screen.m_width != d.m_width || screen.m_height != d.m_height)
        screen.resize(d.m_width, d.m_height, 0xFFFFFF);
    else
        std::fill(screen.m_pixels.begin(), screen.m_pixels.end(), 0xFFFFFF);
    auto& order = top_level_order();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        Window* w = *it;
        if ((w->m_style & WS_VISIBLE) && w->m_surface)
            blit(screen, *w->m_surface, w->m_rect.left, w->m_rect.top);
    }
    draw_shell_bars(screen);
}

void send_setting_change(WPARAM what)
{
    std::vector<HWND> targets;
    for (Window* w : top_level_order())
        targets.push_back(w->m_handle);
    for (HWND h : targets)
        SendMessageW(h, WM_SETTINGCHANGE, what, 0);
}

void rotate_screen()
{
    Device& d = device();
    menu_close();
    d.m_old_width = d.m_width;
    d.m_old_height = d.m_height;
    std::swap(d.m_width, d.m_height);
    d.m_screen.resize(d.m_width, d.m_height, 0xFFFFFF);
    std::vector<HWND> bars;
    for (Window* b : shell_windows())
        bars.push_back(b->m_handle);
    for (HWND b : bars)
        MoveWindow(b, 0, d.m_height - menu_bar_height, d.m_width, menu_bar_height, FALSE);
    input_panel_on_rotate();
    // Windows follow the screen in their WM_SETTINGCHANGE (SHHandleWMSettingChange, the dialog manager).
    send_setting_change(SETTINGCHANGE_RESET);
    keep_popups_on_screen();
    invalidate_all();
}

bool start_device(std::unique_ptr<Backend> backend)
{
    stop_device();
    create_device(std::move(backend));
    files::ignore_file_size_signal();
    if (!device().m_backend->start()) {
        stop_device();
        return false;
    }
    return true;
}

void stop_device()
{
    if (!slot().m_device)
        return;
    // The windows go first, while every part they may call on is still there.
    destroy_all_windows();
    if (Backend* backend = device().m_backend.get())
        backend->stop();
    slot().m_device.reset();
}

} // namespace platform

namespace kelvora::device {
using namespace platform;

void stop() { stop_device(); }

void press(int x, int y) { push_input({InputKind::Down, x, y}); }
void move(int x, int y) { push_input({InputKind::Move, x, y}); }
void release(int x, int y) { push_input({InputKind::Up, x, y}); }

void tap(int x, int y)
{
    press(x, y);
    release(x, y);
}

void drag(int x1, int y1, int x2, int y2)
{
    press(x1, y1);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i)
        move(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
    release(x2, y2);
}

void key_down(UINT vk) { push_input({InputKind::KeyDown, 0, 0, vk}); }
void key_up(UINT vk) { push_input({InputKind::KeyUp, 0, 0, vk}); }

void key(UINT vk, bool ctrl, bool shift)
{
    if (ctrl)
        key_down(VK_CONTROL);
    if (shift)
        key_down(VK_SHIFT);
    key_down(vk);
    key_up(vk);
    if (shift)
        key_up(VK_SHIFT);
    if (ctrl)
        key_up(VK_CONTROL);
}

void type(std::wstring_view text)
{
    for (wchar_t ch : text)
        push_input({InputKind::Char, 0, 0, 0, ch});
}

void rotate() { push_input({InputKind::Rotate}); }
void host_close() { push_input({InputKind::HostClose}); }

int pump()
{
    int count = 0;
    MSG msg;
    // A window that never validates its update region would repaint forever; stop after a generous amount.
    while (count < 200000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            platform::device().m_pump_saw_quit = true;
            platform::device().m_pump_quit_code = static_cast<int>(msg.wParam);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

bool quit_requested(int* exit_code)
{
    if (exit_code)
        *exit_code = platform::device().m_pump_quit_code;
    return platform::device().m_pump_saw_quit;
}

int screen_width() { return platform::device().m_width; }
int screen_height() { return platform::device().m_height; }

COLORREF pixel(int x, int y)
{
    compose_screen();
    const Surface& s = platform::device().m_screen;
    return s.contains(x, y) ? to_colorref(s.row(y)[x]) : 0xFFFFFFFF;
}

bool save_png(const std::string& path)
{
    compose_screen();
    return write_png(platform::device().m_screen, path);
}

std::vector<TopLevel> top_level_windows()
{
    std::vector<TopLevel> list;
    for (Window* w : top_level_order())
        list.push_back(TopLevel{w->m_handle, w->m_class->m_name, w->m_text, w->m_rect,
                                (w->m_style & WS_VISIBLE) != 0, !(w->m_style & WS_DISABLED)});
    return list;
}

} // namespace kelvora::device
