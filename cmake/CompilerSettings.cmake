# Flags shared by every target of the project.
#
# The signal path is specified to the bit: every operation rounds on its own,
# so no fused multiply-add contraction and no fast-math.
add_library(varnoke_compile_options INTERFACE)
target_compile_options(varnoke_compile_options INTERFACE
  -Wall -Wextra
  -ffp-contract=off
  -fno-fast-math)
