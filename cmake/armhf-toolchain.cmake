# Cross build for 32-bit ARM hard-float Linux with Debian's toolchain
# (g++-arm-linux-gnueabihf); tests run under qemu-arm (qemu-user).
#   cmake -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

set(QUORLEN_ARMHF_SYSROOT /usr/arm-linux-gnueabihf)
# The cross toolchain's own sysroot first, then Debian's multiarch root "/":
# below it, with CMAKE_LIBRARY_ARCHITECTURE, libraries come from
# /usr/lib/arm-linux-gnueabihf (packages of dpkg --add-architecture armhf)
# and headers and header-only packages (nlohmann-json3-dev, libcli11-dev:
# Architecture all) from /usr/include and /usr/share/cmake.  The compiler
# itself searches /usr/include last.  Appended, so a staging prefix given
# with -DCMAKE_FIND_ROOT_PATH stays in front; the file is read again for
# every compile check, hence no duplicates.
list(APPEND CMAKE_FIND_ROOT_PATH ${QUORLEN_ARMHF_SYSROOT} /)
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QUORLEN_QEMU_ARM qemu-arm)
if(QUORLEN_QEMU_ARM)
  # The toolchain's C library must go with its own loader: once armhf
  # packages are installed, the loader's cache names Debian's armhf C library
  # first, a different build, and threads then crash.  Other libraries (the
  # multiarch ones) are still found through the cache.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORLEN_QEMU_ARM} -L ${QUORLEN_ARMHF_SYSROOT}
      -E LD_LIBRARY_PATH=${QUORLEN_ARMHF_SYSROOT}/lib)
endif()
