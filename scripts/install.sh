#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Kelvora (release) and installs it under PREFIX: the programs in PREFIX/bin, the desktop entry,
# the icons and the manual pages in PREFIX/share. PREFIX defaults to /usr/local as root, else ~/.local
# (where a desktop's menu finds the entry for this user).
#   scripts/install.sh [PREFIX]
set -euo pipefail
if [ $# -gt 1 ]; then
  echo "usage: scripts/install.sh [PREFIX]" >&2
  exit 2
fi
if [ $# -eq 1 ]; then
  prefix=$(realpath -m -- "$1")
elif [ "$(id -u)" -eq 0 ]; then
  prefix=/usr/local
else
  prefix="$HOME/.local"
fi
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kelvora_installables
cmake --install build/release --prefix "$prefix"
case ":$PATH:" in
  *":$prefix/bin:"*) ;;
  *) echo "Installed in $prefix; add $prefix/bin to PATH to run kelvora, kelvora-fit and kelvora-replay." >&2 ;;
esac
