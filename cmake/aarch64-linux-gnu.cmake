# Cross build for 64-bit ARM Linux (Raspberry Pi OS and Debian arm64) with
# Debian's g++-aarch64-linux-gnu, the tests run under qemu-aarch64:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(triple aarch64-linux-gnu)
set(qemu qemu-aarch64)
set(DEB_ARCHITECTURE arm64 CACHE STRING "Debian architecture of the package")
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
