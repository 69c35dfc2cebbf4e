#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every replay script of the tree and every picture of kelvora-fit with the programs of two builds
# and compares what they write, byte for byte: standard output, standard error, exit status and every
# PNG. Shows that a change of the platform changed nothing a user or a script can see.
#
#   scripts/compare_replay.sh BASE_BUILD NEW_BUILD [KEEP_DIR]
#
# BASE_BUILD and NEW_BUILD are build directories (build/release, or a copy of one) holding
# tools/replay/kelvora-replay, tests/platform/demo/kelvora-replay-demo and tools/fit/kelvora-fit. The outputs
# are kept in KEEP_DIR/base and KEEP_DIR/new when it is given. Exit status 0 when everything is equal.
set -eu

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 BASE_BUILD NEW_BUILD [KEEP_DIR]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
base=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
if [ $# -eq 3 ]; then
    out=$3
    rm -rf "$out/base" "$out/new"
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
else
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
fi

# run BUILD SIDE NAME PROGRAM ARGS...: runs one program in a directory of its own, so the pictures a
# script writes land there, with a home folder made afresh for each run at the same place for both
# builds: what a script saves stays out of the real home, and the pickers show the same folder.
run() {
    run_build=$1 run_side=$2 run_name=$3 run_program=$4
    shift 4
    dir="$out/$run_side/$run_name"
    mkdir -p "$dir"
    rm -rf "$out/home"
    mkdir -p "$out/home"
    status=0
    (cd "$dir" && HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config" \
        "$run_build/$run_program" "$@" >stdout.txt 2>stderr.txt) || status=$?
    echo "$status" >"$dir/status.txt"
}

runs=0
for side in base new; do
    if [ "$side" = base ]; then build=$base; else build=$new; fi
    for script in "$root"/examples/*.replay "$root"/tests/replay/*.replay; do
        run "$build" "$side" "app-$(basename "$script" .replay)" tools/replay/kelvora-replay "$script"
    done
    # The demo program's replay tool is a test tool (tests/platform/demo); older builds had it in tools/.
    demo=tests/platform/demo/kelvora-replay-demo
    [ -x "$build/$demo" ] || demo=tools/replay/kelvora-replay-demo
    for script in "$root"/tests/replay/demo/*.replay; do
        run "$build" "$side" "demo-$(basename "$script" .replay)" "$demo" "$script"
    done
    for points in "$root"/examples/*.dat; do
        name=$(basename "$points" .dat)
        run "$build" "$side" "fit-$name" tools/fit/kelvora-fit --model=5 --plot plot.png \
            --plot-residuals residuals.png "$points"
        run "$build" "$side" "fit-$name-small" tools/fit/kelvora-fit --model=8 --size 200x150 --plot plot.png \
            "$points"
    done
done
runs=$(find "$out/base" -mindepth 1 -maxdepth 1 -type d | wc -l)

differences=0
files=0
pictures=0
lines=0
for file in $(cd "$out/base" && find . -type f | sort); do
    files=$((files + 1))
    case $file in *.png) pictures=$((pictures + 1)) ;; *.txt) lines=$((lines + $(wc -l <"$out/base/$file"))) ;; esac
    if [ ! -f "$out/new/$file" ]; then
        echo "missing in the new build: $file"
        differences=$((differences + 1))
    elif ! cmp -s "$out/base/$file" "$out/new/$file"; then
        echo "differs: $file"
        differences=$((differences + 1))
    fi
done
for file in $(cd "$out/new" && find . -type f | sort); do
    if [ ! -f "$out/base/$file" ]; then
        echo "only in the new build: $file"
        differences=$((differences + 1))
    fi
done
echo "$runs runs compared: $files files, $pictures PNG pictures, $lines lines of output and status;" \
    "$differences differences"
[ "$differences" -eq 0 ]
