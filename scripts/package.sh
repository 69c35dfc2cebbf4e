#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Kelvora (release) and makes its Debian package with CPack: build/release/package/
# kelvora_VERSION_ARCH.deb, holding what scripts/install.sh installs (under /usr) plus the copyright
# file and the changelog. lintian checks it; an error fails, warnings are shown.
#   scripts/package.sh
# Install the result with `sudo apt install ./build/release/package/kelvora_VERSION_ARCH.deb`.
set -euo pipefail
if [ $# -ne 0 ]; then
  echo "usage: scripts/package.sh" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kelvora_installables
out=build/release/package
mkdir -p "$out"
rm -f "$out"/kelvora_*.deb
if ! cpack --config build/release/CPackConfig.cmake -B "$out" >"$out.log" 2>&1; then
  cat "$out.log" >&2
  exit 1
fi
deb=$(ls "$out"/kelvora_*.deb)
lintian --fail-on error "$deb"
echo "$deb"
