#!/bin/sh
# Runs every fuzz target of a KX_FUZZ build for a bounded time each.
# Any crash, sanitizer report, leak or time-out fails the run.
set -eu
build=$1
seconds=${2:-60}
list="$build/fuzzers.txt"
[ -f "$list" ] || { echo "no fuzz targets in $build"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
while read -r exe seeds; do
    [ -n "$exe" ] || continue
    name=$(basename "$exe")
    corpus="$work/$name"
    mkdir -p "$corpus"
    echo "fuzz: $name for ${seeds:+seeds $seeds, }${seconds}s"
    # shellcheck disable=SC2086
    if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=0 -artifact_prefix="$work/$name-" \
            "$corpus" ${seeds:+"$seeds"} >"$work/$name.log" 2>&1; then
        echo "fuzz: $name FAILED"; tail -n 40 "$work/$name.log"
        ls "$work/$name-"* 2>/dev/null || true
        failed=1
    fi
done < "$list"
exit $failed
