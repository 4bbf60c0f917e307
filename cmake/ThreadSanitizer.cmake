# KELVANE_TSAN: everything built with ThreadSanitizer, for the code that runs
# threads (one per port in a kelvane-cli run of many boards, the channel's
# watcher). It cannot be combined with AddressSanitizer.
option(KELVANE_TSAN "Build with ThreadSanitizer (not together with KELVANE_SANITIZE)" OFF)
if(KELVANE_TSAN)
  if(KELVANE_SANITIZE)
    message(FATAL_ERROR "KELVANE_TSAN and KELVANE_SANITIZE cannot be combined: build them apart")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
