// SPDX-License-Identifier: GPL-3.0-or-later
// A folder private to this user, used only through its descriptor, and the small files kept in it: what
// another user could have planted there is never followed, opened for long, or trusted.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::registry_folder {

// An owned file descriptor, closed when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset();

private:
    int m_fd = -1;
};

// Opens (creating it 0700 when missing) the folder `name` under the folder `parent` (AT_FDCWD: `name` is a
// path), never through a link. A folder of another user is refused; one that was open to others, or that
// holds anything of another user, is closed and emptied first. A refusal is said in one line on standard
// error, naming the folder as `shown`, and gives no descriptor.
UniqueFd open_private_folder(int parent, const std::string& name, const std::string& shown);

// The names in the folder, sorted, without "." and "..".
std::vector<std::string> names_in(int folder);

// The content of `name`: only a regular file of this user of at most `limit` bytes. A link, FIFO or
// device is not followed and not read.
std::optional<std::string> read_own_file(int folder, const std::string& name, size_t limit);

// Writes a new file `name` (0600) whole and then gives it its place `final_name`, so a reader never sees
// half of it. Whatever was at `name` (a leftover or a planted link) is removed, never written through.
bool write_new_file(int folder, const std::string& name, const std::string& final_name, const std::string& text);

// Removes `name`, a file or an empty folder, whatever it is.
void remove_name(int folder, const std::string& name);

} // namespace platform::registry_folder
