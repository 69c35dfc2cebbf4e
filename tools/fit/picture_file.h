// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a picture file of kelvora-fit (PNG, SVG, PDF) so that a failure harms nothing already there.
#ifndef KELVORA_PICTURE_FILE_H
#define KELVORA_PICTURE_FILE_H

#include "points_file.h"

// Writes a picture through the routine that saves points files: a failure leaves whatever path named
// as it was, and one line on standard error says what failed (errno, else writerMessage, which write
// fills in content, else "write error"). Something there that is no regular file is never replaced.
bool writePictureFile(const char* path, FileWriter write, const void* content, const char* writerMessage);

#endif
