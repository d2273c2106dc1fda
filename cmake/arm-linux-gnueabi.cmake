# The hub: 32-bit ARM, armel (soft-float, ARMv5 class), Debian's cross compiler.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The tests run the hub's binaries under qemu-arm against Debian's armel C and C++
# libraries (multiarch, at the host's versions). The cross toolchain's own copy
# of the C library (/usr/arm-linux-gnueabi) is older: under qemu 7.2 the child of
# every fork() crashes with it.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
