# SPDX-License-Identifier: GPL-3.0-or-later
# Compiles a resource script with llvm-rc and embeds the resulting .res file in an OBJECT library.
# Linking that library into an executable registers the resources as the module's own at start-up,
# which is where FindResourceW and the other loaders look for them.
#
#   kelvora_add_resources(<target> <script.rc> [DEPENDS files...])

set(KELVORA_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake")

function(kelvora_add_resources target script)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  get_filename_component(script "${script}" ABSOLUTE)
  get_filename_component(script_dir "${script}" DIRECTORY)
  get_filename_component(script_name "${script}" NAME)
  set(res "${CMAKE_CURRENT_BINARY_DIR}/${target}.res")
  set(cpp "${CMAKE_CURRENT_BINARY_DIR}/${target}_res.cpp")
  # llvm-rc reads any argument that starts with "/" as an option, so an absolute input path such as
  # /check/... would parse as the code-page option "/c". The script is named relative to its own folder,
  # which is the working directory; the include folders and the output are values of /I and /FO.
  add_custom_command(
    OUTPUT "${res}"
    COMMAND "${LLVM_RC}" /I "${script_dir}" /I "${PROJECT_SOURCE_DIR}/platform/include" /FO "${res}" "${script_name}"
    DEPENDS "${script}" ${ARG_DEPENDS}
    WORKING_DIRECTORY "${script_dir}"
    COMMENT "Compiling resources ${script}"
    VERBATIM)
  add_custom_command(
    OUTPUT "${cpp}"
    COMMAND "${CMAKE_COMMAND}" -DINPUT=${res} -DOUTPUT=${cpp} -P "${KELVORA_EMBED_SCRIPT}"
    DEPENDS "${res}" "${KELVORA_EMBED_SCRIPT}"
    VERBATIM)
  add_library(${target} OBJECT "${cpp}")
  target_link_libraries(${target} PRIVATE kelvora_platform)
endfunction()
