// Start-up of the program.
#ifndef KELVORA_KELVORA_H
#define KELVORA_KELVORA_H

#include <windows.h>

bool initInstance(HINSTANCE instance, int showCommand);

#endif
