#!/bin/sh
# Collects this machine's raw inventory for KX_InventoryAGT, which runs it as
# "./macInventory.sh a" in its installation folder and then parses the files
# left in ./result (the script writes nowhere else). macOS and Linux.
#
# Every system tool runs under a time limit of the script's own (macOS has no
# timeout command): a tool that is missing, fails or runs too long leaves its
# file absent or empty, and the rest goes on. The script always exits 0.
#
# For tests only:
#   KX_ROOT        folder under which /proc, /etc, /var/log and /sys are read
#                  (default: the real root); tools are found on PATH.
#   KX_TOOL_LIMIT  seconds one tool may run (default 60); system_profiler gets
#                  three times that.
#   KX_RUN_LIMIT   seconds all tools together may run (default four tool
#                  limits); a tool started later gets what is left.

LC_ALL=C
LANG=C
export LC_ALL LANG

ROOT=${KX_ROOT:-}
RESULT=./result
WORK=$RESULT/.work

TOOL_LIMIT=${KX_TOOL_LIMIT:-60}
case $TOOL_LIMIT in '' | *[!0-9]* | 0) TOOL_LIMIT=60 ;; esac

# Seconds since 1970, or 0 where date cannot tell (then only the per-tool
# limits hold).
now() {
    n=$(date +%s 2>/dev/null)
    case $n in '' | *[!0-9]*) n=0 ;; esac
    echo "$n"
}
RUN_LIMIT=${KX_RUN_LIMIT:-$((4 * TOOL_LIMIT))}
case $RUN_LIMIT in '' | *[!0-9]* | 0) RUN_LIMIT=$((4 * TOOL_LIMIT)) ;; esac
DEADLINE=$(($(now) + RUN_LIMIT))

# ---------------------------------------------------------------------------
# Running tools under a time limit

# kill_tree SIGNAL PID: the process and its direct children.
kill_tree() {
    if command -v pkill >/dev/null 2>&1; then
        pkill -"$1" -P "$2" 2>/dev/null
    fi
    kill -s "$1" "$2" 2>/dev/null
}

# watchdog PID SECONDS WAITER MARK: stops the tool PID once SECONDS have
# passed, after creating the file MARK (a tool may still end normally once
# its children are gone, with half its output); if it survives even KILL
# (stuck in the kernel), wakes the shell WAITER that waits for it. Ends at
# once on USR2, which no shell of the script traps: a signal the script
# traps can reach a new subshell before it drops the inherited traps, and
# be lost.
watchdog() {
    trap 'kill "$wd_nap" 2>/dev/null; exit 0' USR2
    sleep "$2" &
    wd_nap=$!
    wait "$wd_nap"
    kill -0 "$1" 2>/dev/null || exit 0
    # Not ":", whose failed redirection would end this shell before the kill.
    true >"$4"
    kill_tree TERM "$1"
    sleep 2 &
    wd_nap=$!
    wait "$wd_nap"
    kill_tree KILL "$1"
    sleep 1 &
    wd_nap=$!
    wait "$wd_nap"
    if kill -0 "$1" 2>/dev/null; then kill -s USR1 "$3" 2>/dev/null; fi
}

# run_limited SECONDS OUTPUT TOOL [ARGUMENT...]: runs TOOL with its standard
# output in the file OUTPUT for at most SECONDS (less when the run's own
# budget is nearly spent). Returns the tool's status; 127 when it is missing,
# 124 when it ran out of time or none was left. A tool stopped for its time
# or by a signal leaves no OUTPUT, since what it wrote may be cut off.
run_limited() {
    rl_limit=$1
    rl_out=$2
    shift 2
    command -v "$1" >/dev/null 2>&1 || return 127
    rl_left=$((DEADLINE - $(now)))
    if [ "$rl_left" -lt "$rl_limit" ]; then rl_limit=$rl_left; fi
    [ "$rl_limit" -gt 0 ] || return 124
    # A late wake-up interrupts a wait at most: never reset.
    trap ':' USR1
    "$@" </dev/null >"$rl_out" 2>/dev/null &
    rl_tool=$!
    rl_mark=$WORK/late.$rl_tool
    watchdog "$rl_tool" "$rl_limit" "$SHELL_PID" "$rl_mark" </dev/null >/dev/null 2>&1 &
    rl_dog=$!
    wait "$rl_tool"
    rl_status=$?
    kill -s USR2 "$rl_dog" 2>/dev/null
    wait "$rl_dog" 2>/dev/null
    if [ -e "$rl_mark" ]; then
        rm -f "$rl_mark"
        rl_status=124
    fi
    if [ "$rl_status" -gt 128 ] || [ "$rl_status" -eq 124 ]; then rm -f "$rl_out"; fi
    return "$rl_status"
}

# The shell that waits for the tools: this one, or the background subshell
# that runs one system profiler report ($$ names the script in both).
SHELL_PID=$$
# shellcheck disable=SC2016 # $PPID of the new sh: the shell running this
own_pid() {
    exec sh -c 'echo "$PPID"'
}

# run OUTPUT TOOL [ARGUMENT...] with the ordinary limit.
run() {
    run_limited "$TOOL_LIMIT" "$@"
}

first_line() {
    head -n 1 "$1" 2>/dev/null | tr -d '\r'
}

# ---------------------------------------------------------------------------
# macOS: the system profiler's XML reports, one per data type, run side by
# side so that one report that hangs costs no more than its own limit.

