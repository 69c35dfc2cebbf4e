// SPDX-License-Identifier: GPL-3.0-or-later
// A backend: what shows the device and feeds it input. The headless backend (backends/headless) keeps
// the device in memory; the SDL backend (backends/sdl) shows it in a desktop window.
#pragma once
#include <string>
#include <string_view>

namespace platform {

// The device owns it and calls it from the message loop.
class Backend {
public:
    virtual ~Backend() = default;
    // Called once the device exists, before any window: open what the backend shows the device in. False
    // when that cannot be done; the device is then stopped again.
    virtual bool start() { return true; }
    // Called when the device stops, after every window is gone: close what start opened.
    virtual void stop() {}
    // Called when the program waits and nothing is due: get input into the device. False when no input
    // will ever come (the headless device at the end of its input), which ends the waiting loop.
    virtual bool wait() = 0;
    virtual void present() {}
    // A backend with a clipboard of its own (the host's) keeps the device's; otherwise the device does.
    virtual bool has_clipboard() const { return false; }
    virtual std::wstring clipboard_text() { return {}; }
    virtual void set_clipboard_text(std::wstring_view) {}
    // True where only the documents folder outlasts the device (a web page): the file pickers then
    // stay within it.
    virtual bool keeps_only_documents() const { return false; }
};

} // namespace platform
