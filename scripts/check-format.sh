#!/usr/bin/env bash
# Fails when any C++ file in the repository is not formatted as .clang-format says.
# Usage: scripts/check-format.sh   (to fix: the same file list through clang-format -i)
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "All C++ files are formatted."
