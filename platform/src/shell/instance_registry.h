// Top-level windows visible to other processes of the same user, for the single-instance rule.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform::instances {

// The registry as the device keeps it.
struct RegistryState {
    std::string m_folder;    // empty: private registry
    unsigned m_sequence = 0; // distinguishes several windows of this process
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
std::optional<int> find(std::wstring_view class_name, std::wstring_view title);

// Asks the process `pid` to raise its host window; true when the request was delivered.
bool request_raise(int pid);

// True once after another process asked this one to raise its host window (polled by the backend).
bool take_raise_request();

} // namespace platform::instances
