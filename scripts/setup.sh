#!/bin/sh
# Installs every Debian package the build, the tests, the fuzzers and the
# benchmarks need. Idempotent and quiet when everything is present.
set -eu

PACKAGES="
build-essential cmake ninja-build pkg-config
libboost-dev libboost-filesystem-dev libboost-system-dev libboost-log-dev
libboost-thread-dev libboost-locale-dev
libcurl4-openssl-dev libssl-dev libpugixml-dev nlohmann-json3-dev
libgtest-dev libgmock-dev libbenchmark-dev
clang-14 libclang-rt-14-dev clang-format-14
lighttpd lighttpd-mod-webdav lighttpd-mod-openssl openssl curl
python3 shellcheck dash time procps
libplist-dev
lintian
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing$missing"
$SUDO apt-get update -qq >/dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
# lighttpd's package starts a system-wide service; the tests start their own.
if command -v systemctl >/dev/null 2>&1; then
    $SUDO systemctl disable --now lighttpd >/dev/null 2>&1 || true
fi
