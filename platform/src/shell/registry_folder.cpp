// SPDX-License-Identifier: GPL-3.0-or-later
// A private folder used through its descriptor: opened without following links, checked for its owner,
// closed to others and emptied when it was not; small files in it created exclusively and read boundedly.
#include "shell/registry_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::registry_folder {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void UniqueFd::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace {

constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

UniqueFd refuse(const std::string& shown, const std::string& why)
{
    std::fprintf(stderr, "kelvora device: the instance registry %s %s; other copies of the program are not found\n",
                 shown.c_str(), why.c_str());
    return UniqueFd();
}

bool owned_by_us(const struct stat& info)
{
    return info.st_uid == geteuid();
}

bool holds_anything_foreign(int folder)
{
    for (const std::string& name : names_in(folder)) {
        struct stat info {};
        if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && !owned_by_us(info))
            return true;
    }
    return false;
}

// Removes everything in the folder; a sub-folder (a display's folder inside the user's) is emptied first,
// `depth` levels down. Whatever cannot be removed stays and is seen by the caller.
void empty_folder(int folder, int depth)
{
    for (const std::string& name : names_in(folder)) {
        if (unlinkat(folder, name.c_str(), 0) == 0 || errno != EISDIR || depth == 0)
            continue;
        UniqueFd sub(openat(folder, name.c_str(), folder_flags));
        if (sub)
            empty_folder(sub.get(), depth - 1);
        unlinkat(folder, name.c_str(), AT_REMOVEDIR);
    }
}

} // namespace

UniqueFd open_private_folder(int parent, const std::string& name, const std::string& shown)
{
    if (mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
        return refuse(shown, std::string("cannot be made (") + std::strerror(errno) + ")");
    UniqueFd folder(openat(parent, name.c_str(), folder_flags));
    if (!folder)
        return refuse(shown, errno == ELOOP || errno == ENOTDIR
                                 ? std::string("is not a folder")
                                 : std::string("cannot be opened (") + std::strerror(errno) + ")");
    struct stat info {};
    if (fstat(folder.get(), &info) != 0 || !owned_by_us(info))
        return refuse(shown, "belongs to another user");
    // What was written while others could write here, or by another user, cannot be told from our own.
    // The mode is set whatever it was: a umask may also have taken the owner's own bits.
    const bool was_open = (info.st_mode & 0077) != 0;
    if ((info.st_mode & 07777) != 0700 && fchmod(folder.get(), 0700) != 0 && was_open)
        return refuse(shown, "is open to other users and cannot be closed");
    if (was_open || holds_anything_foreign(folder.get())) {
        std::fprintf(stderr, "kelvora device: the instance registry %s %s; emptied\n", shown.c_str(),
                     was_open ? "was open to other users" : "held files of another user");
        empty_folder(folder.get(), 1);
        if (!names_in(folder.get()).empty())
            return refuse(shown, "holds files of another user that cannot be removed");
    }
    return folder;
}

std::vector<std::string> names_in(int folder)
{
    std::vector<std::string> names;
    // The listing reads through its own descriptor; rewinding it also rewinds `folder`, which is only
    // ever used as the base of *at() calls.
    const int copy = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0)
            close(copy);
        return names;
    }
    rewinddir(dir);
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> read_own_file(int folder, const std::string& name, size_t limit)
{
    // Looked at before it is opened, so a device is never opened at all; a FIFO swapped in meanwhile does
    // not block the open (O_NONBLOCK) and is refused by the second look.
    struct stat before {};
    if (fstatat(folder, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode))
        return std::nullopt;
    UniqueFd file(openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || !owned_by_us(info) || info.st_size < 0 ||
        static_cast<size_t>(info.st_size) > limit)
        return std::nullopt;
    std::string text(limit + 1, '\0');
    size_t used = 0;
    while (used < text.size()) {
        const ssize_t got = read(file.get(), text.data() + used, text.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        used += static_cast<size_t>(got);
    }
    if (used > limit) // grew since it was measured
        return std::nullopt;
    text.resize(used);
    return text;
}

namespace {

bool write_all(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

UniqueFd create_exclusively(int folder, const std::string& name)
{
    return UniqueFd(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
}

} // namespace

bool write_new_file(int folder, const std::string& name, const std::string& final_name, const std::string& text)
{
    UniqueFd out = create_exclusively(folder, name);
    if (!out && errno == EEXIST) {
        remove_name(folder, name);
        out = create_exclusively(folder, name);
    }
    if (!out)
        return false;
    const bool written = write_all(out.get(), text);
    out.reset();
    if (!written || renameat(folder, name.c_str(), folder, final_name.c_str()) != 0) {
        unlinkat(folder, name.c_str(), 0);
        return false;
    }
    return true;
}

void remove_name(int folder, const std::string& name)
{
    if (unlinkat(folder, name.c_str(), 0) != 0 && errno == EISDIR)
        unlinkat(folder, name.c_str(), AT_REMOVEDIR);
}

} // namespace platform::registry_folder
