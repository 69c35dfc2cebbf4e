#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Kelvora and its command-line tools (release) when needed and starts it in a desktop window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kelvora kelvora-fit kelvora-replay
exec build/release/app/kelvora "$@"
