// SPDX-License-Identifier: GPL-3.0-or-later
// The kinds of system handle besides the device's objects, and how CloseHandle reaches each.
#pragma once
#include <windows.h>

#include "device/handles.h"

namespace platform {

constexpr uint8_t tag_stream_file = 0x90; // a C stream's descriptor, carried where the generation goes
constexpr uint8_t tag_thread = 0xA0;

namespace files {
// The descriptor behind a handle from _get_osfhandle, or -1.
int stream_descriptor(HANDLE handle);
} // namespace files

namespace threads {
// Closes a thread handle: true when `handle` is one (the thread itself runs on).
bool close_thread(HANDLE handle);
} // namespace threads

} // namespace platform
