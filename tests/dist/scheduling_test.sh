#!/bin/sh
# The shipped schedules' own shell lines, run with stand-ins for the system's
# tools: the launchd jobs' delay (fixed per machine, only at the calendar
# start) and the updater's start command (the service manager first, the
# background start only when that fails).
#   scheduling_test.sh SOURCE_DIR BUILD_DIR
set -eu
src=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, actual, expected
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: got [$2], expected [$3]"; failures=$((failures + 1)); fi
}

# Stand-ins: ioreg prints the hardware UUID from $UUID, date the time
# from $HHMM, sleep and the programs write what they were asked into files.
mkdir -p "$work/bin" "$work/install"
cat > "$work/bin/ioreg" <<'STUB'
#!/bin/sh
printf '+-o J314sAP  <class IOPlatformExpertDevice>\n    "IOPlatformSerialNumber" = "X"\n    "IOPlatformUUID" = "%s"\n' "$UUID"
STUB
cat > "$work/bin/date" <<'STUB'
#!/bin/sh
[ "$1" = "+%H%M" ] && { echo "$HHMM"; exit 0; }
exec /bin/date "$@"
STUB
cat > "$work/bin/sleep" <<'STUB'
#!/bin/sh
echo "$1" > "$OUT/slept"
STUB
cat > "$work/bin/systemctl" <<'STUB'
#!/bin/sh
echo "$*" > "$OUT/systemctl"
exit "$SYSTEMCTL_STATUS"
STUB
for program in KX_InventoryAGT KX_Updater; do
    # shellcheck disable=SC2016
    printf '#!/bin/sh\necho "%s $*" > "$OUT/ran"\n' "$program" > "$work/install/$program"
done
chmod 755 "$work/bin/"* "$work/install/"*
export OUT="$work/out" PATH="$work/bin:$PATH" SYSTEMCTL_STATUS=0

job_line() { # plist → the shell line launchd runs
    python3 -c 'import plistlib, sys; print(plistlib.load(open(sys.argv[1], "rb"))["ProgramArguments"][2])' "$1"
}
run_job() { # plist uuid hhmm → "<slept seconds or -> <what ran>"
    rm -rf "$OUT"; mkdir -p "$OUT"
    (cd "$work/install" && UUID=$2 HHMM=$3 /bin/sh -c "$(job_line "$1")")
    printf '%s %s' "$(cat "$OUT/slept" 2>/dev/null || echo -)" "$(cat "$OUT/ran")"
}

agent=$src/dist/launchd/com.kx.inventory.plist
updater=$src/dist/launchd/com.kx.updater.plist
uuid_a=6D2F04C1-8C36-5E7B-A4F1-2E9A7C3B1D10
uuid_b=0B91E2A4-1F7C-5A3D-9E62-7C4D8B2F6A35
delay_a=$(run_job "$agent" $uuid_a 0900 | cut -d' ' -f1)
delay_b=$(run_job "$agent" $uuid_b 0900 | cut -d' ' -f1)
check "the 09:00 start waits, then runs the agent" "$(run_job "$agent" $uuid_a 0900 | cut -d' ' -f2-)" "KX_InventoryAGT run"
check "the wait is less than four hours" "$([ "$delay_a" -ge 0 ] && [ "$delay_a" -lt 14400 ] && echo yes)" "yes"
check "the wait is the same on every day for one machine" "$(run_job "$agent" $uuid_a 0900 | cut -d' ' -f1)" "$delay_a"
check "another machine waits another time" "$([ "$delay_a" != "$delay_b" ] && echo differs)" "differs"
check "a start at another time (kickstart, after wake) runs at once" "$(run_job "$agent" $uuid_a 1423)" "- KX_InventoryAGT run"
check "the updater waits as long at 08:00, an hour ahead" "$(run_job "$updater" $uuid_a 0800)" "$delay_a KX_Updater run"
check "the updater at another time runs at once" "$(run_job "$updater" $uuid_a 0900)" "- KX_Updater run"

# Where the jobs' output goes and what they create: the installation's log/,
# for root only (launchd's default is /dev/null).
job_files() {
    python3 -c 'import plistlib, sys; d = plistlib.load(open(sys.argv[1], "rb")); print(d["WorkingDirectory"] + "/log/" == d["StandardOutPath"].rsplit("/", 1)[0] + "/" and d["StandardOutPath"] == d["StandardErrorPath"], oct(d["Umask"]))' "$1"
}
check "the agent job keeps its output in log/, umask 077" "$(job_files "$agent")" "True 0o77"
check "the updater job keeps its output in log/, umask 077" "$(job_files "$updater")" "True 0o77"

# The updater's start command, as the updater runs it: [EXEPATH] replaced,
# through the shell.
start_line() {
    python3 -c 'import sys, xml.etree.ElementTree as E; print(E.parse(sys.argv[1]).find("Start/Command1").text)' \
        "$build/dist/update.ini" | sed "s|\[EXEPATH\]|$work/install|g"
}
rm -rf "$OUT"; mkdir -p "$OUT"
(cd / && /bin/sh -c "$(start_line)")
check "start command: systemd starts the agent's unit" "$(cat "$OUT/systemctl")" "start --no-block kx-inventory.service"
check "start command: no second agent beside the unit" "$(cat "$OUT/ran" 2>/dev/null || echo none)" "none"

rm -rf "$OUT"; mkdir -p "$OUT"
(cd / && SYSTEMCTL_STATUS=5 /bin/sh -c "$(start_line)")
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$OUT/ran" ] && break; /bin/sleep 0.2; done
check "start command without the unit: the agent starts in the background" "$(cat "$OUT/ran" 2>/dev/null)" "KX_InventoryAGT "

[ "$failures" -eq 0 ]
