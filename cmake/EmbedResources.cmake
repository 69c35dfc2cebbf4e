# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a C++ source holding the bytes of INPUT (a .res file) that registers them at static
# initialisation as the resources of the executable it is linked into.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n"
"#include <kelvora_host.h>\n"
"namespace {\n"
"const unsigned char resource_bytes[${size} + 1] = {\n${bytes}0};\n"
"const bool registered = kelvora_register_resources(resource_bytes, ${size});\n"
"}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
