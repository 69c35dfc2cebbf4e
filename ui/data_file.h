// SPDX-License-Identifier: GPL-3.0-or-later
// The "Load" and "Save" menu commands: a file dialog, then the points file.
#ifndef KELVORA_DATA_FILE_H
#define KELVORA_DATA_FILE_H

#include <windows.h>

#include "points_file.h"

void saveDataFile(HWND owner);
void loadDataFile(HWND owner);

// The sentences a load's message box shows: what the file holds and what was loaded, or why nothing
// was. loadedCount is the table's count after the load.
void describeLoad(WCHAR* message, int capacity, PointsFileStatus status, const PointsFileReport* report,
                  int loadedCount);

#endif
