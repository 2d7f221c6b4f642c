#!/usr/bin/env python3
"""Prints the benchmark table of scripts/bench.sh from its raw results.

Each result line is "ITEM KIND RUN VALUE", the value in milliseconds, in
bytes for the peak working set, a count for answers and positions; run 0 is
the warm-up and is left out. KIND "refused-update" or "refused-pack" says
that update.exe or update-pack refused ITEM's medium, KIND "short" that
update.exe completed with only VALUE of its files. Figures are medians
with min and max; ratios are of medians. Targets are printed beside the
figures, never judged.
"""
import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
from collections import defaultdict

MIB = 1024 * 1024
KIB = 1024
TICK_MS = 60
SIZE_TARGET = 200 * 1024
# The least rate of an update of many files against fsync_rename_loop's.
NATIVE_TARGET = 0.25
# The 512 MB file's rate against cp that a change must not go below: the x86
# build's on 2026-12-10.
LARGE_CP_FLOOR = 0.260
# update.exe's peak working set for a packed medium of 256 entries before
# the list grew (bytes, x86 build under wine-8.0, 2026-12-10; not measured
# for x64); it may grow by 1 MB at most.
PEAK_256_BEFORE = {"x86": 22106 * KIB, "x64": 0}
PEAK_GROWTH = 1024 * KIB
REFUSALS = {"refused-update": "not measured: the update refused the medium",
            "refused-pack": "not measured: update-pack refused the medium"}
# DLLs that every Windows installation has; anything else would have to ship
# beside update.exe on the medium.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
    "ole32.dll", "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "msvcrt.dll",
    "shlwapi.dll", "version.dll", "uxtheme.dll", "ntdll.dll", "bcrypt.dll",
}


def load(path):
    runs = defaultdict(list)
    with open(path) as f:
        for line in f:
            item, kind, run, ms = line.split()
            if int(run) > 0:
                runs[(item, kind)].append(float(ms))
    return runs


def refusal(runs, item, count=None):
    """Why item was not measured, or None."""
    for kind, text in REFUSALS.items():
        if (item, kind) in runs:
            return text
    if (item, "short") in runs:
        return "not measured: the update copied only %d of %s files" % (
            runs[(item, "short")][0], count or "its")
    return None


def spread(values, fmt="{:.1f}"):
    med = statistics.median(values)
    return med, "{} [{} – {}]".format(fmt.format(med), fmt.format(min(values)),
                                      fmt.format(max(values)))


def machine(wine):
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem_kb = int(f.readline().split()[1])
    return "{} cores (nproc), {}, {:.1f} GiB RAM, {}, {}".format(
        os.cpu_count() if not hasattr(os, "sched_getaffinity")
        else len(os.sched_getaffinity(0)), model, mem_kb / MIB, wine,
        platform.platform())


