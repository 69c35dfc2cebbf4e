// The headless backend: the device in memory only, for tests and kelvora-replay. Input comes from the
// idle handler, which the caller sets; without one the first wait ends the program's loop.
#include "instance_registry.h"
#include "internal.h"

#include <kelvora_device.h>

#include <cstdio>

namespace platform {
namespace {

std::function<bool()>& idle_handler()
{
    static std::function<bool()> handler;
    return handler;
}

} // namespace
} // namespace platform

namespace kelvora::device {

void start_headless()
{
    platform::Backend b;
    b.m_name = "headless";
    b.m_wait = [] {
        auto& idle = platform::idle_handler();
        if (idle)
            return idle();
        std::fprintf(stderr, "kelvora device: waiting for input that never comes; ending the message loop\n");
        return false;
    };
    platform::start_device(b);
    platform::instances::use_private_registry();
}

void set_idle_handler(std::function<bool()> handler) { platform::idle_handler() = std::move(handler); }

} // namespace kelvora::device
