# Cross build for the device: 32-bit Arm, hard float, Debian's multiarch libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
# Debian's cross compilers, unless a firmware build names its own (-DCMAKE_C_COMPILER=...).
if(NOT CMAKE_C_COMPILER)
  set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
endif()
if(NOT CMAKE_CXX_COMPILER)
  set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
endif()
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

# No binfmt_misc here: whatever runs a cross-built program goes through the emulator. Its
# library root is the host's own multiarch tree, where ld.so and libc come from one package:
# the cross toolchain's ld.so under /usr/arm-linux-gnueabihf paired with the multiarch libc
# (which holds json-c) makes every forked child crash.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
