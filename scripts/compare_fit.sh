#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a broad set of kelvora-fit command lines with two binaries and compares everything they write,
# byte for byte: standard output, standard error, exit status and every file a run leaves (PNG, SVG
# and PDF pictures). Shows that a change of kelvora-fit's inside changed nothing its users see, or
# lists exactly what did.
#
#   scripts/compare_fit.sh BASE_FIT NEW_FIT [KEEP_DIR]
#
# BASE_FIT and NEW_FIT are kelvora-fit binaries. The outputs are kept in KEEP_DIR/base and KEEP_DIR/new
# when it is given. Every run is one line of runs() below: a name, then the arguments (the files are
# made in the run's own directory first). Exit status 0 when everything is equal.
set -eu

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 BASE_FIT NEW_FIT [KEEP_DIR]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
base=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
new=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
if [ $# -eq 3 ]; then
    out=$3
    rm -rf "$out/base" "$out/new" "$out/data"
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
else
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
fi

# The points every run may read, written once.
data="$out/data"
mkdir -p "$data"
cp "$root"/examples/*.dat "$root"/tests/core/data/norris.dat "$data"/
decay="0 5.02365
0.5 3.85993
1 3.04478
1.5 2.2768
2 1.87705
2.5 1.35579
3 1.11591
3.5 0.862858
4 0.636327
4.5 0.670587
5 0.380534
5.5 0.343262
6 0.303733"
printf '13\n%s\n' "$decay" >"$data/decay.dat"
{ printf '# decay\r\ntime,signal\r\n'; echo "$decay" | awk '{ printf "%s,%s\r\n", $1, $2 }'; } >"$data/decay.csv"
echo "$decay" >"$data/decay.txt"
echo "$decay" | awk 'BEGIN { print 13 } { printf "%s %s %.6g\n", $1, $2, 0.02 + 0.05 * $2 }' >"$data/decay_sigma.dat"
echo "$decay" | awk '{ printf "%s,%s,%.6g,label%d\n", $1, $2, 0.02 + 0.05 * $2, NR }' >"$data/decay_wide.csv"
echo "$decay" | awk '{ printf "%s %s %.6g\n", $1, $2, 0.02 + 0.05 * $2 }' >"$data/three.txt"
printf '17\n0 5.08453\n0.5 2.72076\n1 1.50761\n1.5 0.84687\n2 0.414144\n2.5 0.249039\n3 0.136574\n3.5 -0.0127583\n4 0.0920316\n4.5 0.0526078\n5 -0.0188777\n5.5 -0.00177557\n6 0.0289979\n6.5 -0.0110191\n7 -0.0110131\n7.5 -0.072045\n8 0.0280677\n' >"$data/tail.dat"
printf '3\n1 -1\n2 -2\n3 -3\n' >"$data/negative.dat"
printf '8\n-2.9 -1.4\n-2.1 1.8\n-1.6 -1.8\n-0.7 1.1\n-0.6 1.3\n1.7 -0.9\n2.2 0.4\n2.6 1.7\n' >"$data/scattered.dat"
printf '1\n2 3\n' >"$data/one.dat"
printf '2\n1 2\n3 7\n' >"$data/two.dat"
printf '4\n2 1\n2 3\n2 5\n2 6\n' >"$data/same_x.dat"
printf '5\n1e150 2e-150\n2e150 4.1e-150\n3e150 5.9e-150\n4e150 8.2e-150\n5e150 9.9e-150\n' >"$data/huge.dat"
printf '3\n1e300 1\n2e300 2\n3e300 3.1\n' >"$data/far.dat"
printf '4\n1 2\n2 oops\n3 4\n4 5\n' >"$data/word.dat"
printf '3\n1 2\n2 0x10\n3 4\n' >"$data/hex.dat"
printf '5\n1 2\n2 3\n' >"$data/short.dat"
printf '2\n1 2\n2 3\n4 5\n' >"$data/extra.dat"
printf '' >"$data/empty.dat"
printf 'x;y\n1;2\n3;4;5\n' >"$data/bad.csv"
printf '1;5;2,5\n2;3,5\n3;5;4\n' >"$data/ragged.csv"
printf 'x;y\n1,5;2,5\n2,5;3,75\n3,5;5,5\n4,5;6,25\n' >"$data/comma.csv"
printf '5\n1 0\n2 -1\n3 2\n4 3\n5 4\n' >"$data/zero_y.dat"
printf '6\n1 1.1\n2 4.2\n3 8.8\n4 16.5\n5 24.7\n6 36.4\n' >"$data/square.dat"
printf '4\n1 2\n2 3\n3 4\n4 5\n' >"$data/exact.dat"
mkdir -p "$data/folder.dat"
head -c 256 /bin/sh >"$data/binary.dat"
awk 'BEGIN { print 11; for (i = 0; i <= 10; ++i) print 60 + i, 130 + i }' >"$data/noint1.dat"
printf '3\n4 3\n5 4\n6 4\n' >"$data/noint2.dat"
awk 'BEGIN { print 5; for (i = 1; i <= 5; ++i) printf "%d %.17g %.17g\n", i, 1.0 / (1 + i), 0.01 / (1 + i) }' \
    >"$data/hyper_sigma.dat"
awk 'BEGIN { print 5; for (i = 1; i <= 5; ++i) printf "%.17g %.17g %.17g\n", i * 1e150, i * 2e-150, i * 2e-152 }' \
    >"$data/huge_sigma.dat"

# The runs, one a line: NAME ARGS... (word-split by the shell; no quoting needed).
runs() {
    for model in 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do
        echo "m$model-decay --model $model decay.dat"
        echo "m$model-decay-precise --model=$model --precise decay.dat"
        echo "m$model-decay-refine --model $model --refine decay.dat"
        echo "m$model-decay-refine-precise --model $model --refine --precise decay.dat"
        echo "m$model-growth --model $model growth.dat"
        echo "m$model-growth-refine-precise --model $model --refine --precise growth.dat"
        echo "m$model-saturation-precise --model $model --precise saturation.dat"
        echo "m$model-power-refine --model $model --refine power_law.dat"
        echo "m$model-line-json --model $model --json line.dat"
        echo "m$model-decay-refine-json --model $model --refine --json decay.dat"
        echo "m$model-tail-refine --model $model --refine tail.dat"
        echo "m$model-scattered-refine --model $model --refine scattered.dat"
        echo "m$model-sigma --model $model --sigma decay_sigma.dat"
        echo "m$model-sigma-abs-refine-precise --model $model --sigma --sigma-kind absolute --refine --precise decay_sigma.dat"
        echo "m$model-weight-y2 --model $model --weight 1/y2 --precise decay.dat"
        echo "m$model-weight-x-refine --model $model --weight 1/x --refine growth.dat"
        echo "m$model-fixA --model $model --fix A=1 --precise decay.dat"
        echo "m$model-fixB-refine --model $model --fix B=-0.5 --refine --precise decay.dat"
        echo "m$model-predict --model $model --predict 0.5,2,7 --inverse 1,3 --precise decay.dat"
        echo "m$model-report --model $model --report decay.dat"
        echo "m$model-report-refine-sigma --model $model --refine --report --sigma decay_sigma.dat"
        echo "m$model-exact --model $model --precise exact.dat"
        echo "m$model-huge --model $model --precise huge.dat"
        echo "m$model-one --model $model one.dat"
        echo "m$model-two-json --model $model --json two.dat"
        echo "m$model-zero-y --model $model --refine zero_y.dat"
    done
    for n in 0.5 2 3 -1; do
        echo "power-n$n --model 15 --exponent $n --precise square.dat"
        echo "power-n$n-refine-json --model 15 --exponent $n --refine --json square.dat"
    done
    for file in decay.dat growth.dat line.dat power_law.dat saturation.dat tail.dat scattered.dat norris.dat \
        square.dat exact.dat one.dat negative.dat; do
        echo "all-$file --all $file"
        echo "all-refine-$file --all --refine $file"
        echo "all-precise-$file --all --precise $file"
        echo "all-json-$file --all --json $file"
    done
    echo "all-sigma --all --sigma decay_sigma.dat"
    echo "all-sigma-refine --all --sigma --refine decay_sigma.dat"
    echo "all-weight --all --weight 1/y decay.dat"
    echo "all-fix --all --fix A=0 line.dat"
    echo "all-fix-refine --all --fix B=1 --refine growth.dat"
    echo "all-predict --all --predict 1,2 --inverse 3 decay.dat"
    echo "all-exponent --all --exponent 3 square.dat"
    echo "noint1 --fix A=0 --precise noint1.dat"
    echo "noint2 --fix A=0 --precise noint2.dat"
    echo "noint1-json --fix A=0 --json noint1.dat"
    echo "noint2-report --fix A=0 --report noint2.dat"
    echo "noint1-refine --fix A=0 --refine noint1.dat"
    echo "fix-a0-m2 --model 2 --fix A=0 saturation.dat"
    echo "fix-a0-m15 --model 15 --fix A=0 square.dat"
    echo "fix-b-line --fix B=1 line.dat"
    echo "fix-impossible --model 5 --fix A=-1 decay.dat"
    echo "fix-impossible-refine --model 4 --fix B=-2 --refine decay.dat"
    echo "huge-sigma --sigma --sigma-kind absolute --precise huge_sigma.dat"
    echo "huge-sigma-relative --sigma huge_sigma.dat"
    echo "huge-weight --weight 1/y2 huge.dat"
    echo "hyper-sigma --model 3 --sigma --precise hyper_sigma.dat"
    echo "far --precise far.dat"
    echo "far-refine --refine far.dat"
    echo "predict-plain --model 5 --refine --predict 1,2.5 --inverse 2 decay.dat"
    echo "predict-json --model 5 --refine --predict 1,2.5 --inverse 2,100 --json decay.dat"
    echo "predict-sigma --model 5 --sigma --predict 1,2.5 --inverse 2 decay_sigma.dat"
    echo "predict-weight --model 8 --weight 1/y --predict 1,2 --inverse 1.5 --precise power_law.dat"
    echo "predict-fix --model 0 --fix A=0 --predict 65 --inverse 135 noint1.dat"
    echo "inverse-none --model 0 --inverse 1000 line.dat"
    echo "band-residuals --model 5 --residuals --band decay.dat"
    echo "band-prediction --model 5 --residuals --band=prediction decay.dat"
    echo "band-sigma --model 5 --residuals --band=prediction --sigma decay_sigma.dat"
    echo "residuals-plain --model 5 --residuals decay.dat"
    echo "residuals-refine --model 5 --refine --residuals decay.dat"
    echo "residuals-table --model 0 --residuals decay.csv"
    echo "residuals-all --all --residuals decay.dat"
    echo "residuals-columns --columns=1,2 --residuals decay_wide.csv"
    echo "columns-csv --model 5 decay.csv"
    echo "columns-txt --model 5 decay.txt"
    echo "columns-forced --columns --model 5 decay.txt"
    echo "columns-pick --columns=1,2 --model 5 decay_wide.csv"
    echo "columns-sigma --columns=1,2,3 --model 5 decay_wide.csv"
    echo "columns-sigma-refine --columns=1,2,3 --model 5 --refine --json decay_wide.csv"
    echo "columns-three-sigma --sigma --model 5 three.txt"
    echo "columns-comma --model 0 comma.csv"
    echo "columns-comma-json --model 0 --json comma.csv"
    echo "json-plain --model 5 --json decay.dat"
    echo "json-sigma --model 5 --sigma --json decay_sigma.dat"
    echo "json-weight --model 5 --weight 1/x2 --json growth.dat"
    echo "json-fix --model 5 --fix B=-0.5 --json decay.dat"
    echo "json-fix-refine --model 5 --fix A=5 --refine --json decay.dat"
    echo "json-negative --model 5 --json negative.dat"
    echo "report-plain --model 5 --report decay.dat"
    echo "report-fix --model 0 --fix A=0 --report line.dat"
    echo "report-weight --model 5 --weight 1/y --report --refine decay.dat"
    echo "report-power --model 15 --exponent 2 --report square.dat"
    echo "multi --model 5 decay.dat growth.dat tail.dat"
    echo "multi-json --model 5 --json decay.dat growth.dat"
    echo "multi-bad --model 5 decay.dat missing.dat word.dat growth.dat"
    echo "png-plot --model 5 --plot plot.png --plot-residuals residuals.png decay.dat"
    echo "png-small --model 8 --size 200x150 --plot plot.png power_law.dat"
    echo "png-refine --model 12 --refine --plot plot.png saturation.dat"
    echo "png-all --all --plot plot.png --plot-residuals residuals.png growth.dat"
    echo "png-power --model 15 --exponent 3 --plot plot.png --plot-residuals residuals.png square.dat"
    echo "png-one --model 0 --plot plot.png --plot-residuals residuals.png one.dat"
    echo "png-negative --model 5 --plot plot.png --plot-residuals residuals.png negative.dat"
    echo "svg-plot --model 5 --plot plot.svg decay.dat"
    echo "svg-band --model 5 --sigma --band --plot plot.svg decay_sigma.dat"
    echo "svg-band-prediction --model 5 --band=prediction --refine --plot plot.svg decay.dat"
    echo "svg-panel --model 12 --residual-panel --plot plot.svg saturation.dat"
    echo "svg-size --model 0 --size 600x400 --plot plot.svg line.dat"
    echo "svg-fix --model 0 --fix A=0 --band --plot plot.svg noint1.dat"
    echo "svg-power --model 15 --exponent 2 --plot plot.svg square.dat"
    echo "pdf-plot --model 12 --residual-panel --plot plot.pdf saturation.dat"
    echo "pdf-band --model 5 --band --plot plot.pdf decay.dat"
    echo "pdf-all --all --plot plot.pdf growth.dat"
    echo "stdin-dash --model 5 -"
    echo "help --help"
    echo "help-short -h"
    echo "version --version"
    echo "list --list-models"
    echo "err-no-file --model 5"
    echo "err-model --model 16 decay.dat"
    echo "err-model-word --model five decay.dat"
    echo "err-exponent --exponent nan --model 15 decay.dat"
    echo "err-exponent-model --exponent 2 --model 5 decay.dat"
    echo "err-all-model --all --model 5 decay.dat"
    echo "err-unknown --frobnicate decay.dat"
    echo "err-misspelt --modle 5 decay.dat"
    echo "err-misspelt-refine --refien decay.dat"
    echo "err-misspelt-short -model 5 decay.dat"
    echo "err-value-missing decay.dat --model"
    echo "err-switch-value --refine=yes decay.dat"
    echo "err-size --size 10x10 --plot plot.png decay.dat"
    echo "err-size-alone --size 200x200 decay.dat"
    echo "err-plot-name --plot plot.jpg decay.dat"
    echo "err-plot-residuals-name --plot-residuals plot.svg decay.dat"
    echo "err-plot-input --plot decay.dat decay.dat"
    echo "err-plot-same --plot p.png --plot-residuals p.png decay.dat"
    echo "err-plot-multi --plot p.png decay.dat growth.dat"
    echo "err-panel --residual-panel --plot p.png decay.dat"
    echo "err-json-residuals --json --residuals decay.dat"
    echo "err-sigma-weight --sigma --weight 1/y decay_sigma.dat"
    echo "err-band --band decay.dat"
    echo "err-band-kind --band=wide --residuals decay.dat"
    echo "err-sigma-columns --sigma --columns=1,2 decay_wide.csv"
    echo "err-sigma-kind --sigma-kind absolute decay.dat"
    echo "err-sigma-kind-word --sigma --sigma-kind loose decay_sigma.dat"
    echo "err-weight --weight 1/z decay.dat"
    echo "err-fix --fix C=1 decay.dat"
    echo "err-fix-both --fix A=1 --fix B=2 decay.dat"
    echo "err-report-json --report --json decay.dat"
    echo "err-report-all --report --all decay.dat"
    echo "err-predict --predict 1,x decay.dat"
    echo "err-inverse --inverse , decay.dat"
    echo "err-columns --columns=1,1 decay_wide.csv"
    echo "err-columns-zero --columns=0,2 decay_wide.csv"
    echo "err-missing --model 5 missing.dat"
    echo "err-folder --model 5 folder.dat"
    echo "err-binary --model 5 binary.dat"
    echo "err-empty empty.dat"
    echo "err-word word.dat"
    echo "err-hex hex.dat"
    echo "err-short short.dat"
    echo "err-extra extra.dat"
    echo "err-bad-table bad.csv"
    echo "err-ragged ragged.csv"
    echo "err-three three.txt"
    echo "err-three-columns --columns three.txt"
    echo "err-wide decay_wide.csv"
    echo "err-sigma-short --sigma decay.dat"
    echo "err-sigma-zero --sigma --model 0 decay.dat"
    echo "err-weight-zero --weight 1/y zero_y.dat"
    echo "err-same-x --model 0 same_x.dat"
    echo "err-same-x-refine --model 0 --refine same_x.dat"
    echo "err-negative --model 5 negative.dat"
    echo "err-negative-refine --model 5 --refine negative.dat"
}

# run SIDE BINARY NAME ARGS...: one run in a directory of its own holding the data, so the pictures
# it writes land there; the data files are removed afterwards and what is left is compared.
run() {
    run_side=$1 run_binary=$2 run_name=$3
    shift 3
    dir="$out/$run_side/$run_name"
    mkdir -p "$dir/work"
    cp -r "$data"/. "$dir/work/"
    status=0
    (cd "$dir/work" && "$run_binary" "$@" <decay.dat >../stdout.txt 2>../stderr.txt) || status=$?
    echo "$status" >"$dir/status.txt"
    (cd "$data" && find . -mindepth 1 -maxdepth 1) | while read -r entry; do rm -rf "${dir:?}/work/$entry"; done
}

runs >"$out/runs.txt"
for side in base new; do
    if [ "$side" = base ]; then binary=$base; else binary=$new; fi
    while read -r name args; do
        # shellcheck disable=SC2086 # the arguments are meant to be split
        run "$side" "$binary" "$name" $args
    done <"$out/runs.txt"
done

# same LEFT RIGHT: the files are equal byte for byte; a PDF's creation date (the time of the run) aside.
same() {
    case $1 in
    *.pdf) grep -av '^ */CreationDate ' "$1" >"$out/left.pdf" && grep -av '^ */CreationDate ' "$2" >"$out/right.pdf" &&
        cmp -s "$out/left.pdf" "$out/right.pdf" ;;
    *) cmp -s "$1" "$2" ;;
    esac
}

count=$(wc -l <"$out/runs.txt")
differences=0
files=0
pictures=0
for file in $(cd "$out/base" && find . -type f | sort); do
    files=$((files + 1))
    case $file in *.png | *.svg | *.pdf) pictures=$((pictures + 1)) ;; esac
    if [ ! -f "$out/new/$file" ]; then
        echo "missing in the new run: $file"
        differences=$((differences + 1))
    elif ! same "$out/base/$file" "$out/new/$file"; then
        echo "differs: $file"
        differences=$((differences + 1))
    fi
done
for file in $(cd "$out/new" && find . -type f | sort); do
    if [ ! -f "$out/base/$file" ]; then
        echo "only in the new run: $file"
        differences=$((differences + 1))
    fi
done
echo "$count runs compared: $files files, $pictures pictures; $differences differences"
[ "$differences" -eq 0 ]
