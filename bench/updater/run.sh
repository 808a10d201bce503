#!/bin/sh
# The updater's speed and memory beside the command-line peers, on loopback:
#   1. a whole update run (KX_Updater tmp) installing one new 100 MiB module
#      from lighttpd: list, digest, download, verify, put in place;
#      peer: curl -o FILE URL && md5sum FILE against the same server;
#      beside it the same run in signed mode (update.pub installed: manifest
#      checked, SHA-256 computed beside the MD5 as the bytes arrive);
#   2. the MD5 of a 256 MiB file: kx_md5file (Hash::GetFile) vs md5sum.
# Usage: bench/updater/run.sh [BUILD_DIR] [RUNS]
# BUILD_DIR is configured with -DKX_BENCH=ON (default: build-bench, built here).
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build-bench}
runs=${2:-5}
if [ ! -x "$build/KX_Updater" ] || [ ! -x "$build/bench/kx_md5file" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DKX_BENCH=ON -DKX_TESTS=OFF >/dev/null
    cmake --build "$build" --target KX_Updater kxpublish kx_md5file >/dev/null
fi

work=$(mktemp -d /tmp/kxupd-bench-XXXXXX)
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/www/modules"
head -c 104857600 /dev/urandom > "$work/www/modules/module100.bin"
head -c 268435456 /dev/urandom > "$work/big256.bin"
openssl genpkey -algorithm ed25519 -out "$work/release.pem"
openssl pkey -in "$work/release.pem" -pubout -out "$work/update.pub"
"$build/kxpublish" --key "$work/release.pem" --version 1 --expires 2099-01-01T00:00:00Z \
    --manifest "$work/www/manifest.txt" "$work/www/modules" "$work/www/list.txt" "$work/www/list.md5"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$work/lighttpd.conf" <<CONF
server.document-root = "$work/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/lighttpd-error.log"
mimetype.assign = ("" => "application/octet-stream")
CONF
/usr/sbin/lighttpd -D -f "$work/lighttpd.conf" &
server_pid=$!
i=0
until curl -s -o /dev/null "http://127.0.0.1:$port/list.md5"; do
    i=$((i + 1)); [ $i -lt 50 ] || { echo "lighttpd did not start"; exit 1; }
    sleep 0.1
done

install_dir="$work/install"
fresh_install() { # [signed]
    rm -rf "$install_dir"; mkdir -p "$install_dir"
    [ -z "${1:-}" ] || cp "$work/update.pub" "$install_dir/update.pub"
    cat > "$install_dir/config.ini" <<INI
<KX><Config><Server>127.0.0.1</Server><Port>$port</Port><HostID>1</HostID><SSL>0</SSL></Config></KX>
INI
    cat > "$install_dir/update.ini" <<INI
<KX><Update><List>/list.txt</List><ListHash>/list.md5</ListHash><Modules>/modules</Modules><Manifest>/manifest.txt</Manifest></Update></KX>
INI
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

update_once() { # times-name [signed]
    fresh_install "${2:-}"
    (cd "$install_dir" && /usr/bin/time -a -o "$work/$1.times" -f '%e %M %U %S' "$build/KX_Updater" tmp)
    cmp -s "$install_dir/module100.bin" "$work/www/modules/module100.bin" || { echo "update failed"; exit 1; }
    if [ -n "${2:-}" ]; then
        grep -q 'Verify: manifest version 1' "$install_dir"/updatelog/kxupd_*.log || { echo "signed update not verified"; exit 1; }
    fi
}
peer_once() {
    rm -f "$work/peer.bin"
    /usr/bin/time -a -o "$work/peer.times" -f '%e %M %U %S' sh -c \
        "curl -s -o '$work/peer.bin' 'http://127.0.0.1:$port/modules/module100.bin' && md5sum '$work/peer.bin'"
}
md5_once() { /usr/bin/time -a -o "$work/md5.times" -f '%e %M %U %S' "$build/bench/kx_md5file" "$work/big256.bin"; }
md5sum_once() { /usr/bin/time -a -o "$work/md5sum.times" -f '%e %M %U %S' md5sum "$work/big256.bin"; }

# Warm the page cache, then interleave the contenders run by run.
cat "$work/www/modules/module100.bin" "$work/big256.bin" > /dev/null
for kind in update signed peer md5 md5sum; do : > "$work/$kind.times"; done
n=0
while [ $n -lt "$runs" ]; do
    update_once update >/dev/null; update_once signed yes >/dev/null
    peer_once >/dev/null; md5_once >/dev/null; md5sum_once >/dev/null
    n=$((n + 1))
done

secs() { cut -d' ' -f1 < "$work/$1.times" | median; }
kib() { cut -d' ' -f2 < "$work/$1.times" | median; }
cpu() { awk '{ printf "%.2f\n", $3 + $4 }' < "$work/$1.times" | median; }
mbps() { awk -v s="$1" 'BEGIN { printf "%.0f", 268435456 / 1e6 / s }'; }

echo "median of $runs runs, loopback lighttpd, page cache warm"
printf '%-46s %8s %8s %10s\n' "what" "seconds" "cpu s" "peak KiB"
row() { # label kind [case program: for scripts/bench.sh's one table]
    printf '%-46s %8s %8s %10s' "$1" "$(secs "$2")" "$(cpu "$2")" "$(kib "$2")"
    if [ -n "${KX_BENCH_ROWS:-}" ]; then
        printf 'updater\t%s\t%s\t%s\t%s\t%s\n' "$3" "$4" "$(secs "$2")" "$(cpu "$2")" \
            "$(awk -v k="$(kib "$2")" 'BEGIN { printf "%.1f", k / 1024 }')" >> "$KX_BENCH_ROWS"
    fi
}
row "KX_Updater tmp: install new 100 MiB module" update "install a new 100 MiB module" "KX_Updater tmp (whole run)"; echo
row "KX_Updater tmp, signed mode: same module" signed "install a new 100 MiB module" "KX_Updater tmp, signed (whole run), $(awk -v s="$(secs signed)" -v u="$(secs update)" 'BEGIN { printf "%.2fx", s / u }') of unsigned"
echo "   $(awk -v s="$(secs signed)" -v u="$(secs update)" 'BEGIN { printf "%.2f", s / u }')x the unsigned run"
row "curl -o FILE URL && md5sum FILE (100 MiB)" peer "install a new 100 MiB module" "curl -o FILE URL && md5sum FILE"; echo " (curl's peak; md5sum runs after it)"
row "kx_md5file (Hash::GetFile) 256 MiB" md5 "MD5 of a 256 MiB file" "Hash::GetFile, $(mbps "$(secs md5)") MB/s"; echo "   $(mbps "$(secs md5)") MB/s"
row "md5sum 256 MiB" md5sum "MD5 of a 256 MiB file" "md5sum, $(mbps "$(secs md5sum)") MB/s"; echo "   $(mbps "$(secs md5sum)") MB/s"
