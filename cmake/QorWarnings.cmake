# Warnings for every target of the project; errors where QOR_WERROR is on (CI).
function(qor_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Wundef
    -Wnon-virtual-dtor -Wold-style-cast -Wuseless-cast)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "arm")
    # GCC's notes on the ARM parameter-passing change of GCC 7.1 are not defects.
    target_compile_options(${target} PRIVATE -Wno-psabi)
  endif()
  if(QOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