# profile FILE DATATYPE: the full XML report of DATATYPE; a report that is
# cut off (no closing tag) is removed rather than left half-read.
profile() {
    SHELL_PID=$(own_pid)
    run_limited "$((TOOL_LIMIT * 3))" "$RESULT/$1" system_profiler -xml -detailLevel full "$2"
    if [ -f "$RESULT/$1" ] && ! grep -q '</plist>' "$RESULT/$1"; then
        rm -f "$RESULT/$1"
    fi
}

collect_macos() {
    profile hardware.xml SPHardwareDataType &
    profile mem.xml SPMemoryDataType &
    profile physical_disk.xml SPSerialATADataType &
    profile nvme_disk.xml SPNVMeDataType &
    profile pata_disk.xml SPParallelATADataType &
    profile logical_disk.xml SPStorageDataType &
    profile nics SPNetworkDataType &
    profile app SPApplicationsDataType &
    (
        SHELL_PID=$(own_pid)
        run_limited "$((TOOL_LIMIT * 3))" "$RESULT/video" system_profiler SPDisplaysDataType
    ) &

    # ProductName:	macOS
    # ProductVersion:	13.3.1
    # ProductVersionExtra:	(a)     <- left out: it too begins "ProductVersion"
    if run "$WORK/sw_vers" sw_vers; then
        grep -e '^ProductName:' -e '^ProductVersion:' "$WORK/sw_vers" >"$RESULT/os"
    fi
    run "$RESULT/hostname" hostname
    wait
}

# ---------------------------------------------------------------------------
# Linux: system identity

# "dmidecode": the System Information section of `dmidecode -t system` alone
# (other sections repeat Manufacturer and Serial Number, and the last one
# read wins):
#   System Information
#   	Manufacturer: Dell Inc.
#   	Product Name: PowerEdge R640
#   	Serial Number: ...
#   	UUID: 4c4c4544-...
# Without root or without dmidecode, "grep_sys_devices" instead:
#   /sys/devices/virtual/dmi/id/sys_vendor:Dell Inc.
collect_identity() {
    run "$WORK/dmidecode" dmidecode -t system
    awk '
        /^System Information/ { on = 1; print; next }
        on && (NF == 0 || /^[^ \t]/) { on = 0 }
        on { print }
    ' "$WORK/dmidecode" 2>/dev/null >"$WORK/system"
    if grep -q 'Manufacturer:' "$WORK/system"; then
        cp "$WORK/system" "$RESULT/dmidecode"
        return
    fi
    dmi=$ROOT/sys/devices/virtual/dmi/id
    [ -d "$dmi" ] || return
    for f in "$dmi"/*; do
        if [ ! -f "$f" ] || [ ! -r "$f" ]; then continue; fi
        value=$(first_line "$f")
        printf '/sys/devices/virtual/dmi/id/%s:%s\n' "${f##*/}" "$value"
    done >"$RESULT/grep_sys_devices"
}

# Where the firmware has no DMI tables:
# "devicetree": a board described by a device tree (ARM), its model and
# serial number, key, colon, value (the tree's texts end in a NUL):
#   model:Raspberry Pi 4 Model B Rev 1.4
#   serial-number:10000000a1b2c3d4
# "machine_id": the installation's machine id, 32 hexadecimal digits:
#   3d1219c7c4c5404aaa1f6d2a48adfda4
# (empty or "uninitialized" before the system first booted: left out).
collect_machine() {
    for tree in "$ROOT/proc/device-tree" "$ROOT/sys/firmware/devicetree/base"; do
        [ -d "$tree" ] || continue
        for key in model serial-number; do
            [ -r "$tree/$key" ] || continue
            value=$(tr -d '\000\r\n' <"$tree/$key" 2>/dev/null)
            [ -z "$value" ] || printf '%s:%s\n' "$key" "$value"
        done >"$WORK/devicetree"
        if [ -s "$WORK/devicetree" ]; then cp "$WORK/devicetree" "$RESULT/devicetree"; fi
        break
    done
    for id in "$ROOT/etc/machine-id" "$ROOT/var/lib/dbus/machine-id"; do
        value=$(first_line "$id" | tr -d ' \t')
        case $value in *[!0-9a-fA-F]* | '') continue ;; esac
        [ "${#value}" -eq 32 ] || continue
        printf '%s\n' "$value" >"$RESULT/machine_id"
        return
    done
}

# "hostname" (possibly fully qualified), "domainname" (only when the system
# knows one: NIS's "(none)" is no domain), "arch".
collect_host() {
    run "$RESULT/hostname" hostname
    domain=
    if run "$WORK/domain" hostname -d; then domain=$(first_line "$WORK/domain"); fi
    if [ -z "$domain" ] && run "$WORK/domain" dnsdomainname; then
        domain=$(first_line "$WORK/domain")
    fi
    case $domain in '' | '(none)') ;; *) printf '%s\n' "$domain" >"$RESULT/domainname" ;; esac
    run "$RESULT/arch" uname -m
}

# ---------------------------------------------------------------------------
# Linux: distribution

# os_release KEY: the value of KEY in os-release, without quotation marks.
os_release() {
    for f in "$ROOT/etc/os-release" "$ROOT/usr/lib/os-release"; do
        [ -r "$f" ] || continue
        sed -n "s/^$1=//p" "$f" | head -n 1 | tr -d '\r' |
            sed -e 's/^"\(.*\)"$/\1/' -e "s/^'\\(.*\\)'\$/\\1/"
        return
    done
}

