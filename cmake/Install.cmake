# Both programs with firm.mot beside kelvlite, a desktop entry and an icon.
include(GNUInstallDirs)
install(TARGETS kelvane kelvlite vireo-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES res/firm.mot DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES res/desktop/kelvane.desktop res/desktop/kelvlite.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/res/kelvane.svg)
  install(FILES res/kelvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
# kelvane-cli needs no display; its --help documents every option and exit status.
install(TARGETS kelvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
