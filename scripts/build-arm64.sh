#!/usr/bin/env bash
# Cross-builds Varnoke for 64-bit ARM Linux (aarch64-linux-gnu): Varnoke.so
# (VST 2.4), Varnoke.vst3 (Contents/aarch64-linux/), Varnoke.lv2,
# varnoke-render and the Debian package varnoke_<version>_arm64.deb, into
# build-arm64/ of this checkout.
#
# The build runs in a throwaway Debian root made with mmdebstrap from this
# machine's apt configuration, with arm64 as a foreign architecture there
# (Debian's cross toolchain, crossbuild-essential-arm64, and the arm64
# libraries JUCE needs), so that this machine's own list of package
# architectures is never changed (scripts/lib/throwaway-root.sh: a private
# mount and process namespace, the root removed on every exit). apt's
# downloads and ccache's folder are kept for the next run in CACHE
# (VARNOKE_ARM64_CACHE, default ~/.cache/varnoke/arm64). JUCE's code
# generator runs on the build machine: it comes from the amd64 JUCE package.
#
# With --check X86_RENDER the same root then runs, under this machine's
# qemu-user (qemu-aarch64-static, bind-mounted into the root): the unit
# tests of the signal path and processor, cross-built; varnoke-render, a VST3
# host of the tests (varnoke-vst3-render) and Debian's lv2apply for arm64 on
# the demo and a table of inputs and knob settings at 44.1, 48 and 96 kHz,
# whose every output must equal X86_RENDER's (an x86-64 build's
# varnoke-render), bit for bit; and lv2info reading the arm64 bundle.
#
# Usage: scripts/build-arm64.sh [--commit REV] [--check X86_RENDER]
#   --commit  what to build (default HEAD; uncommitted changes are not in it)
# Needs root or passwordless sudo. Without --check it installs what it needs
# (scripts/install-dependencies.sh arm64); with --check it exits 77 (skipped)
# when something is missing, or fails then when VARNOKE_ARM64_REQUIRED=1 (CI).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: build-arm64.sh [--commit REV] [--check X86_RENDER]"

commit=HEAD
x86_render=
args=("$@")
while (($#)); do
  case "$1" in
    --commit) commit=${2:?$usage} ;;
    --check) x86_render=$(realpath "${2:?$usage}") ;;
    *)
      echo "$usage" >&2
      exit 2
      ;;
  esac
  shift 2
done

required_variable=VARNOKE_ARM64_REQUIRED
cache_variable=VARNOKE_ARM64_CACHE
cache=${VARNOKE_ARM64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnoke/arm64}
# shellcheck source=lib/throwaway-root.sh
. "$repo/scripts/lib/throwaway-root.sh"
if [[ -z "$x86_render" && "${VARNOKE_ROOT_NAMESPACE:-}" != inside ]]; then
  "$repo/scripts/install-dependencies.sh" arm64
fi
require_root_tools git
[[ -z "$x86_render" ]] || require_root_tools qemu-aarch64-static sox python3
enter_namespaces "${args[@]}"

commit=$(git -C "$repo" rev-parse --verify "$commit^{commit}")
[[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ]] ||
  echo "Note: the tree has uncommitted changes; the build uses commit $commit alone."
mkdir -p "$cache/ccache"
prepare_root_folder
output=$repo/build-arm64
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

step "making a Debian root with arm64 as a foreign architecture (mmdebstrap)"
# The build machine's tools (amd64) and the arm64 libraries and headers.
# locales: the definitions the state tests compile a decimal-comma locale from.
# g++: the build machine's compiler, for the generator of the preset files.
tools=(ca-certificates git cmake ninja-build ccache file dpkg-dev g++ crossbuild-essential-arm64 fst-dev locales)
arm64=(pkgconf libflac-dev libvorbis-dev libfreetype-dev libpng-dev libjpeg-dev zlib1g-dev libx11-dev libxext-dev
  libxrandr-dev libxinerama-dev libxcursor-dev lv2-dev libgtest-dev liblilv-dev lilv-utils libstdc++6)