# write_os FAMILY NAME VERSION: the release text in the form the agent's
# release parser classifies as FAMILY:
#   ubuntu  DISTRIB_ID=Ubuntu / DISTRIB_RELEASE=24.04 / DISTRIB_DESCRIPTION="Ubuntu 24.04.3 LTS"
#           (the description line last: the parser keeps the last line's values)
#   debian  12.11 / Debian GNU/Linux 12 (bookworm)   (version first)
#   suse    SUSE Linux Enterprise Server 12 SP1 / VERSION=12.1
#   line    Fedora release 30 (Thirty)               (name and version read from one line)
write_os() {
    case $1 in
    ubuntu) printf 'DISTRIB_ID=Ubuntu\nDISTRIB_RELEASE=%s\nDISTRIB_DESCRIPTION="%s"\n' "$3" "$2" ;;
    debian) printf '%s\n%s\n' "$3" "$2" ;;
    suse) printf '%s\nVERSION=%s\n' "$2" "$3" ;;
    *) printf '%s\n' "$2" ;;
    esac >"$RESULT/os"
}

# family_of NAME: the form for a release name the parser would otherwise
# read by its family word.
family_of() {
    case $1 in
    *Ubuntu*) echo ubuntu ;;
    *Debian*) echo debian ;;
    *SUSE*) echo suse ;;
    *) echo line ;;
    esac
}

# The first line of the release file of a distribution whose first line
# names it and its version, without a trailing " for x86_64".
first_line_release() {
    for name in oracle-release fedora-release centos-release rocky-release \
        almalinux-release redhat-release system-release gentoo-release \
        mandriva-release mageia-release vine-release turbolinux-release \
        slackware-version arch-release; do
        line=$(first_line "$ROOT/etc/$name" | sed -e 's/[[:space:]]*$//' -e 's/ for [A-Za-z0-9_]*$//')
        # Mageia links mandriva-release to its own file.
        if [ "$name" = mandriva-release ]; then
            case $line in *Mandriva*) ;; *) continue ;; esac
        fi
        if [ -n "$line" ]; then
            printf '%s\n' "$line"
            return
        fi
    done
}

collect_os() {
    id=$(os_release ID)
    pretty=$(os_release PRETTY_NAME)
    version_id=$(os_release VERSION_ID)
    lsb=$ROOT/etc/lsb-release
    lsb_id=$(sed -n 's/^DISTRIB_ID=//p' "$lsb" 2>/dev/null | head -n 1 | tr -d '"\r')
    if [ "$lsb_id" = Ubuntu ] || [ "$id" = ubuntu ]; then
        name=$(sed -n 's/^DISTRIB_DESCRIPTION=//p' "$lsb" 2>/dev/null | head -n 1 | tr -d '"\r')
        version=$(sed -n 's/^DISTRIB_RELEASE=//p' "$lsb" 2>/dev/null | head -n 1 | tr -d '"\r')
        write_os ubuntu "${name:-${pretty:-Ubuntu}}" "${version:-$version_id}"
        return
    fi
    if [ -s "$ROOT/etc/debian_version" ] && { [ "$id" = debian ] || [ -z "$id" ]; }; then
        case $pretty in *Debian*) name=$pretty ;; *) name="Debian GNU/Linux" ;; esac
        write_os debian "$name" "$(first_line "$ROOT/etc/debian_version")"
        return
    fi
    line=$(first_line_release)
    if [ -n "$line" ]; then
        write_os "$(family_of "$line")" "$line" ""
        return
    fi
    suse=$ROOT/etc/SuSE-release
    case $pretty in *SUSE*) suse_pretty=yes ;; *) suse_pretty= ;; esac
    if [ -s "$suse" ] || [ -n "$suse_pretty" ]; then
        # SUSE Linux Enterprise Server 12 (s390x)
        # VERSION = 12
        # PATCHLEVEL = 1
        name=$pretty
        [ -n "$suse_pretty" ] || name=$(first_line "$suse")
        version=$version_id
        if [ -z "$version" ]; then
            version=$(sed -n 's/^VERSION[[:space:]]*=[[:space:]]*//p' "$suse" 2>/dev/null | head -n 1 | tr -d '\r ')
            patch=$(sed -n 's/^PATCHLEVEL[[:space:]]*=[[:space:]]*//p' "$suse" 2>/dev/null | head -n 1 | tr -d '\r ')
            case $patch in '' | 0) ;; *) version=$version.$patch ;; esac
        fi
        if [ -z "$version" ]; then
            version=$(printf '%s\n' "$name" | tr ' ' '\n' | grep '^[0-9][0-9.]*$' | head -n 1)
        fi
        write_os suse "$name" "$version"
        return
    fi
    if [ -z "$pretty" ]; then
        pretty=$(os_release NAME)
        [ -z "$pretty" ] || [ -z "$version_id" ] || pretty="$pretty $version_id"
    fi
    # DISTRIB_DESCRIPTION="Linux Mint 17.3 Rosa", where there is no os-release
    [ -n "$pretty" ] || pretty=$(sed -n 's/^DISTRIB_DESCRIPTION=//p' "$lsb" 2>/dev/null | head -n 1 | tr -d '"\r')
    [ -n "$pretty" ] && write_os "$(family_of "$pretty")" "$pretty" "$version_id"
}

# ---------------------------------------------------------------------------
# Linux: installed packages and the installation time

