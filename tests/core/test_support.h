// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the core tests: reference data location and temporary folders.
#ifndef KELVORA_TEST_SUPPORT_H
#define KELVORA_TEST_SUPPORT_H

#include <string>

// Path of a reference data file: the shared data folder beside the repository when it holds the file,
// else the copy under tests/core/data.
std::string referenceDataPath(const char* name);

// A fresh empty folder under the system's temporary folder, removed with its files by removeFolder.
std::string makeTempFolder();
void removeFolder(const std::string& folder);

// Widens an ASCII path to the program's wide text.
std::wstring widen(const std::string& text);

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& content);

#endif
