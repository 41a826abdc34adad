# What JUCE needs from outside on Windows: the static image libraries that
# scripts/build-windows.sh builds (libpng, libjpeg-turbo), mingw's static zlib,
# and the Windows system libraries its window, COM and network code calls.

if(NOT VARNOKE_WINDOWS_DEPS_PREFIX OR NOT EXISTS "${VARNOKE_WINDOWS_DEPS_PREFIX}/include/jpeglib.h")
  message(FATAL_ERROR "VARNOKE_WINDOWS_DEPS_PREFIX must name the static mingw libpng and libjpeg-turbo "
                      "(scripts/build-windows.sh builds them)")
endif()

add_library(varnoke_windows_libraries INTERFACE)
# windows-include/ goes first: it completes jpeglib.h for the Windows headers.
target_include_directories(varnoke_windows_libraries SYSTEM INTERFACE
  ${CMAKE_CURRENT_LIST_DIR}/windows-include
  ${VARNOKE_WINDOWS_DEPS_PREFIX}/include)
target_link_directories(varnoke_windows_libraries INTERFACE ${VARNOKE_WINDOWS_DEPS_PREFIX}/lib)
# The linker runs with -static (see the toolchain file), so these are the .a archives.
target_link_libraries(varnoke_windows_libraries INTERFACE
  png16 jpeg z
  ole32 oleaut32 uuid winmm imm32 version shlwapi comdlg32 wininet ws2_32 dxgi)

# FST's VST 2.4 declarations live in the build machine's /usr/include, which
# the cross compiler must not search as a whole: give it just that folder.
set(VARNOKE_FST_INCLUDE ${CMAKE_BINARY_DIR}/fst-include)
file(MAKE_DIRECTORY ${VARNOKE_FST_INCLUDE})
file(CREATE_LINK /usr/include/pluginterfaces ${VARNOKE_FST_INCLUDE}/pluginterfaces SYMBOLIC)
add_library(varnoke_fst_headers INTERFACE)
target_include_directories(varnoke_fst_headers SYSTEM INTERFACE ${VARNOKE_FST_INCLUDE})
target_link_libraries(varnoke_windows_libraries INTERFACE varnoke_fst_headers)
