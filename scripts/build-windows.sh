#!/usr/bin/env bash
# Cross-builds the 64-bit Windows plug-in, Varnoke.dll, and its Windows test
# host with mingw-w64, from the same CMake project as the Linux build.
# Usage: scripts/build-windows.sh [BUILD_DIR]     (default: build-windows)
# The result is BUILD_DIR/plugin/Varnoke.dll. Debian ships zlib for mingw but
# not libpng or libjpeg-turbo: they are built once from Debian's source
# packages, as static libraries, into BUILD_DIR/deps.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)

scripts/install-dependencies.sh windows

toolchain=$root/cmake/MingwW64Toolchain.cmake
deps=$build/deps
prefix=$deps/prefix

# apt's source indexes for `apt-get source`, in a private apt state under
# DEPS/apt (its own source files, lists and cache): the machine's own apt
# configuration is read, never changed. Only the source indexes are fetched.
use_private_apt() {
  local dir=$deps/apt
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
  local machine_config=
  [[ -n "${APT_CONFIG:-}" ]] && machine_config="#include \"$APT_CONFIG\";"
  cat >"$dir/apt.conf" <<CONF
$machine_config
Dir::Etc::SourceList "$dir/no-main-list";
Dir::Etc::SourceParts "$dir/sources.list.d";
Dir::State::Lists "$dir/lists";
Dir::Cache "$dir/cache";
Acquire::IndexTargets::deb::Packages::DefaultEnabled "false";
Acquire::IndexTargets::deb::Translations::DefaultEnabled "false";
CONF
  local changes
  changes=$("$root/scripts/mirror-deb-src.sh" "$dir/sources.list.d")
  export APT_CONFIG=$dir/apt.conf
  if [[ -n "$changes" || -z "$(find "$dir/lists" -maxdepth 1 -name '*Sources*' -print -quit)" ]]; then
    apt-get update -qq
  fi
}

# Configures, builds and installs one Debian source package with the toolchain.
build_source_package() {
  local package=$1
  shift
  local source
  source=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name "${package}-*" -print -quit 2>/dev/null || true)
  if [[ -z "$source" ]]; then
    mkdir -p "$deps/src"
    # An index can list a version its archive no longer serves (a security
    # update replaced in the pool, a snapshot behind a proxy): then the other
    # versions the indexes list are tried, newest first.
    local candidates=("$package") version
    while read -r version; do
      [[ -n "$version" ]] && candidates+=("$package=$version")
    done < <(apt-cache showsrc "$package" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -u -r -V)
    for wanted in "${candidates[@]}"; do
      (cd "$deps/src" && apt-get source -qq "$wanted" 2>&1 | grep -v '^dpkg-source: info:\|unsandboxed as root' || true)
      source=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name "${package}-*" -print -quit)
      [[ -n "$source" ]] && break
    done
  fi
  [[ -n "$source" ]] || { echo "apt-get source $package gave no source tree" >&2; return 1; }

  cmake -S "$source" -B "$deps/build/$package" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$deps/build/$package" >/dev/null
  cmake --install "$deps/build/$package" >/dev/null
}

if [[ ! -f "$prefix/.complete" ]]; then
  echo "Building static mingw libpng and libjpeg-turbo from Debian's sources into $deps (once)"
  rm -rf "$deps/build" "$prefix"
  use_private_apt
  build_source_package libjpeg-turbo \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
  # JUCE reads the library's internal declarations too.
  cp "$(find "$deps/src" -maxdepth 2 -path '*/libjpeg-turbo-*/jpegint.h' -print -quit)" "$prefix/include/"
  build_source_package libpng1.6 \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a
  touch "$prefix/.complete"
fi

cmake --preset windows -B "$build" -DVARNOKE_WINDOWS_DEPS_PREFIX="$prefix" >/dev/null
cmake --build "$build"
echo "Built $build/plugin/Varnoke.dll"
