// SPDX-License-Identifier: GPL-3.0-or-later
// The device clipboard: plain wide text, kept by the backend when it has a clipboard of its own (the
// host's, under SDL), else by the device.
#include "controls/clipboard.h"

#include "device/device.h"

namespace platform {

std::wstring clipboard_text()
{
    Device& d = device();
    return d.m_backend && d.m_backend->has_clipboard() ? d.m_backend->clipboard_text() : d.m_clipboard;
}

void set_clipboard_text(std::wstring_view text)
{
    Device& d = device();
    if (d.m_backend && d.m_backend->has_clipboard())
        d.m_backend->set_clipboard_text(text);
    else
        d.m_clipboard = std::wstring(text);
}

} // namespace platform
