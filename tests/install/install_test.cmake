# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into PREFIX and checks every file that lands there: nothing missing, nothing else,
# programs that answer --version, a desktop entry that validates and names them, PNG icons of their
# stated sizes, an SVG, compressed manual pages that render without warnings, and the AppStream metadata
# (checked in full with the Debian package).
#   cmake -DBUILD=<build dir> -DPREFIX=<scratch prefix> -DVERSION=<project version> -P this
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${err}")
endif()

set(programs kelvora kelvora-fit kelvora-replay)
set(icon_sizes 32 48 128 256)
set(expected share/applications/kelvora.desktop share/icons/hicolor/scalable/apps/kelvora.svg
             share/metainfo/invalid.kelvora.kelvora.metainfo.xml)
foreach(program IN LISTS programs)
  list(APPEND expected bin/${program} share/man/man1/${program}.1.gz)
endforeach()
foreach(size IN LISTS icon_sizes)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/kelvora.png)
endforeach()
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " installed "${installed}")
  string(REPLACE ";" "\n  " expected "${expected}")
  message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

# Programs: executable and answering --version with their own name and the project's version, then
# the licence.
foreach(program IN LISTS programs)
  execute_process(COMMAND "${PREFIX}/bin/${program}" --version RESULT_VARIABLE status OUTPUT_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${program} ${VERSION}\nLicense GPL-3.0-or-later: GNU GPL version 3 or later\n")
    message(SEND_ERROR "${program} --version: exit ${status}, '${out}'")
  endif()
endforeach()

# Desktop entry: what a menu needs, pointing at the installed program and icon.
set(entry "${PREFIX}/share/applications/kelvora.desktop")
file(STRINGS "${entry}" lines)
foreach(wanted "Type=Application" "Name=Kelvora" "Exec=kelvora" "Icon=kelvora" "Categories=Education;Science;Math;")
  if(NOT wanted IN_LIST lines)
    message(SEND_ERROR "the desktop entry lacks ${wanted}")
  endif()
endforeach()
if(NOT ";${lines};" MATCHES ";Comment=[^;]+;")
  message(SEND_ERROR "the desktop entry has no comment")
endif()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  # Hints are advice (the three main categories are wanted); errors and warnings are not.
  if(NOT status EQUAL 0 OR "${out}${err}" MATCHES "error:|warning:")
    message(SEND_ERROR "desktop-file-validate: exit ${status}\n${out}${err}")
  endif()
else()
  message(STATUS "desktop-file-validate not found: the entry is not validated")
endif()

# Icons: PNG signature, then IHDR with width and height (big-endian) equal to the folder's size.
foreach(size IN LISTS icon_sizes)
  set(png "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/kelvora.png")
  file(READ "${png}" head LIMIT 24 HEX)
  math(EXPR side "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${side}" 2 -1 side)
  string(LENGTH "${side}" digits)
  while(digits LESS 8)
    string(PREPEND side "0")
    math(EXPR digits "${digits} + 1")
  endwhile()
  if(NOT head STREQUAL "89504e470d0a1a0a0000000d49484452${side}${side}")
    message(SEND_ERROR "${png} is not a ${size} x ${size} PNG: ${head}")
  endif()
endforeach()
file(READ "${PREFIX}/share/icons/hicolor/scalable/apps/kelvora.svg" svg)
if(NOT svg MATCHES "^<svg xmlns=\"http://www.w3.org/2000/svg\"[^>]* viewBox=\"[^\"]+\">.*</svg>\n$")
  message(SEND_ERROR "the scalable icon is not an SVG document")
endif()

# Manual pages: rendered by man with groff's warnings on, each naming its program and version, and its
# licence under COPYRIGHT.
find_program(MAN man REQUIRED)
foreach(program IN LISTS programs)
  set(page "${PREFIX}/share/man/man1/${program}.1.gz")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 "${MAN}" --warnings -l "${page}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out MATCHES "^[^\n]*\n\nNAME\n +${program} - [^\n]+\n.*\nSYNOPSIS\n.*\nCOPYRIGHT\n.*GPL-3\\.0-or-later.*Kelvora ${VERSION}")
    message(SEND_ERROR "man -l ${page}: exit ${status}\n${err}\n${out}")
  endif()
endforeach()
