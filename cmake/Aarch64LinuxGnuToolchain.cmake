# Cross-compiles for 64-bit ARM Linux with Debian's cross toolchain
# (crossbuild-essential-arm64) and the arm64 libraries of a Debian system
# with arm64 as a foreign architecture. Used by scripts/build-arm64.sh, in
# the throwaway Debian root it makes.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_AR aarch64-linux-gnu-ar CACHE FILEPATH "")
set(CMAKE_RANLIB aarch64-linux-gnu-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP aarch64-linux-gnu-objdump CACHE FILEPATH "")
set(CMAKE_STRIP aarch64-linux-gnu-strip CACHE FILEPATH "")
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")

# Headers and libraries are the arm64 packages' (Debian's multiarch folders);
# programs and CMake packages come from the build machine: JUCE's, whose code
# generator (juceaide) runs here, is the amd64 package's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
list(APPEND CMAKE_PREFIX_PATH /usr/lib/x86_64-linux-gnu/cmake)

# The test programs run under qemu-user (gtest_discover_tests lists their tests with it).
find_program(VARNOKE_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(VARNOKE_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNOKE_QEMU_AARCH64})
endif()
