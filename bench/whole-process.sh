#!/usr/bin/env bash
# Whole-process timing of `velra-script generate` against a durable copy of the same bytes (cat into
# a new file, sync -d, mv, a sync of the folder), in the same run: the largest simple script and the
# largest chain (8 moves of 32,768 frames, every move a cubic Bézier, 17 MB). Prints the median of
# each and both ratios; the chain's must stay within 1.5 and within the simple mode's plus 0.3.
#   bench/whole-process.sh [VELRA_SCRIPT] [RUNS]
set -eu
script=${1:-build-release/tools/velra-script}
runs=${2:-7}
[ -x "$script" ] || { echo "no $script: build it first (cmake --build build-release)"; exit 1; }
dir=$(mktemp -d "${TMPDIR:-/var/tmp}/velra-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
printf '"scroll.bmp","100","50"\r\n"back.bmp","640","480","32667","480"\r\n1\r\n3,"1",1,2,\r\n' >"$dir/simple.dat"
{
    printf '"scroll.bmp","100","50"\r\n"back.bmp","640","480","640","480"\r\n2\r\n'
    printf '"0","0","-3500","100",2,"32768",5,"0","0",2,"0.68","-0.6","0.32","1.6"\r\n'
    for k in 2 3 4 5 6 7 8; do
        if [ $((k % 2)) -eq 0 ]; then x=100; else x=-3500; fi
        printf '"%s","%s",2,"32768",5,"0","0.42","0","0.58","1"\r\n' $x $((k * 10))
    done
} >"$dir/chain.dat"
now() { date +%s%N; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
measure() { # NAME: prints the median of the generate runs and of the copies, in ms
    local log=$dir/$1.dat out=$dir/$1.out source=$dir/$1.source
    "$script" generate "$log" -o "$source"
    "$script" generate "$log" -o "$out" # an earlier output, as an author's would be
    local g=() c=()
    for _ in $(seq "$runs"); do
        local t0=$(now)
        "$script" generate "$log" -o "$out"
        local t1=$(now)
        cat "$source" >"$out.tmp" && sync -d "$out.tmp" && mv "$out.tmp" "$out.copy" && sync "$dir"
        local t2=$(now)
        g+=($(((t1 - t0) / 1000)))
        c+=($(((t2 - t1) / 1000)))
    done
    cmp -s "$source" "$out" || { echo "$1: the runs wrote other bytes"; exit 1; }
    echo "$(printf '%s\n' "${g[@]}" | median) $(printf '%s\n' "${c[@]}" | median) $(stat -c %s "$source")"
}
read -r sg sc ss < <(measure simple)
read -r cg cc cs < <(measure chain)
awk -v sg="$sg" -v sc="$sc" -v ss="$ss" -v cg="$cg" -v cc="$cc" -v cs="$cs" 'BEGIN {
    rs = sg / sc; rc = cg / cc
    printf "simple: %.1f MB, generate %.1f ms, durable copy %.1f ms: %.2fx\n", ss / 1e6, sg / 1000, sc / 1000, rs
    printf "chain:  %.1f MB, generate %.1f ms, durable copy %.1f ms: %.2fx\n", cs / 1e6, cg / 1000, cc / 1000, rc
    ok = rc <= 1.5 && rc <= rs + 0.3
    printf "%s (the chain at most 1.5x and at most the simple mode plus 0.3)\n", ok ? "within the targets" : "OUTSIDE the targets"
    exit ok ? 0 : 1
}'