# dpkg hosts: "app" lines "name version key" and "app_install" lines
# "YYYY-MM-DD hh:mm:ss install key", the key being the package as the
# installation log names it (bash:amd64). The log (with its rotated copies)
# gives each package's latest installation; older logs name packages
# without their architecture, and such entries are given the architectures
# installed under that name.
collect_dpkg() {
    # shellcheck disable=SC2016 # dpkg-query fields, not shell expansions
    run "$WORK/dpkg" dpkg-query -W \
        -f '${Package}\t${Architecture}\t${Version}\t${Installed-Size}\t${Section}\t${Status}\n'
    # adduser	all	3.112+nmu2	1228	admin	install ok installed
    awk -F '\t' '
        NF >= 3 && $1 != "" && $3 != "" &&
        (NF < 6 || $6 ~ / (installed|triggers-pending|triggers-awaited)$/) {
            print $1, $3, ($2 == "" ? $1 : $1 ":" $2)
        }
    ' "$WORK/dpkg" 2>/dev/null >"$WORK/app"
    [ -s "$WORK/app" ] || return 1
    cp "$WORK/app" "$RESULT/app"

    # 2019-03-04 05:06:07 install bash:amd64 <none> 4.4-5
    for log in "$ROOT"/var/log/dpkg.log*; do
        [ -f "$log" ] || continue
        case $log in
        *.gz) gzip -dc "$log" 2>/dev/null ;;
        *) cat "$log" ;;
        esac
    done | awk '
        function note(key) { if (!(key in when) || when[key] < stamp) when[key] = stamp }
        FNR == NR {
            if ((n = index($3, ":")) > 0) arches[$1] = arches[$1] " " substr($3, n + 1)
            next
        }
        $3 == "install" && NF >= 4 &&
        $1 ~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/ &&
        $2 ~ /^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]$/ {
            stamp = $1 " " $2
            if (index($4, ":") == 0 && ($4 in arches)) {
                n = split(arches[$4], arch, " ")
                for (i = 1; i <= n; i++) note($4 ":" arch[i])
            } else {
                note($4)
            }
        }
        END { for (key in when) print when[key] " install " key }
    ' "$WORK/app" - | sort >"$RESULT/app_install"

    # The oldest entry of the installation log: when the system was set up.
    for log in "$ROOT"/var/log/dpkg.log*; do
        [ -f "$log" ] || continue
        case $log in
        *.gz) gzip -dc "$log" 2>/dev/null | head -n 1 ;;
        *) head -n 1 "$log" ;;
        esac
    done | grep '^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]' |
        cut -c 1-19 | sort | head -n 1 | tr -d ' :-' >"$WORK/oldest"
    if [ -s "$WORK/oldest" ]; then cp "$WORK/oldest" "$RESULT/os_install_2"; fi
    return 0
}

# rpm hosts: "app" alone, lines "name version-release installation-seconds".
collect_rpm() {
    run "$WORK/rpm" rpm -qa --queryformat \
        '%{NAME}\t%{ARCH}\t%{VERSION}-%{RELEASE}\t%{INSTALLTIME}\t%{SIZE}\t%{VENDOR}\t%{SUMMARY}\t%{GROUP}\n'
    # libpciaccess0	i586	0.12.1-1.mga1	1311080703	38452	Mageia.Org	...
    awk -F '\t' 'NF >= 4 && $1 != "" { print $1, $3, $4 }' "$WORK/rpm" 2>/dev/null >"$WORK/app"
    [ -s "$WORK/app" ] || return 1
    cp "$WORK/app" "$RESULT/app"

    # The earliest installation: when the system was set up.
    oldest=$(awk '$3 ~ /^[0-9]+$/ && $3 > 0 { print $3 }' "$WORK/app" | sort -n | head -n 1)
    if [ -n "$oldest" ] && run "$WORK/oldest" date -d "@$oldest" +%Y%m%d%H%M%S; then
        if grep -q '^[0-9]\{14\}$' "$WORK/oldest"; then cp "$WORK/oldest" "$RESULT/os_install_2"; fi
    fi
    return 0
}

collect_software() {
    collect_dpkg || collect_rpm
}

# "os_install_1": the root file system's birth time in seconds, where the
# file system records it.
collect_install_time() {
    if run "$WORK/birth" stat -c %W "$ROOT/"; then
        birth=$(first_line "$WORK/birth")
        case $birth in '' | *[!0-9]* | 0) ;; *) printf '%s\n' "$birth" >"$RESULT/os_install_1" ;; esac
    fi
}

# ---------------------------------------------------------------------------
# Linux: processors and memory

# cpuinfo_value KEY: the first value of KEY in the copied cpuinfo.
cpuinfo_value() {
    sed -n "s/^$1[[:space:]]*:[[:space:]]*//p" "$RESULT/cpu" | head -n 1
}

# The processor's name where cpuinfo has no "model name" lines (ARM,
# PowerPC), from the best source there is.
cpu_model_name() {
    name=
    if run "$WORK/lscpu" lscpu; then
        name=$(sed -n 's/^Model name:[[:space:]]*//p' "$WORK/lscpu" | head -n 1)
        [ "$name" != - ] || name=
    fi
    [ -n "$name" ] || name=$(cpuinfo_value cpu)
    [ -n "$name" ] || name=$(cpuinfo_value Processor)
    for model in "$ROOT/proc/device-tree/model" "$ROOT/sys/firmware/devicetree/base/model"; do
        if [ -z "$name" ] && [ -r "$model" ]; then name=$(tr -d '\000' <"$model"); fi
    done
    [ -n "$name" ] || name=$(cpuinfo_value Model)
    [ -n "$name" ] || name=$(cpuinfo_value Hardware)
    [ -n "$name" ] || name=$(first_line "$RESULT/arch")
    printf '%s\n' "$name"
}

