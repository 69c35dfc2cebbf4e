// SPDX-License-Identifier: GPL-3.0-or-later
// Picture files through the atomic replace of points files, with the reason of a failure told once.
#include "picture_file.h"

#include <errno.h>
#include <kelvora_host.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

bool writePictureFile(const char* path, FileWriter write, const void* content, const char* writerMessage)
{
    // What is there and no regular file (a device, a folder, a pipe) is never replaced: said before a
    // temporary file is made beside it.
    struct stat existing;
    if (stat(path, &existing) == 0 && !S_ISREG(existing.st_mode)) {
        fprintf(stderr, "kelvora-fit: %s: not a regular file; it is left as it is\n", path);
        return false;
    }
    PointsFileStatus status = writeFileReplacing(kelvora_file_name_from_host(path).c_str(), write, content);
    if (status == POINTS_FILE_OK) return true;
    const char* reason = errno != 0 ? strerror(errno) : writerMessage[0] != 0 ? writerMessage : "write error";
    if (status == POINTS_FILE_REPLACE_FAILED) {
        fprintf(stderr, "kelvora-fit: %s: cannot be replaced: %s\n", path, reason);
    } else {
        fprintf(stderr, "kelvora-fit: %s: %s\n", path, reason);
    }
    return false;
}

