# Warnings for every target of the project; errors where QOR_WERROR is on (CI).
function(qor_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Wundef
    -Wnon-virtual-dtor -Wold-style-cast)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wuseless-cast)
    if(QOR_SANITIZE)
      # The sanitizers' instrumentation makes GCC see uninitialized members in
      # the standard library's own code (std::regex, std::function) that are not there.
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "arm")
    # GCC's notes on the ARM parameter-passing change of GCC 7.1 are not defects.
    target_compile_options(${target} PRIVATE -Wno-psabi)
  endif()
  if(QOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
