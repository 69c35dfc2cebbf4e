// SPDX-License-Identifier: GPL-3.0-or-later
// The headless backend: the device in memory only, for tests and kelvora-replay. Input comes from the
// idle handler, which the caller sets; without one the first wait ends the program's loop.
#include "backends/backend.h"
#include "device/device.h"
#include "shell/instance_registry.h"

#include <kelvora_device.h>

#include <cstdio>

namespace platform {
namespace {

class HeadlessBackend final : public Backend {
public:
    bool wait() override
    {
        // A copy: the handler may stop this device, and this backend with it.
        if (std::function<bool()> idle = m_idle)
            return idle();
        std::fprintf(stderr, "kelvora device: waiting for input that never comes; ending the message loop\n");
        return false;
    }
    bool keeps_only_documents() const override { return m_only_documents; }

    std::function<bool()> m_idle;
    bool m_only_documents = false;
};

} // namespace
} // namespace platform

namespace kelvora::device {

void start_headless()
{
    platform::start_device(std::make_unique<platform::HeadlessBackend>());
    platform::instances::use_private_registry();
}

// Kept by the headless device running; ignored when none runs.
void set_idle_handler(std::function<bool()> handler)
{
    platform::Device* running = platform::running_device();
    if (auto* headless = running ? dynamic_cast<platform::HeadlessBackend*>(running->m_backend.get()) : nullptr)
        headless->m_idle = std::move(handler);
}

void keep_only_documents(bool only)
{
    platform::Device* running = platform::running_device();
    if (auto* headless = running ? dynamic_cast<platform::HeadlessBackend*>(running->m_backend.get()) : nullptr)
        headless->m_only_documents = only;
}

} // namespace kelvora::device
