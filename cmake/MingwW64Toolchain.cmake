# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads:
# the win32 thread model has no std::mutex, which JUCE needs).
# Used by scripts/build-windows.sh for Varnoke.dll and for the static libpng and
# libjpeg-turbo it links.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib CACHE FILEPATH "")

# Headers and libraries come from the mingw tree and the static libraries that
# scripts/build-windows.sh builds; programs and CMake packages (JUCE's, whose
# code generator runs here) from the build machine.
set(VARNOKE_WINDOWS_DEPS_PREFIX "" CACHE PATH "Prefix of the static mingw libpng and libjpeg-turbo")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VARNOKE_WINDOWS_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
list(APPEND CMAKE_PREFIX_PATH /usr/lib/x86_64-linux-gnu/cmake)

# A static runtime: the DLL and the test programs need no mingw DLLs next to them.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
