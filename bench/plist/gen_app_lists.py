#!/usr/bin/env python3
"""Writes app-<N>.xml and app-<N>.bplist application lists into OUTDIR.

Uses the shared reference generator (gen_inputs.py, whose folder is given by
KX_BENCH_GEN or defaults to ../shared/bench beside the repository) for the
lists only; without it, a list of the same shape is built here.

usage: gen_app_lists.py OUTDIR TAG... (TAG is 1k, 5k or 20k)
"""
import datetime as dt
import os
import plistlib
import random
import sys

COUNTS = {"1k": 1000, "5k": 5000, "20k": 20000}


def own_app_list(count):
    """system_profiler SPApplicationsDataType -xml: _items of application dictionaries."""
    rng = random.Random(count)
    japanese = ["メモ", "計算機", "辞書", "写真ブース", "テキストエディット", "𠮷田さんの名簿"]
    items = []
    for i in range(count):
        name = japanese[i % len(japanese)] if i % 1700 == 5 else "Vendor%d App %d" % (rng.randrange(40), i)
        items.append({
            "_name": name,
            "version": "%d.%d.%d" % (rng.randrange(30), rng.randrange(20), rng.randrange(99)),
            "lastModified": dt.datetime(2012, 1, 1) + dt.timedelta(seconds=rng.randrange(13 * 365 * 86400)),
            "path": "/Applications/%s.app" % name,
            "obtained_from": rng.choice(["identified_developer", "mac_app_store", "apple", "unknown"]),
            "has64BitIntelCode": "yes",
            "arch_kind": "arch_arm_i64",
            "info": "%s, Copyright © 2020 Vendor. All rights reserved." % name,
            "signed_by": ["Developer ID Application: Vendor (ABCDEFGHJK)",
                          "Developer ID Certification Authority", "Apple Root CA"],
        })
    return [{"_dataType": "SPApplicationsDataType", "_detailLevel": -1, "_items": items,
             "_parentDataType": "SPSoftwareDataType", "_SPCompletionInterval": 12.5}]


def app_list(count):
    here = os.path.dirname(os.path.abspath(__file__))
    shared = os.environ.get("KX_BENCH_GEN", os.path.join(here, "..", "..", "..", "shared", "bench"))
    if os.path.isfile(os.path.join(shared, "gen_inputs.py")):
        sys.path.insert(0, shared)
        import gen_inputs
        return gen_inputs.app_list(count)[0]
    return own_app_list(count)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for tag in sys.argv[2:]:
        tree = app_list(COUNTS[tag])
        for ext, fmt in (("xml", plistlib.FMT_XML), ("bplist", plistlib.FMT_BINARY)):
            path = os.path.join(out, "app-%s.%s" % (tag, ext))
            if not os.path.isfile(path):
                with open(path + ".part", "wb") as f:
                    plistlib.dump(tree, f, fmt=fmt, sort_keys=True)
                os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
