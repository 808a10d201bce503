#!/bin/sh
# The whole agent run on a Mac "result" folder whose application list holds
# 20k applications, side by side with Python's plistlib parsing the same list.
#
#   bench/mac/run.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR holds KX_InventoryAGT (built if missing; default build/), RUNS the
# runs per row (default 5). The inputs come from the shared generator
# (gen_inputs.py --no-blobs) into KX_BENCH_INPUTS (default /tmp/kxbench/inputs).
# Each run is a fresh process under /usr/bin/time; the table shows the median
# wall time, the median processor time (user + system; steadier than the
# wall time on a busy machine) and the median peak resident size.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
runs=${2:-5}
inputs=${KX_BENCH_INPUTS:-/tmp/kxbench/inputs}
generator=${KX_BENCH_GENERATOR:-$top/../shared/bench/gen_inputs.py}

if [ ! -f "$inputs/result-20k/app" ]; then
    [ -f "$generator" ] || { echo "no inputs in $inputs and no generator at $generator" >&2; exit 1; }
    echo "generating the inputs into $inputs ..." >&2
    python3 "$generator" "$inputs" --no-blobs >&2
fi
if [ ! -x "$build/KX_InventoryAGT" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target KX_InventoryAGT >&2
fi

work=$(mktemp -d /tmp/kx-bench-mac.XXXXXX)
trap 'rm -rf "$work"' EXIT

# An installation folder whose collection script leaves "result" as it is,
# with `app` as its application list.
installation() { # folder app-list
    mkdir -p "$1/result"
    cp "$build/KX_InventoryAGT" "$1/"
    printf '#!/bin/sh\nexit 0\n' > "$1/macInventory.sh"
    chmod +x "$1/macInventory.sh"
    cp "$inputs/result-20k/hardware.xml" "$inputs/result-20k/hostname" "$inputs/result-20k/os" "$1/result/"
    cp "$2" "$1/result/app"
}

median() { # the middle line of numbers on standard input
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Runs "$@" $runs times in $dir; prints "<median wall s> <median cpu s> <median peak MiB>".
measure() {
    : > "$work/times"
    i=0
    while [ "$i" -lt "$runs" ]; do
        (cd "$dir" && /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > "$work/out" 2>&1) ||
            { echo "failed: $*" >&2; cat "$work/out" >&2; exit 1; }
        cat "$work/time" >> "$work/times"
        i=$((i + 1))
    done
    wall=$(cut -d' ' -f1 "$work/times" | median)
    cpu=$(awk '{ printf "%.2f\n", $2 + $3 }' "$work/times" | median)
    kib=$(cut -d' ' -f4 "$work/times" | median)
    echo "$wall $cpu $(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')"
}

# The agent must have written both files (they are deleted again at its end).
agent() {
    measure ./KX_InventoryAGT tmp
    grep -q 'ソフトウェア情報作成完了' "$work/out" || { echo "the agent run failed:" >&2; cat "$work/out" >&2; exit 1; }
}

plistlib() { # file
    dir=$work
    measure python3 -c 'import plistlib,sys; plistlib.load(open(sys.argv[1],"rb"))' "$1"
}

row() { # input program "wall cpu MiB"
    # shellcheck disable=SC2086 # the figures split into two columns
    set -- "$1" "$2" $3
    printf '| %-24s | %-34s | %8s | %7s | %13s |\n' "$1" "$2" "$3" "$4" "$5"
    # scripts/bench.sh gathers every benchmark's rows into one table
    if [ -n "${KX_BENCH_ROWS:-}" ]; then
        printf 'agent run, 20k apps\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" >> "$KX_BENCH_ROWS"
    fi
}

mb() { awk -v b="$(wc -c < "$1")" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }

xml=$inputs/app-20k.xml
bplist=$inputs/app-20k.bplist
installation "$work/xml" "$xml"
installation "$work/binary" "$bplist"

dir=$work/xml
agentXml=$(agent)
plistlibXml=$(plistlib "$xml")
dir=$work/binary
agentBinary=$(agent)
plistlibBinary=$(plistlib "$bplist")

echo "20k applications, $runs runs per row, medians ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
printf '| %-24s | %-34s | %8s | %7s | %13s |\n' "app list" "program" "wall s" "cpu s" "peak RSS MiB"
printf '|%s|%s|%s|%s|%s|\n' "--------------------------" "------------------------------------" "----------" "---------" "---------------"
row "XML, $(mb "$xml")" "KX_InventoryAGT tmp (whole run)" "$agentXml"
row "XML, $(mb "$xml")" "python3 plistlib.load (parse only)" "$plistlibXml"
row "binary, $(mb "$bplist")" "KX_InventoryAGT tmp (whole run)" "$agentBinary"
row "binary, $(mb "$bplist")" "python3 plistlib.load (parse only)" "$plistlibBinary"
