# What the Linux cross builds share (aarch64-linux-gnu.cmake,
# arm-linux-gnueabihf.cmake, which set `triple` and `qemu` first): Debian's
# cross compilers for the target, its libraries in /usr/<triple>, and the
# tests run under qemu-user with that folder as the target's root.
set(CMAKE_SYSTEM_NAME Linux)

find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++ REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the cross build (add_test, and the programs that the emulated
# end-to-end tests start) run under qemu-user.
find_program(QEMU_PROGRAM NAMES ${qemu})
if(QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_PROGRAM} -L /usr/${triple})
endif()
