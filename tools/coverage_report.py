"""Prints the coverage of an llvm-cov summary (llvm-cov export -summary-only) per source folder.

    python3 tools/coverage_report.py SUMMARY.json SOURCE_DIR

Files are resolved through links (the build's include roots) to the source tree; the tests,
benchmarks, fuzz targets and what lies outside the source tree or in a build tree are left out.
"""

import collections
import json
import os
import sys

LEFT_OUT = {"build", "tests", "bench", "fuzz"}


def main():
    summary_file, source_dir = sys.argv[1], os.path.realpath(sys.argv[2])
    with open(summary_file, encoding="utf-8") as f:
        files = json.load(f)["data"][0]["files"]
    folders = collections.defaultdict(lambda: [0, 0, 0, 0])  # lines, covered, functions, covered
    for entry in files:
        path = os.path.relpath(os.path.realpath(entry["filename"]), source_dir)
        if path.startswith("..") or path.split(os.sep)[0] in LEFT_OUT:
            continue
        lines, functions = entry["summary"]["lines"], entry["summary"]["functions"]
        for folder in (os.path.dirname(path) or ".", "all"):
            counts = folders[folder]
            counts[0] += lines["count"]
            counts[1] += lines["covered"]
            counts[2] += functions["count"]
            counts[3] += functions["covered"]

    def percent(covered, count):
        return f"{100.0 * covered / count:5.1f} %" if count else "    -  "

    print(f"{'folder':<24} {'lines':>14} {'':>8} {'functions':>12} {'':>8}")
    for folder in sorted(folders, key=lambda f: (f == "all", f)):
        lines, covered, functions, called = folders[folder]
        print(f"{folder:<24} {covered:>6} / {lines:<6} {percent(covered, lines)} "
              f"{called:>5} / {functions:<5} {percent(called, functions)}")


if __name__ == "__main__":
    main()
