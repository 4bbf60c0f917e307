# The programs with firm.mot beside them, desktop entries, icons, manual pages
# and each package's copyright and changelog. Two install components make two
# Debian packages with `cpack -G DEB` in the build folder:
#   kelvane-cli  kelvane-cli, vireo-sim and firm.mot: no Qt, for headless line PCs;
#   kelvane      kelvane and kelvlite with their desktop entries and icons; it
#                depends on kelvane-cli, which brings the firm.mot kelvlite reads.
# A build without Qt packs kelvane-cli alone. `cmake --install` installs both.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake)

# The installed programs of each package: another one is one more name here.
set(KV_DESKTOP_PROGRAMS kelvane kelvlite)
set(KV_CLI_PROGRAMS kelvane-cli vireo-sim)

set(CPACK_PACKAGE_CONTACT "Kelvane developers <kelvane@localhost>")
include(${CMAKE_CURRENT_LIST_DIR}/PackageDocs.cmake)

# kelvane-cli and kelvlite both read firm.mot beside their program file: it
# is installed once, with kelvane-cli, and the desktop package depends on it.
install(TARGETS ${KV_CLI_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES res/firm.mot DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
kv_man_pages(cli ${KV_CLI_PROGRAMS})
kv_package_docs(cli kelvane-cli)

install(TARGETS ${KV_DESKTOP_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
install(FILES res/desktop/kelvane.desktop res/desktop/kelvlite.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
# The S-record and Intel HEX types the desktop entries open; dpkg's triggers
# bring the MIME and desktop databases up to date.
install(FILES res/desktop/kelvane-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages COMPONENT desktop RENAME kelvane.xml)
install(FILES res/kelvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
install(FILES res/kelvane.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps COMPONENT desktop)
kv_man_pages(desktop ${KV_DESKTOP_PROGRAMS})
kv_package_docs(desktop kelvane)

set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "Kelvane")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kelvane)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
if(KV_HAVE_QT)
  set(CPACK_COMPONENTS_ALL cli desktop)
else()
  # Without Qt kelvane and kelvlite have no desktop windows: no desktop package.
  set(CPACK_COMPONENTS_ALL cli)
  message(STATUS "Built without Qt: cpack packs kelvane-cli only")
endif()
# The packaging's own revision: 2.0.0-1 is the first with kelvane-cli apart.
# docs/debian/changelog has an entry for each version (scripts/check-packages).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(kv_deb_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The shared libraries each package's programs link (Qt, the C++ run-time)
# become its dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Each description's first line is its package's summary (CPack would put a
# CPACK_PACKAGE_DESCRIPTION_SUMMARY before both, so there is none).
set(CPACK_DEBIAN_CLI_PACKAGE_NAME kelvane-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "Command-line flash programmer for Vireo microcontrollers
kelvane-cli unlocks a Vireo chip with its ID code, erases, programs,
blank-checks, reads back, compares and saves its flash memory through the
chip's serial boot loader, from one command line and without questions:
for scripts, build rigs and production lines, one board or many at once.
Its exit status tells whether the board is good. It needs no display and
no Qt. vireo-sim is a simulated chip on a pseudo-terminal to try it (and
the desktop programs of the package kelvane) without a board.")
# Up to 2.0.0 the package kelvane held kelvane-cli, vireo-sim and firm.mot.
set(CPACK_DEBIAN_CLI_PACKAGE_BREAKS "kelvane (<< 2.0.0-1)")
set(CPACK_DEBIAN_CLI_PACKAGE_REPLACES "kelvane (<< 2.0.0-1)")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME kelvane)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "Flash programmer for Vireo microcontrollers over the serial boot loader
Kelvane unlocks a Vireo chip with its ID code, erases, programs, blank-checks,
reads back and compares its flash memory, reads its status and boot-loader
version and downloads boot programs, all through the chip's serial boot
loader, in desktop windows (or dialogs on the console). kelvlite serves the
Vireo/L chips. The command-line program kelvane-cli and the simulated chip
vireo-sim come with the package kelvane-cli.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "kelvane-cli (= ${kv_deb_version})")
# Wayland desktops need the Wayland plugin; without it Qt uses X11 through XWayland.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "hicolor-icon-theme, qt6-wayland")
include(CPack)
