#!/usr/bin/env python3
"""Prints the benchmark table of scripts/bench.sh from its raw results.

Each result line is "ITEM KIND RUN MILLISECONDS"; run 0 is the warm-up and
is left out. Figures are medians with min and max; ratios are of medians.
Targets are printed beside the figures, never judged.
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
TICK_MS = 60
SIZE_TARGET = 200 * 1024
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
    ap.add_argument("--update-exe", required=True)
    ap.add_argument("--large-mb", type=int, default=512)
    ap.add_argument("--answer-mb", type=int, default=1024)
    ap.add_argument("--wine", default="wine ?")
    ap.add_argument("--build", default="x86 (shipped build)")
    args = ap.parse_args()
    runs = load(args.results)
    rows = []

    for n in (16, 64, 256):
        values = runs[("small%d" % n, "update")]
        med, text = spread(values)
        floor = n * TICK_MS
        rows.append(("1 update, %d × 4 KB (ms)" % n, text, "floor %d" % floor,
                     "%.3f × floor" % (med / floor),
                     "≤ 1.05 × floor" if n == 256 else "(info)"))

    mb = args.large_mb
    for item, label, count in (("large1", "1 × %d MB" % mb, 1),
                               ("large64", "64 × %g MB" % (mb / 64), 64)):
        total = mb * MIB

        def rate(kind):
            return spread([total / MIB / (ms / 1000) for ms in runs[(item, kind)]], "{:.0f}")

        umed, utext = rate("update")
        cmed, ctext = rate("cp")
        rows.append(("2 updater, %s (MB/s)" % label, utext, "cp " + ctext,
                     "%.3f × cp" % (umed / cmed), "≥ 0.9 × cp"))
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

    # Another program's WM_NULL to the copy dialog, every 10 ms through one
    # large file: the worst wait of each run.
    _, atext = spread(runs[("answer", "answer")])
    rows.append(("6 worst answer of the copy dialog, 1 × %d MB (ms)" % args.answer_mb, atext,
                 "", "", "≤ 100 ms"))
    _, ptext = spread(runs[("answer", "positions")], "{:.0f}")
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
