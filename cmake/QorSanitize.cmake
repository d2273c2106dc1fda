# QOR_SANITIZE=ON builds every target of the tree (programs, library, tests,
# host tools) with AddressSanitizer and UndefinedBehaviorSanitizer; the first
# finding ends the program with an error. Native builds only.
option(QOR_SANITIZE "Build every target with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(QOR_SANITIZE)
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "QOR_SANITIZE is for native builds")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The runtimes linked into each program come first whatever a run preloads
    # (libfaketime in the long-pause tests), as AddressSanitizer requires.
    add_link_options(-static-libasan -static-libubsan)
  endif()
endif()