# "cpu": /proc/cpuinfo; without "model name" lines, one is added to each
# processor's block so that every package is recorded.
collect_cpu() {
    [ -r "$ROOT/proc/cpuinfo" ] || return
    cat "$ROOT/proc/cpuinfo" >"$RESULT/cpu"
    grep -q '^model name' "$RESULT/cpu" && return
    KX_MODEL=$(cpu_model_name) awk '
        { line[NR] = $0; if ($0 ~ /^processor[ \t]*:/) blocks = 1 }
        END {
            name = "model name\t: " ENVIRON["KX_MODEL"]
            if (!blocks) print name
            for (i = 1; i <= NR; i++) {
                print line[i]
                if (blocks && line[i] ~ /^processor[ \t]*:/) print name
            }
        }
    ' "$RESULT/cpu" >"$WORK/cpu" && cp "$WORK/cpu" "$RESULT/cpu"
}

collect_memory() {
    [ -r "$ROOT/proc/meminfo" ] || return
    cat "$ROOT/proc/meminfo" >"$RESULT/mem"
}

# ---------------------------------------------------------------------------
# Linux: disks and volumes

# "physical_disk": disks and optical drives, one a line, in the column order
# TYPE, MODEL, SIZE, KNAME with the size in bytes and the model's padding
# trimmed:
#   TYPE="disk" MODEL="WDC WD1600JS-75N" SIZE="160041885696" KNAME="sda"
# The pairs are taken by name, and a size that an older lsblk printed with a
# unit (149G) is turned back into bytes. Compressed RAM swap is no disk.
# A disk without a model (virtual disks) is named by what is known of it:
# its vendor and transport or driver ("Virtio block device", "ATA SATA
# disk"), else its kernel name.
collect_disks() {
    run "$WORK/lsblk" lsblk -P -b -d -o TYPE,MODEL,SIZE,KNAME,VENDOR,TRAN,SUBSYSTEMS
    status=$?
    # An older lsblk without the naming columns
    if [ "$status" -ne 0 ] && [ "$status" -ne 124 ] && [ "$status" -ne 127 ]; then
        run "$WORK/lsblk" lsblk -P -b -d -o TYPE,MODEL,SIZE,KNAME
    fi
    awk '
        function trim(text) { gsub(/^[ \t]+|[ \t]+$/, "", text); return text }
        # "block:scsi:pci" gives scsi: the driver below the block layer
        function driver(subsystems,    part) {
            split(subsystems, part, ":")
            return part[1] == "block" ? part[2] : part[1]
        }
        function transport(tran, subsystems,    word) {
            word = tran != "" ? tran : driver(subsystems)
            if (word == "nvme") return "NVMe"
            if (word == "iscsi") return "iSCSI"
            if (word == "block") return ""
            return toupper(word)
        }
        function named(model, vendor, tran, subsystems, kname,    words) {
            if (model != "") return model
            if (tran == "virtio" || vendor == "0x1af4" || subsystems ~ /(^|:)virtio(:|$)/) return "Virtio block device"
            if (subsystems ~ /(^|:)xen(:|$)/ || kname ~ /^xvd/) return "Xen virtual block device"
            if (vendor == "0x1b36") vendor = "QEMU"
            if (vendor == "0x15ad") vendor = "VMware"
            if (vendor == "0x1414") vendor = "Microsoft"
            words = trim(vendor " " transport(tran, subsystems))
            return words != "" ? words " disk" : kname
        }
        function value(key,    rest, end) {
            rest = $0
            if (index(rest, key "=\"") != 1) {
                if (!index(rest, " " key "=\"")) return ""
                rest = substr(rest, index(rest, " " key "=\"") + 1)
            }
            rest = substr(rest, length(key) + 3)
            end = index(rest, "\"")
            return end ? substr(rest, 1, end - 1) : ""
        }
        function bytes(size,    unit, i, units) {
            if (size ~ /^[0-9]+$/) return size
            if (size !~ /^[0-9.]+[KMGTPE]$/) return size
            unit = substr(size, length(size))
            units = "KMGTPE"
            size = substr(size, 1, length(size) - 1)
            for (i = 1; i <= index(units, unit); i++) size *= 1024
            return sprintf("%.0f", size)
        }
        {
            type = value("TYPE"); model = value("MODEL"); kname = value("KNAME")
            if (tolower(type) != "disk" && tolower(type) != "rom") next
            if (kname ~ /^(zram|ram)[0-9]+$/) next
            model = trim(model)
            if (tolower(type) == "disk") model = named(model, trim(value("VENDOR")), value("TRAN"), value("SUBSYSTEMS"), kname)
            printf "TYPE=\"%s\" MODEL=\"%s\" SIZE=\"%s\" KNAME=\"%s\"\n", type, model, bytes(value("SIZE")), kname
        }
    ' "$WORK/lsblk" 2>/dev/null >"$WORK/disks"
    if [ -f "$WORK/lsblk" ]; then cp "$WORK/disks" "$RESULT/physical_disk"; fi
}

