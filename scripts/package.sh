#!/usr/bin/env bash
# Builds the packages people install:
#   deb      BUILD_DIR/packages/varnoke_<version>_amd64.deb (CPack, from the
#            Linux build's install rules, under /usr)
#   windows  build-windows/packages/Varnoke-<version>-setup.exe (makensis, from
#            the Windows cross-build)
#   all      both (the default)
# Usage: scripts/package.sh [deb|windows|all] [BUILD_DIR]     (default BUILD_DIR: build)
# Only the targets the packages carry are built; an existing build is reused.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
build=${2:-build}

case "$what" in
  deb | windows | all) ;;
  *)
    echo "usage: scripts/package.sh [deb|windows|all] [BUILD_DIR]" >&2
    exit 2
    ;;
esac

if [[ "$what" == deb || "$what" == all ]]; then
  scripts/install-dependencies.sh package
  if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake --preset default -B "$build" >/dev/null
  fi
  # What the install rules take: the three plug-ins, the tool and its manual
  # page, the factory presets' .fxp files.
  cmake --build "$build" --target Varnoke Varnoke_VST3 Varnoke_LV2 varnoke-render varnoke_package_docs \
    varnoke_fxp_presets
  rm -f "$build"/packages/*.deb
  (cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
  deb=$(find "$build/packages" -maxdepth 1 -name '*.deb' -print -quit)
  [[ -n "$deb" ]] || { echo "CPack wrote no package into $build/packages" >&2; exit 1; }
  echo "Built $deb"
fi

if [[ "$what" == windows || "$what" == all ]]; then
  scripts/build-windows.sh build-windows >/dev/null
  cmake --build build-windows --target varnoke_installer
  echo "Built $(find build-windows/packages -maxdepth 1 -name '*-setup.exe' -print -quit)"
fi
