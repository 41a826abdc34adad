# Flags shared by every target of the project.

# Code that ends up in the plug-in keeps its symbols to itself: a host process
# must see nothing of ours but the entry point.
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

#
# The signal path is specified to the bit: every operation rounds on its own,
# so no fused multiply-add contraction and no fast-math.
add_library(varnoke_compile_options INTERFACE)
target_compile_options(varnoke_compile_options INTERFACE
  -Wall -Wextra
  -ffp-contract=off
  -fno-fast-math)
