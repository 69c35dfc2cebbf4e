# SPDX-License-Identifier: GPL-3.0-or-later
# The icon script, run again, writes the resource icon byte for byte: the desktop icons and the
# program's own icon come from one drawing.
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${PYTHON}" "${SCRIPT}" "${WORK}/kelvora.ico" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_icon.py failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/kelvora.ico" "${ICON}" RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "make_icon.py no longer draws ${ICON}")
endif()
