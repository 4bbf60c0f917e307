# The warnings every target is built with. They are errors only where
# KELVANE_WERROR is on (CI and the test scripts): a packager's or user's build
# with another compiler or optimisation level must not fail on a new warning.
function(kv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
    -Woverloaded-virtual -Wdouble-promotion -Wformat=2
    -Wimplicit-fallthrough)
  if(KELVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
