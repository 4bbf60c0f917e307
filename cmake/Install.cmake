# The programs with firm.mot beside kelvlite, desktop entries and the icon;
# `cpack -G DEB` in the build folder packs the same files as a Debian package.
include(GNUInstallDirs)

# Every installed program: another one is one more name here.
set(KV_INSTALLED_PROGRAMS kelvane kelvlite kelvane-cli vireo-sim)

install(TARGETS ${KV_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES res/firm.mot DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES res/desktop/kelvane.desktop res/desktop/kelvlite.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES res/kelvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES res/kelvane.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)

set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "Kelvane")
set(CPACK_PACKAGE_CONTACT "Kelvane developers <kelvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Flash programmer for Vireo microcontrollers over the serial boot loader")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvane unlocks a Vireo chip with its ID code, erases, programs, blank-checks,\n"
    "reads back and compares its flash memory, reads its status and boot-loader\n"
    "version and downloads boot programs, all through the chip's serial boot\n"
    "loader. kelvlite serves the Vireo/L chips, kelvane-cli does the same from one\n"
    "command line for scripts and production lines, and vireo-sim is a simulated chip\n"
    "on a pseudo-terminal to try both programs without a board.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kelvane)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The shared libraries the programs link (Qt, the C++ run-time) become the
# package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Wayland desktops need the Wayland plugin; without it Qt uses X11 through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme, qt6-wayland")
include(CPack)
