#!/bin/sh
# Parse-only benchmark of the property-list reader beside libplist and
# Python's plistlib on application lists of 1k, 5k and 20k entries.
#   bench/plist/run.sh [BUILD_DIR] [RUNS]
# BUILD_DIR is a build configured with -DKX_BENCH=ON (default build-bench);
# the inputs go to $KX_BENCH_INPUTS (default /tmp/kxbench-plist).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:-$top/build-bench}
runs=${2:-5}
inputs=${KX_BENCH_INPUTS:-/tmp/kxbench-plist}

if [ ! -x "$build/bench/plist/plist_parse_kx" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKX_BENCH=ON -DKX_TESTS=OFF >/dev/null
    cmake --build "$build" --target plist_parse_kx plist_parse_libplist
fi
python3 "$here/gen_app_lists.py" "$inputs" 1k 5k 20k

kx="$build/bench/plist/plist_parse_kx"
libplist="$build/bench/plist/plist_parse_libplist"
times=$(mktemp)
trap 'rm -f "$times"' EXIT

# median of the numbers on standard input
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# measure COMMAND...: RUNS timed runs; prints the median elapsed seconds, the
# median CPU seconds (user + system, steadier on a busy machine) and the
# median peak MiB
measure() {
    : >"$times"
    i=0
    while [ $i -lt "$runs" ]; do
        /usr/bin/time -a -o "$times" -f '%e %U %S %M' "$@" >/dev/null
        i=$((i + 1))
    done
    s=$(cut -d' ' -f1 "$times" | median)
    c=$(awk '{print $2 + $3}' "$times" | median)
    m=$(cut -d' ' -f4 "$times" | median)
    printf '%6.2f s %5.2f cpu %4.0f MiB' "$s" "$c" "$(echo "$m" | awk '{print $1 / 1024}')"
}

# sink CASE PROGRAM: the last measurement as a row of scripts/bench.sh's one table
sink() {
    if [ -n "${KX_BENCH_ROWS:-}" ]; then
        printf 'plist parse\t%s\t%s\t%.2f\t%.2f\t%.1f\n' "$1" "$2" "$s" "$c" \
            "$(echo "$m" | awk '{print $1 / 1024}')" >> "$KX_BENCH_ROWS"
    fi
}

printf '%-14s %7s   %-27s %-27s %-27s\n' "input" "size" "kx_plist" "libplist" "python3 plistlib"
for tag in 1k 5k 20k; do
    for ext in xml bplist; do
        f="$inputs/app-$tag.$ext"
        size=$(awk -v b="$(wc -c <"$f")" 'BEGIN {printf "%.1fMB", b / 1e6}')
        printf '%-14s %7s  ' "app-$tag.$ext" "$size"
        measure "$kx" "$f"; sink "app-$tag.$ext ($size)" "kx_plist"
        printf '  '
        if [ -x "$libplist" ]; then
            measure "$libplist" "$f"; sink "app-$tag.$ext ($size)" "libplist"
        else printf '%27s' "n/a"; fi
        printf '  '
        measure python3 -c 'import plistlib, sys; plistlib.load(open(sys.argv[1], "rb"))' "$f"
        sink "app-$tag.$ext ($size)" "python3 plistlib"
        printf '\n'
    done
done
echo "(median of $runs runs each; whole process: start, read, parse, free; cpu = user + system seconds)"
