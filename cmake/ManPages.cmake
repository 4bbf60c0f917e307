# Manual pages made from each program's own --help and --version by help2man,
# so they never say what the program does not: kv_man_pages(component program...)
# builds and installs <program>.1.gz, with docs/man/<program>.h2m for the
# sections the help has no place for (NAME, EXIT STATUS, FILES, SEE ALSO).
#
# KELVANE_MAN_PAGES: AUTO builds them when help2man is found and says so when
# not (a packager's build must not fail for a manual page); ON requires
# help2man (CI); OFF leaves them out.
set(KELVANE_MAN_PAGES AUTO CACHE STRING "Build the manual pages with help2man: AUTO, ON or OFF")
set_property(CACHE KELVANE_MAN_PAGES PROPERTY STRINGS AUTO ON OFF)

set(KV_MAN_ENABLED OFF)
if(NOT KELVANE_MAN_PAGES STREQUAL "OFF")
  find_program(KV_HELP2MAN help2man)
  find_program(KV_GZIP gzip)
  if(KV_HELP2MAN AND KV_GZIP)
    set(KV_MAN_ENABLED ON)
  elseif(KELVANE_MAN_PAGES STREQUAL "ON")
    message(FATAL_ERROR "KELVANE_MAN_PAGES=ON needs help2man and gzip (apt-get install help2man)")
  else()
    message(STATUS "help2man not found: the manual pages are left out (apt-get install help2man)")
  endif()
endif()

set(KV_MAN_DIR ${CMAKE_BINARY_DIR}/man)
if(KV_MAN_ENABLED)
  file(MAKE_DIRECTORY ${KV_MAN_DIR})
  add_custom_target(man ALL)
endif()

function(kv_man_pages component)
  if(NOT KV_MAN_ENABLED)
    return()
  endif()
  foreach(program IN LISTS ARGN)
    set(include ${PROJECT_SOURCE_DIR}/docs/man/${program}.h2m)
    set(page ${KV_MAN_DIR}/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${KV_HELP2MAN} --no-info --no-discard-stderr --include=${include}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${KV_GZIP} -9nf ${page}
      DEPENDS ${program} ${include}
      COMMENT "Manual page ${program}.1"
      VERBATIM)
    add_custom_target(man_${program} DEPENDS ${page}.gz)
    add_dependencies(man man_${program})
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
endfunction()
