# What `cmake --install` puts under the prefix: the three programs in bin/, the desktop entry, the
# icons in the hicolor theme (drawn at build time by tools/make_icon.py) and the manual pages.
include(GNUInstallDirs)

set(KELVORA_MAN_PAGES kelvora kelvora-fit kelvora-replay)
foreach(page IN LISTS KELVORA_MAN_PAGES)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

foreach(program IN ITEMS kelvora kelvora-fit kelvora-replay)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/res/kelvora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${KELVORA_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