# "logical_disk": a heading, then one mounted volume a line in seven fields
# separated by single blanks, sizes in bytes:
#   /home ext4 46252711936 20907114496 22996074496 48% /dev/sda7
# (mount point, type, size, used, free, capacity, device). df's aligned
# columns are re-spaced; pseudo and network file systems, and mount points
# with a blank, are left out.
collect_volumes() {
    # -l keeps df away from network mounts, which can hang; not every df has it.
    run "$WORK/df" df -P -T -k -l
    status=$?
    if [ ! -s "$WORK/df" ] && [ "$status" -ne 124 ]; then run "$WORK/df" df -P -T -k; fi
    # Filesystem    Type 1024-blocks      Used Available Capacity Mounted on
    # /dev/sda7    crypt    45168664  20417104  22457104      48% /home
    awk '
        BEGIN {
            split("tmpfs devtmpfs overlay aufs proc sysfs devpts cgroup cgroup2 squashfs " \
                  "ramfs securityfs pstore efivarfs bpf tracefs debugfs configfs fusectl " \
                  "mqueue hugetlbfs autofs binfmt_misc nsfs rpc_pipefs selinuxfs nfsd " \
                  "fuse.lxcfs fuse.gvfsd-fuse fuse.portal fuse.snapfuse fuse.sshfs " \
                  "nfs nfs4 cifs smbfs smb3 afs ceph glusterfs fuse.glusterfs 9p", list, " ")
            for (i in list) pseudo[list[i]] = 1
            print "Mounted Type Bytes Used Available Capacity Filesystem"
        }
        NR == 1 { unit = $3; sub(/-blocks$/, "", unit); if (unit !~ /^[0-9]+$/) unit = 1024; next }
        NF != 7 || ($2 in pseudo) || $3 !~ /^[0-9]+$/ || $3 == 0 { next }
        { printf "%s %s %.0f %.0f %.0f %s %s\n", $7, $2, $3 * unit, $4 * unit, $5 * unit, $6, $1 }
    ' "$WORK/df" 2>/dev/null >"$WORK/volumes"
    if [ -s "$WORK/df" ]; then cp "$WORK/volumes" "$RESULT/logical_disk"; fi
}

# ---------------------------------------------------------------------------
# Linux: graphics and network

# "video": the first display controller line of lspci, without numeric
# codes or a PCI domain:
#   00:02.0 VGA compatible controller: Intel Corporation Skylake GT2 [HD Graphics 520] (rev 07)
collect_video() {
    run "$WORK/lspci" lspci || [ -s "$WORK/lspci" ] || return
    awk '/^[0-9a-fA-F:.]+ (VGA compatible controller|3D controller|Display controller)/ { print; exit }' \
        "$WORK/lspci" |
        sed -e 's/^[0-9a-fA-F]\{4,\}:\([0-9a-fA-F]\{2\}:[0-9a-fA-F]\{2\}\.\)/\1/' \
            -e 's/ \[[0-9a-fA-F]\{4\}\]:/:/' \
            -e 's/ \[[0-9a-fA-F]\{4\}:[0-9a-fA-F]\{4\}\]//g' \
            -e 's/ (prog-if [^)]*)//' >"$WORK/video"
    if [ -s "$WORK/video" ]; then cp "$WORK/video" "$RESULT/video"; fi
}

# "ip_<iface>" from `ip addr`: the hardware address and the primary IPv4
# address only (the agent keeps the last address it reads), with the prefix
# of a point-to-point address and without the label that ends the line:
#       link/ether 00:50:56:9a:61:46 brd ff:ff:ff:ff:ff:ff
#       inet 10.16.119.155/20 scope global
# Prints the interface names, loopback left out.
split_ip_addr() {
    awk -v dir="$RESULT" '
        /^[0-9]+: / {
            if (file != "") close(file)
            file = ""; name = $2; sub(/:$/, "", name); sub(/@.*/, "", name)
            if (name == "lo" || $3 ~ /LOOPBACK/ || name == "") next
            file = dir "/ip_" name; mac = 0; inet = 0
            printf "" >file
            print name
            next
        }
        file == "" { next }
        $1 == "link/ether" && !mac && NF >= 2 { print "    link/ether " $2 " brd " ($3 == "brd" ? $4 : "ff:ff:ff:ff:ff:ff") >file; mac = 1 }
        $1 == "inet" && !inet && !/ secondary/ {
            address = $2; scope = "global"
            for (i = 3; i < NF; i++) {
                if ($i == "peer" && index($(i + 1), "/")) address = address substr($(i + 1), index($(i + 1), "/"))
                if ($i == "scope") scope = $(i + 1)
            }
            if (!index(address, "/")) address = address "/32"
            print "    inet " address " scope " scope >file; inet = 1
        }
    ' "$1"
}

# "ip_<iface>" from `ifconfig -a` where only net-tools exists: each
# interface's block with runs of blanks collapsed (the agent splits at single
# blanks). Alias interfaces (eth0:1) and loopback are left out.
#   eth0 Link encap:Ethernet HWaddr 00:16:CB:A6:D4:3A
#    inet addr:100.100.106.200 Bcast:100.100.106.255 Mask:255.255.255.0
split_ifconfig() {
    awk -v dir="$RESULT" '
        /^[^ \t]/ {
            if (file != "") close(file)
            file = ""; name = $1; sub(/:$/, "", name)
            if (name == "lo" || index(name, ":") || /LOOPBACK|Loopback/) next
            file = dir "/ip_" name
            print name
        }
        file != "" && NF > 0 { line = $0; gsub(/[ \t]+/, " ", line); print line >file }
    ' "$1"
}

