#!/usr/bin/env python3
"""Runs the side-by-side benchmarks of tarvik-bench once and prints a table of
the literal and the engine's neighbour searches, their ratios and the whole
run, all from that one run.

    bench/compare.py [build/tarvik-bench] [extra benchmark options]
"""
import json
import os
import subprocess
import sys

bench = sys.argv[1] if len(sys.argv) > 1 else "build/tarvik-bench"
result = subprocess.run(
    [bench, "--benchmark_filter=^Compare/", "--benchmark_format=json", *sys.argv[2:]],
    check=True, capture_output=True, text=True)
runs = json.loads(result.stdout)["benchmarks"]

times = {}  # name -> (real ms, cpu ms)
for run in runs:
    name = run["run_name"]
    for option in ("/iterations", "/min_time", "/process_time", "/real_time"):
        name = name.split(option)[0]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run["time_unit"]]
    times[name] = (run["real_time"] * scale, run["cpu_time"] * scale)

fields = []
for name in times:
    field = name.split("/")[-1]
    if field not in fields:
        fields.append(field)


def cell(name, column):
    return times[name][column] if name in times else float("nan")


print(f"{os.cpu_count()} cores; wall time in ms, with the CPU time of every thread "
      "in brackets; ratios of wall times\n")
print("| Field | Neighbourhood literal | engine | ratio "
      "| Co-located literal | engine | ratio | Whole run, read to write |")
print("|---|---:|---:|---:|---:|---:|---:|---:|")
for field in fields:
    row = [field]
    for check in ("Neighbourhood", "CoLocated"):
        literal = cell(f"Compare/{check}/literal/{field}", 0)
        engine = cell(f"Compare/{check}/engine/{field}", 0)
        cpu = cell(f"Compare/{check}/engine/{field}", 1)
        row += [f"{literal:.1f}", f"{engine:.2f} ({cpu:.2f})", f"{literal / engine:.0f}x"]
    run_wall = cell(f"Compare/WholeRun/engine/{field}", 0)
    run_cpu = cell(f"Compare/WholeRun/engine/{field}", 1)
    row.append(f"{run_wall:.1f} ({run_cpu:.1f})")
    print("| " + " | ".join(row) + " |")
