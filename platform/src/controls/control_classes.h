// SPDX-License-Identifier: GPL-3.0-or-later
// Registration of the predefined window classes "Edit", "Button", "LISTBOX", "Static" and the dialog class.
#pragma once

namespace platform {
// Called once by the device before the program starts; registering twice is harmless.
void register_control_classes();
} // namespace platform