# "nic_<iface>": the interface's device properties, NAME=value lines
# (ID_VENDOR_FROM_DATABASE=Intel Corporation); an empty file where udev
# cannot tell, since the agent finds the interfaces by these files.
collect_network() {
    run "$WORK/ip" ip addr
    if [ -s "$WORK/ip" ]; then
        split_ip_addr "$WORK/ip" >"$WORK/interfaces"
    elif run "$WORK/ifconfig" ifconfig -a || [ -s "$WORK/ifconfig" ]; then
        split_ifconfig "$WORK/ifconfig" >"$WORK/interfaces"
    fi
    [ -s "$WORK/interfaces" ] || return
    while IFS= read -r iface; do
        nic=$RESULT/nic_$iface
        if run "$WORK/udev" udevadm info -q property -p "/sys/class/net/$iface" ||
            [ -s "$WORK/udev" ]; then
            sed 's/^E: //' "$WORK/udev" >"$nic"
        fi
        : >>"$nic"
        rm -f "$WORK/udev"
    done <"$WORK/interfaces"
    collect_configuration
}

# ---------------------------------------------------------------------------
# Linux: how each interface is configured

# Prints "iface gateway" for each interface's first IPv4 default route, from
# `ip -4 route`, or from the kernel's table where there is no ip:
#   default via 192.0.2.1 dev eth0 proto dhcp src 192.0.2.2 metric 100
#   Iface	Destination	Gateway 	Flags ...      (/proc/net/route)
#   eth0	00000000	010200C0	0003 ...
default_gateways() {
    if run "$WORK/route" ip -4 route show; then
        awk '
            $1 == "default" {
                gateway = ""; dev = ""
                for (i = 2; i < NF; i++) {
                    if ($i == "via") gateway = $(i + 1)
                    if ($i == "dev") dev = $(i + 1)
                }
                if (gateway != "" && dev != "" && !(dev in seen)) { seen[dev] = 1; print dev, gateway }
            }
        ' "$WORK/route"
    elif [ -r "$ROOT/proc/net/route" ]; then
        # Hexadecimal, the address's bytes in the machine's order (little-endian).
        awk '
            function byte(hex,    i, n) {
                n = 0
                for (i = 1; i <= 2; i++) n = n * 16 + index("0123456789ABCDEF", toupper(substr(hex, i, 1))) - 1
                return n
            }
            NR > 1 && $2 == "00000000" && $3 != "00000000" && length($3) == 8 && !($1 in seen) {
                seen[$1] = 1
                printf "%s %d.%d.%d.%d\n", $1, byte(substr($3, 7, 2)), byte(substr($3, 5, 2)),
                    byte(substr($3, 3, 2)), byte(substr($3, 1, 2))
            }
        ' "$ROOT/proc/net/route"
    fi
}

# nameservers FILE: the servers of a resolv.conf, one a line.
nameservers() {
    awk '$1 == "nameserver" && NF >= 2 { print $2 }' "$1" 2>/dev/null
}

