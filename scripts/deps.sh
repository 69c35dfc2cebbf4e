#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Kelvora needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  llvm clang
  libsdl2-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev
  libgsl-dev
  libcairo2-dev poppler-utils librsvg2-bin
  libgtest-dev libgmock-dev libbenchmark-dev hyperfine
  xvfb xauth
  python3 desktop-file-utils man-db
  dpkg-dev file lintian appstream
  libfast-float-dev emscripten chromium fontconfig
  make bzip2 xz-utils  # the configure and make of the page's libraries, their source tarballs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm installs the browser tests' driver; a Node.js from elsewhere may bring its own npm.
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
