#!/bin/sh
# PUT throughput and peak memory of the WebDAV client beside the curl tool,
# against the same lighttpd on 127.0.0.1: one 100 MiB PUT, and 100 PUTs of
# 1 MiB each on a fresh connection. Every figure is the median of RUNS runs.
#   bench/webdav/run.sh [build dir]     (default build-bench, configured with -DKX_BENCH=ON)
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build-bench}
runs=${RUNS:-5}
work=$(mktemp -d /tmp/kx-webdav-bench-XXXXXX)

cmake -S "$top" -B "$build" -G Ninja -DKX_BENCH=ON -DKX_TESTS=OFF >/dev/null
cmake --build "$build" --target webdav_put_bench >/dev/null
driver="$build/bench/webdav/webdav_put_bench"

# Inputs: the shared generator's transfer files when present, else our own.
inputs=/tmp/kxbench/inputs
if [ ! -f "$inputs/xfer-100m.bin" ]; then
    inputs=$work/inputs
    mkdir -p "$inputs"
    head -c $((100 << 20)) /dev/urandom >"$inputs/xfer-100m.bin"
    head -c $((1 << 20)) /dev/urandom >"$inputs/xfer-1m.bin"
fi

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/htdocs/SPOOL/bench" "$work/upload"
echo "kx:secret" >"$work/users"
cat >"$work/lighttpd.conf" <<CONF
server.document-root = "$work/htdocs"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/error.log"
server.upload-dirs = ( "$work/upload" )
server.modules = ( "mod_auth", "mod_authn_file", "mod_webdav" )
webdav.activate = "enable"
webdav.is-readonly = "disable"
auth.backend = "plain"
auth.backend.plain.userfile = "$work/users"
auth.require = ( "/" => ( "method" => "basic", "realm" => "kx", "require" => "valid-user" ) )
CONF
/usr/sbin/lighttpd -D -f "$work/lighttpd.conf" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
sleep 0.5
base="http://127.0.0.1:$port"

# curl: one process, the same PUTs; "Connection: close" makes every PUT open its own connection.
curl_config() { # file count
    i=0
    while [ $i -lt "$2" ]; do
        printf 'upload-file = "%s"\nurl = "%s/SPOOL/bench/put-%d.bin"\n' "$1" "$base" $i
        i=$((i + 1))
    done
}

# Prints "<seconds> <peak KiB> <CPU seconds>" of one timed command.
timed() {
    /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >/dev/null
    awk '{ print $1, $2, $3 + $4 }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

measure() { # label file count
    label=$1 file=$2 count=$3
    curl_config "$file" "$count" >"$work/curl.cfg"
    : >"$work/client.txt"; : >"$work/curl.txt"
    r=0
    while [ $r -lt "$runs" ]; do
        timed "$driver" "$base" "$file" "$count" >>"$work/client.txt"
        timed curl -sS -f -u kx:secret -H "Connection: close" -K "$work/curl.cfg" >>"$work/curl.txt"
        r=$((r + 1))
    done
    bytes=$(($(stat -c %s "$file") * count))
    cs=$(cut -d' ' -f1 "$work/client.txt" | median); cm=$(cut -d' ' -f2 "$work/client.txt" | median)
    cc=$(cut -d' ' -f3 "$work/client.txt" | median)
    us=$(cut -d' ' -f1 "$work/curl.txt" | median); um=$(cut -d' ' -f2 "$work/curl.txt" | median)
    uc=$(cut -d' ' -f3 "$work/curl.txt" | median)
    awk -v l="$label" -v b="$bytes" -v n="$count" -v cs="$cs" -v cm="$cm" -v cc="$cc" \
        -v us="$us" -v um="$um" -v uc="$uc" 'BEGIN {
        f = "%-16s %-10s %8.3f s %9.1f MB/s %8.2f ms/PUT %8d KiB %8.2f s\n"
        printf f, l, "client", cs, b / cs / 1e6, cs * 1000 / n, cm, cc
        printf f, l, "curl", us, b / us / 1e6, us * 1000 / n, um, uc
        printf "%-16s %-10s %8.2fx curl throughput\n", l, "ratio", us / cs }'
    # scripts/bench.sh gathers every benchmark's rows into one table
    if [ -n "${KX_BENCH_ROWS:-}" ]; then
        awk -v l="$label" -v b="$bytes" -v cs="$cs" -v cm="$cm" -v cc="$cc" -v us="$us" -v um="$um" -v uc="$uc" 'BEGIN {
            f = "WebDAV PUT\t%s\t%s, %.0f MB/s\t%.3f\t%.2f\t%.1f\n"
            printf f, l, "WebDAV client", b / cs / 1e6, cs, cc, cm / 1024
            printf f, l, "curl", b / us / 1e6, us, uc, um / 1024 }' >> "$KX_BENCH_ROWS"
    fi
}

echo "median of $runs runs (wall time of the whole process, peak RSS, user+system CPU time)"
printf '%-16s %-10s %10s %14s %15s %12s %10s\n' case tool time throughput latency "peak RSS" CPU
measure "1 x 1 MiB" "$inputs/xfer-1m.bin" 1
measure "1 x 100 MiB" "$inputs/xfer-100m.bin" 1
measure "100 x 1 MiB" "$inputs/xfer-1m.bin" 100