# JUCE's package (amd64: its modules are sources, and its code generator,
# juceaide, runs on the build machine) is unpacked alone, beside the
# libraries juceaide loads: its dependencies are the amd64 development
# packages of JUCE's other modules (GTK, WebKit, ALSA), half of the root,
# which an arm64 build never uses.
juceaide_libraries=(libfreetype6 libpng16-16 libjpeg62-turbo zlib1g libstdc++6)
include=$(printf '%s,' "${tools[@]}" "${juceaide_libraries[@]}" "${arm64[@]/%/:arm64}")
make_debian_root --architectures=amd64,arm64 --include="${include%,}" --skip=cleanup/apt/lists
for package in juce-modules-source juce-modules-source-data; do
  file=$(in_root apt-cache show --no-all-versions "$package:amd64" 2>/dev/null | awk '/^Filename:/ { print $2 }')
  [[ -n "$file" ]] || { echo "apt in the root knows no $package" >&2; exit 1; }
  archive=$cache/apt-archives/$(basename "$file")
  if [[ ! -s "$archive" ]]; then
    in_root sh -c "cd /tmp && apt-get download -q '$package:amd64'" >/dev/null 2>&1
    cp "$root/tmp/${package}_"*_amd64.deb "$archive"
  fi
  dpkg-deb -x "$archive" "$root"
done

step "the commit under test, and the cross-build"
git clone --quiet --no-hardlinks --no-checkout "$repo" "$root/src"
git -C "$root/src" checkout --quiet --detach "$commit"
mkdir -p "$root/ccache"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind "$cache/ccache" "$root/ccache"
if [[ -n "$x86_render" ]]; then
  # This machine's qemu-user runs the arm64 programs in the root (the build
  # lists the unit tests with it too).
  touch "$root/usr/bin/qemu-aarch64-static"
  mount --bind "$(command -v qemu-aarch64-static)" "$root/usr/bin/qemu-aarch64-static"
fi
build_in_root() {
  in_root env CCACHE_DIR=/ccache bash -c "$1" >>"$cache/build.log" 2>&1 || {
    tail -n 40 "$cache/build.log"
    return 1
  }
}
: >"$cache/build.log"
targets="Varnoke Varnoke_VST3 Varnoke_LV2 varnoke-render varnoke_package_docs"
[[ -z "$x86_render" ]] || targets+=" varnoke_core_tests varnoke_processor_tests varnoke-vst3-render"
interruptibly build_in_root "cmake -S /src -B /build -G Ninja -DCMAKE_TOOLCHAIN_FILE=/src/cmake/Aarch64LinuxGnuToolchain.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVARNOKE_BUILD_TESTS=ON -DVARNOKE_BUILD_BENCHMARKS=OFF \
  && cmake --build /build --parallel 2 --target $targets"

step "the Debian package (CPack, dpkg-shlibdeps)"
interruptibly build_in_root "cd /build && cpack --config CPackConfig.cmake"
deb=$(find "$root/build/packages" -maxdepth 1 -name '*_arm64.deb' -print -quit)
[[ -n "$deb" ]] || { echo "CPack wrote no arm64 package" >&2; exit 1; }

step "the results, into $output"
rm -rf "$output"
mkdir -p "$output"
cp -a "$root/build/plugin/Varnoke.so" "$root/build/VST3/Varnoke.vst3" "$root/build/LV2/Varnoke.lv2" \
  "$root/build/bin/varnoke-render" "$deb" "$output/"
chown -R --reference="$repo" "$output"
in_root file /build/plugin/Varnoke.so /build/VST3/Varnoke.vst3/Contents/aarch64-linux/Varnoke.so \
  /build/LV2/Varnoke.lv2/Varnoke.so /build/bin/varnoke-render
dpkg-deb -f "$deb" Package Version Architecture Depends

if [[ -n "$x86_render" ]]; then
  # shellcheck source=lib/arm64-checks.sh
  . "$repo/scripts/lib/arm64-checks.sh"
fi

step "done"
if ((failures)); then
  echo "$failures arm64 check(s) failed"
  exit 1
fi
echo "Built for arm64: $(cd "$output" && echo *)"
