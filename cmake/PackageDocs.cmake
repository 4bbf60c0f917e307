# What Debian expects in /usr/share/doc/<package> of every package: the
# copyright file in its machine-readable form (made from LICENSE, so the licence
# text lives once), CHANGELOG.md as changelog.gz and the packaging's own
# changelog (docs/debian/changelog, one entry per package version) as
# changelog.Debian.gz.
set(KV_DOC_BUILD_DIR ${CMAKE_BINARY_DIR}/package-docs)

file(READ ${PROJECT_SOURCE_DIR}/LICENSE kv_license)
string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" kv_license "${kv_license}")
string(REGEX REPLACE "\n+$" "" kv_license "${kv_license}")
# Continuation lines begin with a space; an empty line is " .".
string(REPLACE "\n\n" "\n.\n" kv_license "${kv_license}")
string(REPLACE "\n" "\n " kv_license "${kv_license}")
file(WRITE ${KV_DOC_BUILD_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Kelvane
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: 2026 Kelvane developers
License: Expat

License: Expat
 ${kv_license}
")

find_program(KV_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${KV_DOC_BUILD_DIR}/changelog.gz
  COMMAND ${KV_GZIP} -9nc ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${KV_DOC_BUILD_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  COMMENT "changelog.gz")
add_custom_command(OUTPUT ${KV_DOC_BUILD_DIR}/changelog.Debian.gz
  COMMAND ${KV_GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/debian/changelog > ${KV_DOC_BUILD_DIR}/changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/debian/changelog
  COMMENT "changelog.Debian.gz")
add_custom_target(package_docs ALL DEPENDS ${KV_DOC_BUILD_DIR}/changelog.gz ${KV_DOC_BUILD_DIR}/changelog.Debian.gz)

# kv_package_docs(component package): the copyright file and the changelogs
# into that package's documentation folder.
function(kv_package_docs component package)
  install(FILES ${KV_DOC_BUILD_DIR}/copyright ${KV_DOC_BUILD_DIR}/changelog.gz
                ${KV_DOC_BUILD_DIR}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()
