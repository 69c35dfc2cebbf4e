// SPDX-License-Identifier: GPL-3.0-or-later
// The emulated device as one object: it owns every part of the platform (the windows and the message
// queue, GDI, text, resources, the shell's bars and input panel, the controls' shared state, the instance
// registry and the backend). start_device creates it and stop_device destroys it, so a new device starts
// from nothing and nothing outlives it.
#pragma once
#include "backends/backend.h"
#include "controls/controls_common.h"
#include "gdi/gdi.h"
#include "gdi/surface.h"
#include "resources/resources.h"
#include "shell/input_panel.h"
#include "shell/instance_registry.h"
#include "shell/menu_bar.h"
#include "shell/shell.h"
#include "text/text.h"
#include "wm/input.h"
#include "wm/wm.h"

#include <deque>
#include <memory>

namespace platform {

struct Device {
    // `devices_before`: how many devices this process started before this one (see first_generation).
    Device(uint32_t devices_before, std::unique_ptr<Backend> backend);

    uint32_t m_number; // devices_before

    // The screen.
    int m_width = 240;
    int m_height = 320;
    int m_old_width = 240; // the size before the last rotation, for SHHandleWMSettingChange
    int m_old_height = 320;
    Surface m_screen;

    // Windows and the message queue.
    WindowState m_windows;
    std::deque<MSG> m_posted;
    std::deque<InputEvent> m_input;
    std::deque<MSG> m_ready; // converted input, ready to be returned by GetMessageW / PeekMessageW
    StylusState m_stylus;
    bool m_quit_posted = false;
    int m_quit_code = 0;
    bool m_shift = false;
    bool m_control = false;
    bool m_pump_saw_quit = false; // a WM_QUIT met by kelvora::device::pump, and its code
    int m_pump_quit_code = 0;

    // Painting and resources.
    GdiState m_gdi;
    FontPointer m_font;
    ResourceState m_resources;

    // The shell and the controls.
    NavBarState m_nav_bar;
    MenuBarState m_menu_bar;
    PanelState m_panel;
    controls::ControlsState m_controls;
    std::wstring m_clipboard; // kept here when the backend has no clipboard of its own

    instances::RegistryState m_instances;
    std::unique_ptr<Backend> m_backend; // none for a device that no one started (calls before the first start)
};

Device& device(); // the device running; one without a backend when none was started
// The device running, or nullptr before the first start and after a stop.
Device* running_device();
// True while `d`, the device numbered `number`, is the one running.
bool is_running(const Device* d, uint32_t number);

// Starts a new device on a backend (the headless one, or SDL), after stopping the one running, then the
// backend's own start. False when the backend could not start.
bool start_device(std::unique_ptr<Backend> backend);
// Destroys every window, stops the backend and destroys the device with all it holds.
void stop_device();

// The screen.
void rotate_screen();
void compose_screen();
// WM_SETTINGCHANGE with `what` (SETTINGCHANGE_RESET after a turn, SPI_SETSIPINFO) to every top-level window.
void send_setting_change(WPARAM what);
void keep_popups_on_screen();

} // namespace platform