def imported_dlls(exe):
    """DLL names, the delay-loaded ones marked "(delay)"."""
    tool = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "win",
                        "pe_imports.py")
    out = subprocess.run([sys.executable, tool, exe], check=True,
                         capture_output=True, text=True).stdout
    dlls = []
    for kind, dll, _ in (line.split() for line in out.splitlines()):
        name = dll if kind == "static" else dll + " (delay)"
        if name not in dlls:
            dlls.append(name)
    return dlls


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--results", required=True)
    ap.add_argument("--parse-json", required=True)
    # Without it (the report's own test), the size and import rows are left out.
    ap.add_argument("--update-exe")
    ap.add_argument("--large-mb", type=int, default=512)
    ap.add_argument("--answer-mb", type=int, default=1024)
    ap.add_argument("--many", type=int, default=3000)
    ap.add_argument("--mb-files", type=int, default=20)
    ap.add_argument("--mem-entries", type=int, default=20000)
    ap.add_argument("--version-files", type=int, default=200)
    ap.add_argument("--wine", default="wine ?")
    ap.add_argument("--build", default="x86 (shipped build)")
    args = ap.parse_args()
    runs = load(args.results)
    rows = []

    # Many files against the native loop on the same disk: the ratio is of
    # rates, the update's over the loop's.
    for item, count, size, target in (
            ("small16", 16, "4 KB", "(info)"), ("small64", 64, "4 KB", "(info)"),
            ("small256", 256, "4 KB", "well under 1 s"),
            ("many", args.many, "4 KB, one folder", "≥ %.2f × native" % NATIVE_TARGET),
            ("manyfolders", args.many, "4 KB, folders of 100", "≥ %.2f × native" % NATIVE_TARGET),
            ("mb", args.mb_files, "1 MB", "≥ %.2f × native" % NATIVE_TARGET)):
        label = "1 update, %d × %s (ms)" % (count, size)
        why = refusal(runs, item, count)
        if why:
            rows.append((label, why, "", "", target))
            continue
        umed, utext = spread(runs[(item, "update")])
        nmed, ntext = spread(runs[(item, "native")])
        rows.append((label, utext, "native loop " + ntext, "%.3f × native" % (nmed / umed),
                     target))
        if item in ("many", "manyfolders", "mb"):
            rows.append(("  files per second", "%.0f" % (count / umed * 1000),
                         "native loop %.0f" % (count / nmed * 1000), "", "(info)"))
        if item == "small256":
            floor = count * TICK_MS
            rows.append(("  against one file per 60 ms tick", "", "floor %d" % floor,
                         "%.3f × floor" % (umed / floor), "(info)"))

    mb = args.large_mb
    for item, label, count in (("large1", "1 × %d MB" % mb, 1),
                               ("large64", "64 × %g MB" % (mb / 64), 64)):
        total = mb * MIB

        def rate(kind):
            return spread([total / MIB / (ms / 1000) for ms in runs[(item, kind)]], "{:.0f}")

        umed, utext = rate("update")
        cmed, ctext = rate("cp")
        rows.append(("2 updater, %s (MB/s)" % label, utext, "cp " + ctext,
                     "%.3f × cp" % (umed / cmed),
                     "≥ %.3f × cp (no lower), ≥ 0.9 × cp" % LARGE_CP_FLOOR
                     if count == 1 else "≥ 0.9 × cp"))
        # Where the time goes: the copy step without the dialog and its
        # timer, and Wine's CopyFileW without the step's safety around it.
        for kind, what in (("step", "copy step alone"), ("copyfile", "CopyFileW alone")):
            kmed, ktext = rate(kind)
            rows.append(("  %s, %s (MB/s)" % (what, label), ktext, "cp " + ctext,
                         "%.3f × cp" % (kmed / cmed), "(info)"))
        # A medium with update.sha256: the same step hashing what it writes.
        if (item, "stephash") in runs:
            hmed, htext = rate("stephash")
            smed, stext = rate("step")
            rows.append(("  copy step with its hash line, %s (MB/s)" % label, htext,
                         "without " + stext, "%.3f × without" % (hmed / smed), "(info)"))
        # The step copies in chunks of its own now; CopyFileW is what it
        # replaced.
        smed, _ = rate("step")
        fmed, ftext = rate("copyfile")
        rows.append(("  copy step against CopyFileW, %s" % label, "", "CopyFileW " + ftext,
                     "%.3f × CopyFileW" % (smed / fmed), "≥ 1.0 × CopyFileW"))
        if count > 1:
            ceiling = total / MIB / (count * TICK_MS / 1000)
            rows.append(("  one file per tick allows (MB/s)", "%.0f" % ceiling, "cp " + ctext,
                         "%.3f × cp" % (ceiling / cmed), "(info)"))

    # Another program's WM_NULL to the copy dialog every 10 ms, through many
    # small files and through one large file: the worst wait of each run,
    # a flush that held the dialog included.
    for key, what, target in (
            ("answermany", "packed, %d × 4 KB" % args.many, "≤ 100 ms"),
            ("answerpacked", "packed, 1 × %d MB" % args.answer_mb, "≤ 100 ms"),
            ("answer", "unlisted, 1 × %d MB" % args.answer_mb, "(info)")):
        label = "6 worst answer of the copy dialog, %s (ms)" % what
        why = refusal(runs, key)
        if why:
            rows.append((label, why, "", "", target))
            continue
        _, atext = spread(runs[(key, "answer")])
        rows.append((label, atext, "", "", target))
        _, stext = spread(runs[(key, "slow")], "{:.0f}")
        rows.append(("  answers over 100 ms in a run", stext, "", "", "(info)"))
        # None when every file was copied before the probing could begin.
        _, ntext = spread(runs[(key, "samples")], "{:.0f}")
        rows.append(("  answers timed in a run", ntext, "", "", "(info)"))
        _, ptext = spread(runs[(key, "positions")], "{:.0f}")
        rows.append(("  progress bar positions seen", ptext, "", "", "(info)"))

    umed, utext = spread(runs[("startup", "update")])
    mmed, mtext = spread(runs[("startup", "minimal")])
    fmed, ftext = spread(runs[("startup", "manifest")])
    rows.append(("3 start-up to UPDATE (ms)", utext, "minimal " + mtext,
                 "%.3f × minimal" % (umed / mmed), "≤ 1.2 × minimal"))
    # The same minimal program with update.exe's manifest: what the version 6
    # controls cost, apart from what update.exe does itself.
    rows.append(("  minimal with update.exe's manifest (ms)", ftext, "minimal " + mtext,
                 "%.3f × minimal" % (fmed / mmed), "(info)"))
    rows.append(("  update.exe against it", "", "", "%.3f × manifest" % (umed / fmed), "(info)"))

    if args.update_exe:
        size = os.path.getsize(args.update_exe)
        dlls = imported_dlls(args.update_exe)
        foreign = [d for d in dlls if d.split()[0].lower() not in SYSTEM_DLLS
                   and not d.lower().startswith("api-ms-win-")]
        rows.append(("4 update.exe size (bytes)", str(size), "limit %d" % SIZE_TARGET,
                     "%.3f × limit" % (size / SIZE_TARGET), "≤ 1.0 × limit"))
        rows.append(("4 imported DLLs", ", ".join(dlls), "", "NOT SYSTEM: " +
                     ", ".join(foreign) if foreign else "system only", "system only"))

    with open(args.parse_json) as f:
        bench = json.load(f)
    reps = [b["real_time"] for b in bench["benchmarks"]
            if b.get("run_type") == "iteration"]
    _, ptext = spread(reps, "{:.1f}")
    rows.append(("5 parse maximal update.ini (µs)", ptext, "", "", "(info)"))

    # update.exe's own peak working set, read while its completion message
    # shows, on packed media.
    before = PEAK_256_BEFORE["x86" if args.build.startswith("x86") else "x64"]
    peak_256 = None
    for item, count in (("mem256", 256), ("memmany", args.mem_entries)):
        label = "7 peak working set, %d entries, packed (KB)" % count
        target = "≤ before + %d KB" % (PEAK_GROWTH // KIB) if count == 256 else "(info)"
        why = refusal(runs, item, count)
        values = runs[(item, "peak")]
        if why or not values or min(values) <= 0:
            rows.append((label, why or "not read", "", "", target))
            continue
        med, text = spread([v / KIB for v in values], "{:.0f}")
        if count == 256:
            peak_256 = med
            reference = "before %d" % (before // KIB) if before else ""
            ratio = "%+.0f KB" % (med - before / KIB) if before else ""
        else:
            reference = "256 entries %.0f" % peak_256 if peak_256 else ""
            ratio = "%+.0f KB" % (med - peak_256) if peak_256 else ""
        rows.append((label, text, reference, ratio, target))

    # The version record: what identifying the game costs the first update,
    # and what a second run on the updated game costs against the first.
    carried = "%d × 1 MB carried" % args.version_files
    first_label = "8 first update with a version record, %s (ms)" % carried
    why = refusal(runs, "versions", args.version_files)
    if why or not runs[("versions", "update")]:
        rows.append((first_label, why or "not measured", "", "", "(info)"))
    else:
        first, ftext = spread(runs[("versions", "update")])
        bare = refusal(runs, "versionsbare", args.version_files)
        if bare or not runs[("versionsbare", "update")]:
            rows.append((first_label, ftext, "without it: " + (bare or "not measured"), "",
                         "(info)"))
        else:
            without, wtext = spread(runs[("versionsbare", "update")])
            rows.append((first_label, ftext, "without it " + wtext,
                         "%.3f × without" % (first / without), "(info)"))
        rerun_label = "8 second run on the updated game (ms)"
        why = refusal(runs, "versionsrerun")
        if why or not runs[("versions", "rerun")]:
            rows.append((rerun_label, why or "not measured", "", "", "(info)"))
        else:
            again, atext = spread(runs[("versions", "rerun")])
            rows.append((rerun_label, atext, "first run %.1f" % first,
                         "%.3f × first" % (again / first), "(info)"))

    print()
    print("Machine: " + machine(args.wine))
    print("Windows programs: " + args.build)
    print("Figures: median [min – max] of %d runs (start-up %d) after one warm-up;"
          " ratios of medians." % (len(runs[("small16", "update")]),
                                   len(runs[("startup", "update")])))
    print()
    head = ("item", "figure", "reference", "ratio", "target")
    widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(5)]
    line = " | ".join("{:<%d}" % w for w in widths)
    print(line.format(*head))
    print("-+-".join("-" * w for w in widths))
    for r in rows:
        print(line.format(*r))


if __name__ == "__main__":
    main()
