// SPDX-License-Identifier: GPL-3.0-or-later
// The emulated device seen from outside the program: tests, kelvora-replay and the desktop entry start it,
// feed it stylus and key input, let the program run until it waits, and read the screen back.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::device {

// Starts (or restarts) the device in memory: every window destroyed, classes unregistered, queues
// emptied, screen portrait 240 x 320, the platform's control classes registered.
void start_headless();
// Starts the device in a desktop window (SDL2). False, with one line of explanation in `error`, when
// no display can be opened. The program then runs on it until its loop ends; stop() closes it.
bool start_desktop(std::string* error);
// Destroys every window and frees the device's objects (and closes the desktop window).
void stop();

// Called whenever the program waits for input and nothing is due (GetMessageW would block). It should
// inject input and return true, or return false when none will come: the waiting loop then ends with
// WM_QUIT, and so does every later wait while it keeps returning false. A caller that stops a program
// this way keeps its own reason to read after WinMain returns; no exception may leave the handler, as
// it would cross the program's window procedures and WinMain. Without a handler the headless device
// says on standard error that no input will come, and behaves as if it returned false.
void set_idle_handler(std::function<bool()> handler);
// Makes the headless device running keep only its documents folder, as the web page's does (the file
// pickers then stay within it); false again at every start.
void keep_only_documents(bool only);

// Input. Coordinates are screen pixels. Keys are virtual-key codes (VK_RETURN, 'A', VK_F1 ...).
void tap(int x, int y);
void press(int x, int y);   // stylus down
void move(int x, int y);    // stylus moved
void release(int x, int y); // stylus up
void drag(int x1, int y1, int x2, int y2);
void key(UINT vk, bool ctrl = false, bool shift = false); // down and up, with the modifiers held around it
void key_down(UINT vk);
void key_up(UINT vk);
void type(std::wstring_view text); // one WM_CHAR per character to the focused window
void rotate();
void host_close(); // the desktop window's close button

// Delivers everything due (posted messages, input, paints) without waiting; returns the number of
// messages dispatched. A WM_QUIT seen here is remembered (quit_requested) and ends the pump.
int pump();
bool quit_requested(int* exit_code = nullptr);

// The screen as it is now (the bars and open menu included).
int screen_width();
int screen_height();
COLORREF pixel(int x, int y); // 0xFFFFFFFF outside the screen
bool save_png(const std::string& path);
// The input panel: true while it is up; `rect` gets where it is, or would be when raised.
bool input_panel(RECT* rect = nullptr);

struct TopLevel {
    HWND hwnd;
    std::wstring class_name;
    std::wstring title;
    RECT rect;
    bool visible;
    bool enabled;
};
std::vector<TopLevel> top_level_windows(); // top first; menu bars excluded

} // namespace kelvora::device
