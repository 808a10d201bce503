#!/bin/sh
# Builds the Debian package from an existing build folder and tries it on
# this machine, as an administrator would: lintian, install, files, modes and
# units, an upgrade that keeps an edited config.ini, removal, purge.
# Needs root (dpkg). Leaves nothing installed.
#   packaging/ci-package.sh [BUILD_DIR]      (default: build)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
prefix=/opt/kx-inventory
units="kx-inventory.service kx-inventory.timer kx-updater.service kx-updater.timer"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

fail() { echo "package: FAILED: $*" >&2; exit 1; }
step() { echo "package: $*"; }
quiet() { # runs a command, shows its output only when it fails
    "$@" >"$work/out" 2>&1 </dev/null || { cat "$work/out"; fail "$*"; }
}
mode_of() { stat -c '%a %U:%G' "$1"; }
expect_mode() { # path "mode owner:group"
    [ -e "$1" ] || fail "$1 missing"
    [ "$(mode_of "$1")" = "$2" ] || fail "$1 is $(mode_of "$1"), expected $2"
}

# dpkg's state of the package: empty or "not-installed" when it is unknown.
state() { dpkg-query -W -f='${db:Status-Status}' kx-inventory 2>/dev/null || true; }
case $(state) in
    ""|not-installed) ;;
    *) fail "kx-inventory is on this machine already ($(state)); not touching it" ;;
esac
[ ! -e "$prefix" ] || fail "$prefix exists and is not from the package; not touching it"

work=$(mktemp -d)
cleanup() {
    $SUDO dpkg --purge kx-inventory >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

step "building"
quiet cmake --build "$build" --target package
deb=$(ls "$build"/kx-inventory_*.deb)

step "lintian"
if ! lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1; then
    grep -v 'root privileges' "$work/lintian"
    fail "lintian reports errors or warnings"
fi
dpkg-deb -f "$deb" Depends | grep -q 'libcurl4' || fail "no dependencies computed from the binaries"

step "install"
quiet $SUDO dpkg -i "$deb"
for program in KX_InventoryAGT KX_Updater kxdump kxpublish macInventory.sh; do
    expect_mode "$prefix/$program" "755 root:root"
done
expect_mode "$prefix/config.ini" "600 root:root"
expect_mode "$prefix/update.ini" "600 root:root"
for unit in $units; do
    expect_mode "/lib/systemd/system/$unit" "644 root:root"
done
for page in KX_InventoryAGT KX_Updater kxdump kxpublish; do
    expect_mode "/usr/share/man/man1/$page.1.gz" "644 root:root"
done
if ldd "$prefix/KX_InventoryAGT" "$prefix/KX_Updater" "$prefix/kxdump" "$prefix/kxpublish" | grep 'not found'; then
    fail "a shared library is missing"
fi
grep -q "^WorkingDirectory=$prefix\$" /lib/systemd/system/kx-inventory.service || fail "agent unit not in $prefix"
grep -q 'systemctl start --no-block kx-inventory.service' "$prefix/update.ini" ||
    fail "update.ini does not start the agent through systemd"
for timer in kx-inventory.timer kx-updater.timer; do
    [ -L "/etc/systemd/system/timers.target.wants/$timer" ] || fail "$timer not enabled"
done
if command -v systemd-analyze >/dev/null 2>&1; then
    # Checks syntax, ExecStart= executables and the timers' services; needs
    # no running systemd.
    # shellcheck disable=SC2086
    ( cd /lib/systemd/system && systemd-analyze verify --man=no $units ) || fail "systemd-analyze verify"
    for service in kx-inventory.service kx-updater.service; do
        step "$(systemd-analyze security --offline=true "/lib/systemd/system/$service" 2>/dev/null | tail -n 1)"
    done
else
    step "no systemd-analyze on this machine: units not verified"
fi
"$prefix/kxdump" >/dev/null 2>&1 && fail "kxdump without a file succeeded"

step "upgrade keeps an edited config.ini and a disabled timer"
quiet $SUDO systemctl disable kx-updater.timer
$SUDO sed -i 's|<Server>[^<]*</Server>|<Server>edited.example.com</Server>|' "$prefix/config.ini"
# What the programs leave behind, for the purge below.
$SUDO mkdir -p "$prefix/log" "$prefix/result" "$prefix/updatetmp" "$prefix/backup" "$prefix/updatelog"
$SUDO touch "$prefix/log/kxinv_20261210.log" "$prefix/logtmp.txt" "$prefix/tmp_Inventory.exe" \
    "$prefix/.kxupd-new-kxdump"
# A later version of the same package: the real upgrade path (prerm upgrade,
# new files, postinst configure with the old version).
dpkg-deb -R "$deb" "$work/next"
sed -i 's/^Version: .*/&.1/' "$work/next/DEBIAN/control"
dpkg-deb -b --root-owner-group "$work/next" "$work/next.deb" >/dev/null
quiet $SUDO dpkg -i "$work/next.deb"
grep -q '<Server>edited.example.com</Server>' "$prefix/config.ini" || fail "the edited config.ini was replaced"
expect_mode "$prefix/config.ini" "600 root:root"
[ -L /etc/systemd/system/timers.target.wants/kx-inventory.timer ] || fail "the upgrade disabled kx-inventory.timer"
[ ! -e /etc/systemd/system/timers.target.wants/kx-updater.timer ] || fail "the upgrade enabled the disabled kx-updater.timer"
if [ -e "$prefix/config.ini.dpkg-new" ] || [ -e "$prefix/config.ini.dpkg-old" ]; then
    fail "the upgrade left a .dpkg-new/.dpkg-old file"
fi

step "remove"
quiet $SUDO dpkg -r kx-inventory
for file in KX_InventoryAGT KX_Updater kxdump kxpublish macInventory.sh; do
    [ ! -e "$prefix/$file" ] || fail "$file left after removal"
done
for unit in $units; do
    [ ! -e "/lib/systemd/system/$unit" ] || fail "$unit left after removal"
done
[ -e "$prefix/config.ini" ] || fail "removal took config.ini (kept until purge)"
for timer in kx-inventory.timer kx-updater.timer; do
    [ ! -e "/etc/systemd/system/timers.target.wants/$timer" ] || fail "$timer still enabled after removal"
done

step "purge"
quiet $SUDO dpkg -P kx-inventory
[ ! -e "$prefix" ] || { ls -la "$prefix"; fail "$prefix left after purge"; }
left=$(find /etc/systemd /var/lib/systemd/deb-systemd-helper-enabled /var/lib/systemd/deb-systemd-helper-masked \
    /usr/share/doc/kx-inventory /usr/share/lintian/overrides/kx-inventory /usr/share/man/man1 \
    -name '*kx-*' -o -name 'KX_*.1.gz' -o -name 'kxdump.1.gz' -o -name 'kxpublish.1.gz' 2>/dev/null || true)
[ -z "$left" ] || fail "left after purge: $left"
case $(state) in
    ""|not-installed) ;;
    *) fail "dpkg still has the package: $(state)" ;;
esac
step "ok"
