#!/usr/bin/env bash
# The kernels' object files, as built: no fused multiply-add anywhere (it
# rounds once where the formulas round twice), and the wide kernels' files
# define no code but their entry points. Anything else they defined (an inline
# function of a library header, say) could be picked by the linker for the
# whole program, and the plain code would then run AVX instructions on a
# processor without them. Objects built for AArch64 are read with OBJDUMP
# (aarch64-linux-gnu-objdump), where the fused forms are fmadd, fmsub,
# fnmadd, fnmsub, fmla and fmls. Usage: [OBJDUMP=...] check-kernel-objects.sh OBJECT...
set -euo pipefail
objdump=${OBJDUMP:-objdump}
status=0
for object in "$@"; do
  name=$(basename "$object")
  if "$objdump" -d --no-show-raw-insn "$object" |
    grep -Eq '\s(v?f(n)?m(add|sub)|vfmaddsub|vfmsubadd)[0-9a-z]*\s|\sfml[as](l2?)?\s'; then
    echo "$name: fused multiply-add instructions"
    status=1
  fi
  case "$name" in
    ShaperKernelAvx2*) wanted=runShaperKernelAvx2 ;;
    ShaperKernelAvx512*) wanted=runShaperKernelAvx512 ;;
    *) continue ;;
  esac
  # Code only (T, W, i); the exception-handling personality reference is
  # data. A compiler's own helper (clang's __clang_call_terminate, say) may
  # stay if it holds no VEX or EVEX instruction.
  for symbol in $(nm --defined-only --extern-only "$object" | awk '$2 ~ /^[TWi]$/ { print $3 }'); do
    [[ "$(c++filt "$symbol")" == "varnoke::$wanted("* ]] && continue
    if "$objdump" -d --no-show-raw-insn --disassemble="$symbol" "$object" | grep -Eq '^\s+[0-9a-f]+:\s+v[a-z]'; then
      echo "$name defines $(c++filt "$symbol") with wide instructions besides $wanted"
      status=1
    fi
  done
done
[ "$status" -eq 0 ] && echo "kernel objects: no FMA, wide kernels export only their entry points"
exit "$status"
