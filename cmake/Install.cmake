# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts under the prefix: the three programs in bin/, the desktop entry and its
# AppStream metadata, the icons in the hicolor theme (drawn at build time by tools/make_icon.py) and the
# manual pages, compressed as man-db and Debian's policy expect.
include(GNUInstallDirs)
include(cmake/Release.cmake)

# gzip -n leaves the name and time stamp out of the header, so the same page always compresses to the
# same bytes.
set(KELVORA_MAN_PAGES kelvora kelvora-fit kelvora-replay)
set(man_archives)
foreach(page IN LISTS KELVORA_MAN_PAGES)
  set(source ${PROJECT_BINARY_DIR}/man/${page}.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.in ${source} @ONLY)
  add_custom_command(OUTPUT ${source}.gz
                     COMMAND gzip -9 -n -c ${source} > ${source}.gz
                     DEPENDS ${source}
                     VERBATIM)
  list(APPEND man_archives ${source}.gz)
endforeach()
add_custom_target(kelvora_man ALL DEPENDS ${man_archives})
install(FILES ${man_archives} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Everything the install rules (and the package) take, built by one target: kelvora_installables.
add_custom_target(kelvora_installables)
add_dependencies(kelvora_installables kelvora_man kelvora_icons)
foreach(program IN ITEMS kelvora kelvora-fit kelvora-replay)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    add_dependencies(kelvora_installables ${program})
  endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/res/kelvora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${KELVORA_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# Kelvora has no domain and no public web host of its own. The id and the default screenshot address
# use the reserved name kelvora.invalid, which can never resolve, rather than borrow a domain that is
# someone else's; whoever publishes the pictures sets the base address to where they are.
set(KELVORA_APPSTREAM_ID invalid.kelvora.kelvora)
set(KELVORA_SCREENSHOT_BASE_URL "https://kelvora.invalid"
    CACHE STRING "Web address the repository's files are published under (docs/screens/ holds the screenshot)")
configure_file(${PROJECT_SOURCE_DIR}/res/kelvora.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/metainfo/${KELVORA_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/metainfo/${KELVORA_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
