// SPDX-License-Identifier: GPL-3.0-or-later
// Top-level windows visible to other processes of the same user, for the single-instance rule.
#pragma once
#include "shell/registry_folder.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform::instances {

// The registry as the device keeps it.
struct RegistryState {
    registry_folder::UniqueFd m_folder; // none: private registry
    registry_folder::UniqueFd m_lock;   // the lock file while its lock is held
    pid_t m_lock_holder = 0;            // a forked child inherits the descriptor, not the right to let it go
    bool m_held_for_start = false;      // kept after a lookup found nothing, until this process registers
    unsigned m_sequence = 0;            // distinguishes several windows of this process
};
RegistryState& registry_state();

// Where registrations live: the desktop device shares one folder per user and display (a start on
// another display opens its own window there); a headless device uses none (private: only windows of
// its own process are found) unless a test names a folder.
void use_shared_registry();
void use_private_registry();
void use_registry_folder(const std::string& folder);

// Records (or removes) a top-level window of this process under its class name and title.
void publish(std::wstring_view class_name, std::wstring_view title);
void withdraw(std::wstring_view class_name, std::wstring_view title);

// Another live process that published a window of that class and title (nullptr-like empty when none;
// an empty class or title matches any). Registrations of dead processes are ignored and cleaned up.
// When none is found, lookups of other processes wait until this one publishes a window, polls
// take_raise_request or ends (a few seconds at most): a start's lookup and its registration are one step.
std::optional<int> find(std::wstring_view class_name, std::wstring_view title);

// Asks the process `pid` to raise its host window; true when the request was delivered. Only a registered
// process that runs this same program as this user is ever asked.
bool request_raise(int pid);

// True once after another process asked this one to raise its host window (polled by the backend).
bool take_raise_request();

} // namespace platform::instances
