#!/bin/sh
# Every benchmark, each side by side with its peer, gathered into one table:
#   property-list parsing (libplist, Python's plistlib), the whole agent run on
#   a 20k-application Mac (plistlib), WebDAV PUTs (the curl tool), the whole
#   update run, unsigned and signed, and MD5 (curl + md5sum).
#   scripts/bench.sh [RUNS]     medians of RUNS runs each (default 5)
# Each benchmark's own report goes to out/bench/<name>.txt.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh
runs=${1:-5}
build=$top/build-bench
out=$top/out/bench
mkdir -p "$out"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKX_BENCH=ON -DKX_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

KX_BENCH_ROWS=$out/rows.tsv
export KX_BENCH_ROWS
: > "$KX_BENCH_ROWS"
for name in plist mac webdav updater; do
    echo "benchmark: $name ..." >&2
    if ! RUNS=$runs bench/$name/run.sh "$build" "$runs" > "$out/$name.txt" 2>&1; then
        echo "benchmark $name failed; see $out/$name.txt" >&2
    fi
done

echo
echo "Medians of $runs runs on $(nproc) cores (load $(cut -d' ' -f1 /proc/loadavg)); whole processes; peers beside each row."
echo
printf '| %s | %s | %s | %s | %s | %s |\n' benchmark case program "wall s" "cpu s" "peak MiB"
printf '|---|---|---|---:|---:|---:|\n'
awk -F '\t' '{ printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6 }' "$KX_BENCH_ROWS"
