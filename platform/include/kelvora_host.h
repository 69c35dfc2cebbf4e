// Host glue for a program written against this Win32 layer: where its resources come from and which
// backend runs it. Not part of Win32; only build files, tools and tests use it.
#pragma once
#include <cstddef>

// Registers the bytes of a compiled .res file as the resources of the running module. The build links
// a generated source that calls it during static initialisation.
bool kelvora_register_resources(const unsigned char* data, std::size_t size);
