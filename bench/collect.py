#!/usr/bin/env python3
"""Collects the JSON output of the benchmark programs into one table.

Every benchmark row is named "suite/case/size/impl":
  suite  a group of benchmarks ("crossing", later "cleaner", "run", ...)
  case   the input, e.g. "spiral" or "spiral+crossing"
  size   the input size (vertices, records, ...), an integer
  impl   "ours" (what we measure), "geos" or "copy" (the reference a ratio
         is taken against: GEOS, or the plain read-and-write copy of a file)
         or any other name (shown in the plot only, e.g. "plain")
and may carry the counter "peak_bytes" (heap one run needed on top of its
inputs). A new benchmark program only has to follow this naming to appear in
the table; nothing here needs to change.

Times are CPU time per run: the code measured is single-threaded, and CPU
time is less disturbed by other work on the machine than wall time. A row
run several times (repetitions) shows its median. Rows
measured in a child process report that process's CPU time as manual time
(their name ends in "manual_time"); its real_time is taken then.

Prints the table, writes it as Markdown (--markdown) and, when gnuplot is
installed, a log-log plot of time against size for one suite (--plot).
"""

import argparse
import collections
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def median_run(runs):
    """The run of median time (the lower middle one of an even count), with
    the largest peak of all runs."""
    ordered = sorted(runs, key=lambda r: r[0])
    peaks = [p for _, p in runs if p is not None]
    return ordered[(len(ordered) - 1) // 2][0], (max(peaks) if peaks else None)


def load(paths):
    """{(suite, case, size): {impl: (ms, peak_bytes)}} from benchmark JSON files.
    A benchmark run several times (repetitions) counts with its median time."""
    runs = collections.defaultdict(lambda: collections.defaultdict(list))
    context = {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        context = data.get("context", context)
        for b in data.get("benchmarks", []):
            if b.get("run_type", "iteration") != "iteration" or "error_occurred" in b:
                continue
            parts = b["name"].split("/")
            if len(parts) < 4 or not parts[2].isdigit():
                continue
            suite, case, size, impl = parts[0], parts[1], int(parts[2]), parts[3]
            manual = b["name"].endswith("manual_time")
            ms = b["real_time" if manual else "cpu_time"] * UNIT_TO_MS[b.get("time_unit", "ns")]
            runs[(suite, case, size)][impl].append((ms, b.get("peak_bytes")))
    rows = collections.defaultdict(dict)
    for key, impls in runs.items():
        for impl, measured in impls.items():
            rows[key][impl] = median_run(measured)
    return rows, context


def fmt_ms(ms):
    if ms is None:
        return "-"
    return f"{ms:.3g} ms" if ms >= 0.01 else f"{ms * 1000:.3g} µs"


def fmt_bytes(n):
    if n is None:
        return "-"
    for unit in ("B", "KiB", "MiB", "GiB"):
        if n < 1024 or unit == "GiB":
            return f"{n:.0f} {unit}" if unit == "B" else f"{n:.1f} {unit}"
        n /= 1024


def table(rows):
    """Header and rows of the result table, sorted by suite, case, size."""
    header = ["suite", "case", "size", "our time", "reference", "ref. time", "ratio", "growth ×10",
              "our peak memory", "ref. peak memory"]
    out = []
    for key in sorted(rows):
        suite, case, size = key
        impls = rows[key]
        ours = impls.get("ours")
        refname = "geos" if "geos" in impls else ("copy" if "copy" in impls else None)
        geos = impls.get(refname) if refname else None
        if ours is None:
            continue
        ratio = f"{ours[0] / geos[0]:.2f}" if geos and geos[0] > 0 else "-"
        smaller = rows.get((suite, case, size // 10), {}).get("ours")
        growth = f"{ours[0] / smaller[0]:.1f}×" if smaller and smaller[0] > 0 else "-"
        out.append([suite, case, str(size), fmt_ms(ours[0]), refname or "-", fmt_ms(geos[0] if geos else None),
                    ratio, growth, fmt_bytes(ours[1]), fmt_bytes(geos[1] if geos else None)])
    return header, out


def print_table(header, body, file):
    widths = [max(len(r[i]) for r in [header] + body) for i in range(len(header))]
    line = lambda r: "  ".join(c.rjust(w) if i >= 2 and i != 4 else c.ljust(w)
                               for i, (c, w) in enumerate(zip(r, widths)))
    print(line(header), file=file)
    print("  ".join("-" * w for w in widths), file=file)
    for r in body:
        print(line(r), file=file)


def write_markdown(path, header, body, context):
    with open(path, "w", encoding="utf-8") as f:
        f.write("# Benchmark results\n\n")
        f.write("Written by `scripts/bench` (Release build). Times are CPU time of one run (the median run where a benchmark was repeated); "
                "ratio = our time / reference time on the same input (reference geos: the "
                "GEOS function named in the benchmark; copy: a plain read-and-write copy of "
                "the same file through the gis layer); growth ×10 = our time over our time "
                "at a tenth of the size; peak memory = heap one run needs on top of its "
                "input, except for the run suite, where it is the peak resident set of the "
                "process that did the run.\n\n")
        if context:
            f.write(f"Machine: {context.get('num_cpus', '?')} CPUs at "
                    f"{context.get('mhz_per_cpu', '?')} MHz, run {context.get('date', '?')}.\n\n")
        f.write("| " + " | ".join(header) + " |\n")
        f.write("|" + "|".join("---" if i < 2 or i == 4 else "---:" for i in range(len(header))) + "|\n")
        for r in body:
            f.write("| " + " | ".join(r) + " |\n")


COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf", "#8c564b",
           "#e377c2", "#7f7f7f", "#bcbd22"]
STYLES = {"ours": "lw 2 dt 1", "geos": "lw 1.5 dt 2", "plain": "lw 1 dt 3"}


def write_plot(path, rows, suite):
    """Two log-log panels: plain cases, and cases with a variant ("a+b")."""
    gnuplot = shutil.which("gnuplot")
    if gnuplot is None:
        print("gnuplot not found: no plot written", file=sys.stderr)
        return
    series = collections.defaultdict(list)  # (case, impl) -> [(size, ms)]
    for (s, case, size), impls in rows.items():
        if s == suite:
            for impl, (ms, _) in impls.items():
                series[(case, impl)].append((size, ms))
    if not series:
        return
    cases = sorted({case for case, _ in series})
    bases = sorted({case.split("+")[0] for case in cases})
    colour = {base: COLOURS[i % len(COLOURS)] for i, base in enumerate(bases)}
    with tempfile.TemporaryDirectory() as tmp:
        panels = {False: [], True: []}
        for i, case in enumerate(cases):
            for impl in sorted({impl for c, impl in series if c == case}):
                points = sorted(series[(case, impl)])
                data = os.path.join(tmp, f"{i}-{impl}.dat")
                with open(data, "w", encoding="utf-8") as f:
                    f.writelines(f"{n} {ms}\n" for n, ms in points)
                style = STYLES.get(impl, "lw 1 dt 4")
                panels["+" in case].append(
                    f"'{data}' using 1:2 with linespoints lc rgb '{colour[case.split('+')[0]]}' "
                    f"{style} pt 7 ps 0.6 title '{case} ({impl})'")
        lines = ["set terminal pngcairo size 1600,1000 noenhanced"
                 if "pngcairo" in terminals(gnuplot) else "set terminal png size 1600,1000",
                 f"set output '{path}'", "set logscale xy", "set grid",
                 "set xlabel 'size (vertices)'", "set ylabel 'CPU time per run (ms)'",
                 "set key below maxrows 6 font ',9'",
                 f"set multiplot layout 1,2 title '{suite}: ours solid, GEOSisValid_r dashed, "
                 "plain scan dotted'"]
        for variant, title in ((False, "rings without a finding"),
                               (True, "with one late crossing")):
            if panels[variant]:
                lines += [f"set title '{title}'", "plot " + ", \\\n  ".join(panels[variant])]
        lines.append("unset multiplot")
        subprocess.run([gnuplot], input="\n".join(lines), text=True, check=True)


def terminals(gnuplot):
    result = subprocess.run([gnuplot, "-e", "set terminal"], capture_output=True, text=True)
    return result.stdout + result.stderr


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", nargs="+", help="benchmark output (--benchmark_out, JSON)")
    parser.add_argument("--markdown", help="write the table as Markdown here")
    parser.add_argument("--plot", help="write the log-log PNG of the plot suite here")
    parser.add_argument("--plot-suite", default="crossing")
    args = parser.parse_args()

    rows, context = load(args.json)
    header, body = table(rows)
    print_table(header, body, sys.stdout)
    if args.markdown:
        write_markdown(args.markdown, header, body, context)
    if args.plot:
        write_plot(args.plot, rows, args.plot_suite)


if __name__ == "__main__":
    main()
