// SPDX-License-Identifier: GPL-3.0-or-later
// The device in a web page (WebAssembly): what the page's entry point starts and ends.
#pragma once

namespace kelvora::browser {

// Starts the device on the page's canvas with Documents in the browser's storage, read back from there
// before it returns. False when the device cannot start.
bool start();
// Tells the page that WinMain has returned with `status`.
void program_ended(int status);

} // namespace kelvora::browser
