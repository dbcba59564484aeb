# Cross build for 32-bit ARM Linux with hardware floating point (Raspberry
# Pi OS and Debian armhf) with Debian's g++-arm-linux-gnueabihf, the tests
# run under qemu-arm:
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
# Debian's compiler makes ARMv7 code (Raspberry Pi 2 and later); a Pi with
# an ARMv6 processor (Pi 1, Zero) builds the programs for itself.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(triple arm-linux-gnueabihf)
set(qemu qemu-arm)
# GCC notes at each std::span or initializer_list passed by value that
# GCC 7.1 changed how this ABI passes them: nothing built with GCC before 7.1
# is linked here.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
set(DEB_ARCHITECTURE armhf CACHE STRING "Debian architecture of the package")
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
