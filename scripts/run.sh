#!/usr/bin/env bash
# Builds Kelvora (release) when needed and starts it in a desktop window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kelvora
exec build/release/app/kelvora "$@"
