// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the core tests.
#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>

std::string referenceDataPath(const char* name)
{
    std::string shared = std::string(KELVORA_SHARED_DATA) + "/" + name;
    if (std::filesystem::exists(shared)) return shared;
    return std::string(KELVORA_TEST_DATA) + "/" + name;
}

std::string makeTempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvora-core-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::string();
    return pattern;
}

void removeFolder(const std::string& folder)
{
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeWholeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}
