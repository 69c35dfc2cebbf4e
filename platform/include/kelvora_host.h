// SPDX-License-Identifier: GPL-3.0-or-later
// Host glue for a program written against this Win32 layer: where its resources come from and which
// backend runs it. Not part of Win32; only build files, tools and tests use it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Registers the bytes of a compiled .res file as the resources of the running module. The build links
// a generated source that calls it during static initialisation.
bool kelvora_register_resources(const unsigned char* data, std::size_t size);

// UTF-8 text of the host (scripts, the desktop clipboard and text input) to and from the wide text of
// the program. Broken UTF-8 reads as U+FFFD, one for each byte that starts no well-formed sequence; a
// lone surrogate or a value beyond U+10FFFF is written as U+FFFD, a surrogate pair as its one character,
// and NUL is left out.
std::string kelvora_to_utf8(std::wstring_view text);
std::wstring kelvora_from_utf8(std::string_view text);

// A file name given by the host (a command-line argument) as the wide name _wfopen takes; bytes that
// are not UTF-8 are kept, so every name the host can give opens.
std::wstring kelvora_file_name_from_host(std::string_view name);
