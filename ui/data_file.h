// The "Load" and "Save" menu commands: a file dialog, then the points file.
#ifndef KELVORA_DATA_FILE_H
#define KELVORA_DATA_FILE_H

#include <windows.h>

void saveDataFile(HWND owner);
void loadDataFile(HWND owner);

#endif
