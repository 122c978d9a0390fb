#!/usr/bin/env python3
"""Prints bench/programs.sh's figures: a table per program, cgi-bin/'s size, the targets.

    table.py RESULTS

RESULTS holds one figure a line: "METRIC PROGRAM KIND VALUE...", KIND dynamic or static,
PROGRAM "floor" for the C floor; "rps PROGRAM KIND ROUND VALUE FLOOR_VALUE" for each round
through lighttpd, with the floor's figure measured just before.
"""
import os
import platform
import statistics
import subprocess
import sys
from collections import defaultdict

PROGRAMS = "tunnex ddns portvia ins credset stationmark fillmeter aersignal aerlist aerkind".split()
KINDS = ("dynamic", "static")
MIB = 1 << 20


def load(path):
    figures = {}
    rps = defaultdict(list)
    with open(path) as results:
        for line in results:
            metric, program, kind, *values = line.split()
            if metric == "rps":
                rps[(program, kind)].append((number(values[1]), number(values[2])))
            else:
                figures[(metric, program, kind)] = values
    return figures, rps


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    here = os.path.dirname(os.path.abspath(__file__))
    commit = subprocess.run(["git", "-C", here, "rev-parse", "--short", "HEAD"],
                            capture_output=True, text=True).stdout.strip() or "unknown"
    qemu = subprocess.run(["qemu-arm", "--version"], capture_output=True, text=True).stdout
    return [f"machine: {platform.machine()}, {model}, {os.cpu_count()} cores, "
            f"Linux {platform.release()}; commit {commit}",
            f"armhf instructions: {qemu.splitlines()[0] if qemu else 'qemu-arm'}, user mode, "
            "counted from its block log; x86-64 instructions: callgrind"]


class Table:
    def __init__(self, figures, rps):
        self.figures = figures
        self.rps = rps

    def value(self, metric, program, kind):
        values = self.figures.get((metric, program, kind))
        return number(values[0]) if values else None

    def rps_medians(self, program, kind):
        """The program's and the floor's medians over the rounds, and the median of each
        round's ratio of the two."""
        pairs = self.rps[(program, kind)]
        if not pairs:
            return None, None, None
        if not all(ours and floor for ours, floor in pairs):
            return "error", "error", None
        return (statistics.median(ours for ours, _ in pairs),
                statistics.median(floor for _, floor in pairs),
                statistics.median(ours / floor for ours, floor in pairs))

    def rows(self, program):
        """(label, dynamic, static, floor dynamic, floor static, ratio dynamic, ratio static)"""
        rows = []
        for metric, label in (("instr_x86", "instructions x86-64"),
                              ("instr_arm", "instructions armhf"),
                              ("size_x86", "stripped bytes x86-64"),
                              ("size_arm", "stripped bytes armhf"),
                              ("rss_kb", "peak RSS kB (x86-64)")):
            ours = [self.value(metric, program, kind) for kind in KINDS]
            floors = [self.value(metric, "floor", kind) for kind in KINDS]
            ratios = [o / f if o and f else None for o, f in zip(ours, floors)]
            rows.append((label, *ours, *floors, *ratios))
        (ours_dynamic, floor_dynamic, ratio_dynamic), (ours_static, floor_static, ratio_static) = (
            self.rps_medians(program, kind) for kind in KINDS)
        rows.append(("requests/s via lighttpd", ours_dynamic, ours_static, floor_dynamic,
                     floor_static, ratio_dynamic, ratio_static))
        latency = [self.figures.get(("latency_ms", program, kind)) for kind in KINDS]
        if any(latency):
            for index, label in ((0, "change ms, median"), (1, "change ms, p99")):
                cells = [(number(v[index]) if len(v) > 2 else "error") if v else None
                         for v in latency]
                rows.append((label, *cells, None, None, None, None))
        return rows


def cell(value, ratio=False, decimals=0):
    if value is None:
        return "-"
    if isinstance(value, str):
        return value
    if ratio:
        return f"{value:.2f}x"
    return f"{value:,.{decimals}f}"


def print_program(table, program):
    title = program + (" (an upload of 20 names)" if program == "aerkind" else " (a query)")
    if program == "fillmeter":
        title += ", the floor's own work"
    print(f"\n== {title}")
    print(f"{'':26}{'dynamic':>11}{'static':>11}{'floor dyn':>11}{'floor stat':>11}"
          f"{'dyn/floor':>11}{'stat/floor':>11}")
    for label, *cells in table.rows(program):
        decimals = 2 if label.startswith("change") else 0
        text = [cell(v, decimals=decimals) for v in cells[:4]] + [cell(v, True) for v in cells[4:]]
        if label.startswith("stripped"):
            text[1] += "*"
        print(f"{label:26}" + "".join(f"{t:>11}" for t in text))


def main():
    figures, rps = load(sys.argv[1])
    table = Table(figures, rps)
    for line in machine():
        print(line)
    for program in PROGRAMS:
        print_program(table, program)
    counts = ", ".join(f"{program} {values[2]}" for program in PROGRAMS
                       if len(values := figures.get(("latency_ms", program, "dynamic"), [])) > 2)
    print(f"""
* the static build's one executable, which all ten programs share.
requests/s: wrk, 1 thread, 2 connections; each figure the median of the rounds, measured just
  after the floor's; the ratio is the median of the rounds' ratios. aerkind's upload writes and
  syncs the list on this machine's disk each time.
change ms: sequential POSTs in one connection, per build: {counts}.
  The stand-in takes each post at once but looks every 2 ms, which the next change may wait
  for; ins waits 1 s by design.""")

    print("\ncgi-bin/ stripped          x86-64        armhf")
    dynamic = [sum(table.value(f"size_{arch}", p, "dynamic") or 0 for p in PROGRAMS)
               for arch in ("x86", "arm")]
    static = [table.value(f"size_{arch}", "fillmeter", "static") or 0 for arch in ("x86", "arm")]
    print(f"{'dynamic, ten programs':22}{dynamic[0]:>12,.0f}{dynamic[1]:>13,.0f}"
          "   (and libjson-c.so.5 on the device)")
    print(f"{'static, one executable':22}{static[0]:>12,.0f}{static[1]:>13,.0f}"
          f"   ({static[1] / MIB:.2f} MiB armhf)")

    print("\ntargets")
    fill = [table.value(m, "fillmeter", "static") / table.value(m, "floor", "static")
            for m in ("instr_x86", "instr_arm")]
    print(f"  static fillmeter within 1.20x the static floor (instructions): "
          f"x86-64 {fill[0]:.2f}x, armhf {fill[1]:.2f}x: {'met' if max(fill) <= 1.20 else 'NOT met'}")
    over = []
    for program in PROGRAMS:
        ratios = [table.value(metric, program, "dynamic") / table.value(metric, "floor", "dynamic")
                  for metric in ("instr_x86", "instr_arm")]
        if max(ratios) > 1.10:
            over.append(f"{program} {ratios[0]:.2f}x/{ratios[1]:.2f}x")
    print("  every dynamic program within 1.10x the dynamic floor (instructions, x86-64/armhf): "
          + ("met" if not over else "NOT met:"))
    for start in range(0, len(over), 5):
        print("    " + ", ".join(over[start:start + 5]))
    print(f"  armhf cgi-bin/ of the static build at most 1 MiB: {static[1]:,.0f} bytes: "
          f"{'met' if static[1] <= MIB else 'NOT met'}")


if __name__ == "__main__":
    main()
