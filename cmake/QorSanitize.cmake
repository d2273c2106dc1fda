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
endif()

# QOR_FUZZ=ON (clang only) instruments the whole tree for libFuzzer's coverage
# and builds the fuzz targets of tests/fuzz as libFuzzer programs (target
# qor-fuzzers); scripts/fuzz makes such a build in build/fuzz.
option(QOR_FUZZ "Build the fuzz targets with libFuzzer (clang)" OFF)

if(QOR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QOR_FUZZ needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