# Prints "iface server" for each name server an interface uses, "* server"
# for those every configured interface uses. Behind systemd-resolved's stub
# (nameserver 127.0.0.53) these are the servers it forwards to, from
# `resolvectl dns` or its own list; otherwise resolv.conf's:
#   Global: 1.1.1.1#cloudflare-dns.com
#   Link 2 (eth0): 192.0.2.53 2001:db8::53
name_servers() {
    if nameservers "$ROOT/etc/resolv.conf" | grep -q '^127\.0\.0\.53$'; then
        if run "$WORK/resolvectl" resolvectl dns; then
            awk '
                function server(text) { sub(/#.*/, "", text); return text }
                $1 == "Global:" { for (i = 2; i <= NF; i++) print "*", server($i) }
                $1 == "Link" && $3 ~ /^\(.*\):$/ {
                    name = substr($3, 2, length($3) - 3)
                    for (i = 4; i <= NF; i++) print name, server($i)
                }
            ' "$WORK/resolvectl" >"$WORK/servers"
            if [ -s "$WORK/servers" ]; then
                cat "$WORK/servers"
                return
            fi
        fi
        nameservers "$ROOT/run/systemd/resolve/resolv.conf" | sed 's/^/* /'
    else
        nameservers "$ROOT/etc/resolv.conf" | sed 's/^/* /'
    fi
}

# dhcp_lease IFACE ADDRESS: "DHCP_SERVER=server" (possibly with an empty
# server) when a DHCP client leased ADDRESS to IFACE; nothing otherwise.
# Lease files outlive their leases, so only one for the address the
# interface has now counts.
dhcp_lease() {
    # systemd-networkd, by interface index:
    #   ADDRESS=192.0.2.2
    #   SERVER_ADDRESS=192.0.2.1
    index=$(first_line "$ROOT/sys/class/net/$1/ifindex")
    lease=$ROOT/run/systemd/netif/leases/$index
    if [ -n "$index" ] && [ -r "$lease" ]; then
        awk -F= -v address="$2" '
            $1 == "ADDRESS" { leased = $2 } $1 == "SERVER_ADDRESS" { server = $2 }
            END { if (leased == address) print "DHCP_SERVER=" server; else exit 1 }
        ' "$lease" && return
    fi
    # NetworkManager: its device's DHCP options
    #   DHCP4.OPTION[4]:dhcp_server_identifier = 192.0.2.1
    #   DHCP4.OPTION[9]:ip_address = 192.0.2.2
    if run "$WORK/nmcli" nmcli -t -f DHCP4 device show "$1"; then
        awk -v address="$2" '
            { sub(/^DHCP4\.OPTION\[[0-9]+\]:/, ""); split($0, pair, " = ") }
            pair[1] == "ip_address" { leased = pair[2] } pair[1] == "dhcp_server_identifier" { server = pair[2] }
            END { if (leased == address) print "DHCP_SERVER=" server; else exit 1 }
        ' "$WORK/nmcli" && return
    fi
    # NetworkManager's own client keeps only the address (ADDRESS=192.0.2.2)
    for lease in "$ROOT"/var/lib/NetworkManager/internal-*-"$1".lease; do
        [ -r "$lease" ] || continue
        if awk -F= -v address="$2" '$1 == "ADDRESS" && $2 == address { found = 1 } END { exit !found }' "$lease"; then
            echo "DHCP_SERVER="
            return
        fi
    done
    # dhclient's lease blocks, the last one for the interface and address wins:
    #   lease {
    #     interface "eth0";
    #     fixed-address 192.0.2.2;
    #     option dhcp-server-identifier 192.0.2.1;
    #   }
    for lease in "$ROOT"/var/lib/dhcp/dhclient*.lease* "$ROOT"/var/lib/dhclient/*.lease* \
        "$ROOT"/var/lib/NetworkManager/dhclient-*-"$1".lease; do
        [ -r "$lease" ] && cat "$lease"
    done | awk -v iface="$1" -v address="$2" '
        { gsub(/[";]/, "") }
        $1 == "lease" { name = ""; leased = ""; server = "" }
        $1 == "interface" { name = $2 }
        $1 == "fixed-address" { leased = $2 }
        $1 == "option" && $2 == "dhcp-server-identifier" { server = $3 }
        $1 == "}" && (name == "" || name == iface) && leased == address { found = 1; last = server }
        END { if (found) print "DHCP_SERVER=" last; else exit 1 }
    ' && return
    # dhcpcd, its lease as variables:
    #   dhcp_server_identifier=192.0.2.1
    #   ip_address=192.0.2.2
    if run "$WORK/dhcpcd" dhcpcd -U "$1"; then
        awk -F= -v address="$2" '
            { gsub(/\047/, "") }
            $1 == "ip_address" { leased = $2 } $1 == "dhcp_server_identifier" { server = $2 }
            END { if (leased == address) print "DHCP_SERVER=" server; else exit 1 }
        ' "$WORK/dhcpcd" && return
    fi
    return 1
}

# "net_<iface>": the interface's configuration, NAME=value lines: its
# default gateway, the name servers it uses (in order, none repeated), whether
# DHCP gave its IPv4 address and by which server, whether it is wireless:
#   GATEWAY=192.0.2.1
#   DNS=192.0.2.53
#   DHCP=1
#   DHCP_SERVER=192.0.2.1
#   WIRELESS=0
# An interface without an IPv4 address uses only the name servers named for it.
collect_configuration() {
    default_gateways >"$WORK/gateways"
    name_servers >"$WORK/dns"
    while IFS= read -r iface; do
        # "inet 192.0.2.2/24", "inet addr:192.0.2.2", "inet 192.0.2.2 netmask"
        address=$(sed -n 's/^[[:blank:]]*inet \(addr:\)\{0,1\}\([0-9.]*\).*/\2/p' "$RESULT/ip_$iface" | head -n 1)
        {
            awk -v iface="$iface" '$1 == iface { print "GATEWAY=" $2; exit }' "$WORK/gateways"
            # The link's own servers first, then the common ones.
            awk -v iface="$iface" -v configured="$address" '
                FNR == NR ? $1 == iface : ($1 == "*" && configured != "") {
                    if (!($2 in seen)) { seen[$2] = 1; print "DNS=" $2 }
                }
            ' "$WORK/dns" "$WORK/dns"
            if [ -n "$address" ] && dhcp_lease "$iface" "$address" >"$WORK/lease"; then
                echo "DHCP=1"
                grep -v '^DHCP_SERVER=$' "$WORK/lease"
            else
                echo "DHCP=0"
            fi
            if [ -d "$ROOT/sys/class/net/$iface/wireless" ] || [ -e "$ROOT/sys/class/net/$iface/phy80211" ]; then
                echo "WIRELESS=1"
            else
                echo "WIRELESS=0"
            fi
        } >"$RESULT/net_$iface"
    done <"$WORK/interfaces"
}

collect_linux() {
    collect_host
    collect_os
    collect_identity
    collect_machine
    collect_cpu
    collect_memory
    collect_disks
    collect_volumes
    collect_video
    collect_network
    collect_software
    collect_install_time
}

# ---------------------------------------------------------------------------

# The work folder is removed by this shell alone, at the end or when it is
# stopped. No EXIT trap: bash runs a script's EXIT trap also in a subshell
# that a signal ends before the subshell has dropped the traps it inherited
# (a watchdog stopped the moment its tool has ended, on a busy machine), and
# that took the work folder, with the tools' outputs, from the running script.
# For the same reason the signal trap first makes sure whose it is.
finish() {
    rm -rf "$WORK"
    exit 0
}

rm -rf "$RESULT"
mkdir -p "$WORK" || exit 0
trap 'if [ "$(own_pid)" = "$$" ]; then finish; fi; exit 0' HUP INT TERM

# The platform: uname's word or, where uname gives none (missing, failing or
# stopped for its time), whether the system profiler, which macOS alone has,
# is at hand; never how fast a tool answered.
run "$WORK/uname" uname -s
platform=$(first_line "$WORK/uname")
if [ -z "$platform" ] && command -v system_profiler >/dev/null 2>&1; then platform=Darwin; fi
case $platform in
Darwin) collect_macos ;;
*) collect_linux ;;
esac
finish
