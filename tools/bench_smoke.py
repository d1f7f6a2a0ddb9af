"""Runs a Google Benchmark program for a few milliseconds per benchmark and fails when it is broken.

    python3 tools/bench_smoke.py [--needs PATH]... PROGRAM [BENCHMARK FLAGS]

The figures of so short a run mean nothing; what is checked is that the program still measures:
it exits with 0, runs at least one benchmark, no benchmark reports an error (SkipWithError), every
run counted at least one iteration, a run that counts items counted some, and no iteration took
less than a nanosecond (a loop whose work the compiler removed costs a fraction of one). A --needs
path that does not exist (../shared in a clone without it) skips the program: exit code 77.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

SKIP = 77
FLOOR_NS = 1.0
NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def problems_of(run):
    """What is wrong with one run of the JSON report; empty when it measured something."""
    name = run.get("name", "?")
    if run.get("error_occurred"):
        return [f"{name}: {run.get('error_message', 'error')}"]
    found = []
    iterations = run.get("iterations", 0)
    if iterations < 1:
        found.append(f"{name}: no iteration ran")
    # Benchmarks that wait for other threads measure wall time; the others their own CPU time.
    per_iteration = run["real_time"] if "/real_time" in name or "/manual_time" in name \
        else run["cpu_time"]
    per_iteration_ns = per_iteration * NS_PER_UNIT.get(run.get("time_unit", "ns"), 1.0)
    if iterations >= 1 and per_iteration_ns < FLOOR_NS:
        found.append(f"{name}: {per_iteration_ns:.3f} ns per iteration: the work was optimised away")
    if "items_per_second" in run and run["items_per_second"] <= 0:
        found.append(f"{name}: no item processed")
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--needs", action="append", default=[], help="skip without this path")
    parser.add_argument("--min-time", default="0.002", help="seconds per benchmark")
    parser.add_argument("program")
    parser.add_argument("flags", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    for path in options.needs:
        if not os.path.exists(path):
            print(f"missing {path}: {os.path.basename(options.program)} not run")
            return SKIP

    with tempfile.TemporaryDirectory(prefix="canhost-bench-smoke-") as folder:
        report = os.path.join(folder, "report.json")
        command = [options.program, f"--benchmark_min_time={options.min_time}",
                   f"--benchmark_out={report}", "--benchmark_out_format=json"] + options.flags
        status = subprocess.run(command, check=False).returncode
        if status != 0:
            print(f"{options.program} exited with {status}")
            return 1
        try:
            with open(report, encoding="utf-8") as f:
                runs = json.load(f).get("benchmarks", [])
        except (OSError, ValueError) as e:
            print(f"{options.program} wrote no report: {e}")
            return 1

    runs = [r for r in runs if r.get("run_type", "iteration") == "iteration"]
    found = [p for r in runs for p in problems_of(r)]
    if not runs:
        found.append("no benchmark ran")
    for p in found:
        print(f"bench smoke: {p}")
    print(f"bench smoke: {os.path.basename(options.program)}: {len(runs)} runs, "
          f"{'broken' if found else 'all measured'}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
