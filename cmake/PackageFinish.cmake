# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged files before it packs them, doing what dh_fixperms and dh_strip do for a
# package built by debhelper:
# - modes: folders 0755, programs 0755, every other file 0644. The install makes folders with the
#   packager's umask, and a folder of mode 0700 in the package would hide its files from every user
#   but root once installed.
# - the compiler's .comment and .note sections, which strip leaves in the programs, are dropped.
set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(executable ${readable} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
file(GLOB staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/usr/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no programs staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
file(CHMOD_RECURSE ${staged} FILE_PERMISSIONS ${readable} DIRECTORY_PERMISSIONS ${executable})
file(CHMOD ${programs} PERMISSIONS ${executable})

foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_KELVORA_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CPACK_KELVORA_STRIP} failed on ${program}")
  endif()
endforeach()
