#!/usr/bin/env python3
"""Prints a readable summary of what kxdump decoded from a data file.

    kxdump FILE | summary.py
"""
import datetime
import json
import sys


def gib(n):
    return "%.1f GiB" % (n / 1024 ** 3)


def hardware(d):
    s, os_ = d["system"], d["operatingSystem"]
    host = s["computerName"] + ("." + os_["domainName"] if os_["domainName"] else "")
    print("  host        %s (%s %s, serial %s, uuid %s)" % (
        host, s["manufacturer"], s["model"], s["serialNumber"] or "-", s["uuid"] or "-"))
    print("  os          %s %s, %s, installed %s" % (
        os_["osName"], os_["osVersion"], os_["architecture"], os_["osInstallDate"] or "-"))
    for c in d["cpus"]:
        print("  processor   %s, %d cores, %d MHz" % (c["name"], c["cores"], c["clockMhz"]))
    total = sum(m["sizeKb"] for m in d["memorySlots"])
    print("  memory      %d module(s), %s" % (len(d["memorySlots"]), gib(total * 1024)))
    for x in d["disks"]:
        print("  disk        %s, %s" % (x["name"], gib(x["sizeBytes"])))
    for x in d["cdDrives"]:
        print("  optical     %s (%s)" % (x["name"], x["deviceName"]))
    for x in d["partitions"]:
        print("  volume      %-20s %s, %s free" % (x["name"], gib(x["sizeBytes"]), gib(x["freeBytes"])))
    for x in d["monitors"]:
        print("  display     %s" % x["name"])
    for x in d["nics"]:
        print("  network     %s %s %s/%s" % (
            x["description"], x["macAddress"] or "-", x["ipAddress"] or "-", x["subnetMask"] or "-"))


def software(d):
    apps = d["applications"]
    print("  packages    %d" % len(apps))
    for a in apps[:8]:
        when = datetime.datetime.fromtimestamp(a["installTime"]).strftime("%Y-%m-%d") if a["installTime"] else "-"
        print("              %-32s %-24s %s" % (a["name"], a["version"], when))
    if len(apps) > 8:
        print("              …")


def main():
    d = json.load(sys.stdin)
    h = d["header"]
    print("%s file of %s, agent %s, collected %s" % (
        d["kind"], h["computerName"], h["agentVersion"],
        datetime.datetime.fromtimestamp(h["startTime"]).strftime("%Y-%m-%d %H:%M:%S")))
    (hardware if d["kind"] == "hardware" else software)(d)


if __name__ == "__main__":
    main()
