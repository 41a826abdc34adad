#!/usr/bin/env bash
# Prints what the test command must leave as it found it: apt's configuration
# files, the locale configuration and the compiled locales, dpkg's package
# architectures (the arm64 build adds arm64 in its own root only) and the
# installed packages. CI prints it after the set-up and again after the tests, and fails
# when the two differ.
# Usage: scripts/system-snapshot.sh
set -euo pipefail
echo "# apt's configuration"
find /etc/apt -type f -print0 | sort -z | xargs -0 md5sum
echo "# locales"
md5sum /etc/locale.gen 2>/dev/null || echo "no /etc/locale.gen"
locale -a 2>/dev/null | sort
echo "# package architectures"
dpkg --print-architecture
dpkg --print-foreign-architectures
echo "# installed packages"
dpkg-query -W -f='${Package}:${Architecture} ${Version} ${db:Status-Status}\n' | sort
