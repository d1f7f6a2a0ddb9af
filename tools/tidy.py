"""Runs clang-tidy over each source of a compile database once; any finding fails.

A source whose preprocessed text (comments kept, so NOLINT counts), flags, .clang-tidy and
clang-tidy version are all unchanged since a clean run is not analysed again: analysis costs
seconds per file, the preprocessor a fraction of one. Only clean results are remembered, so a
finding shows on every run until it is fixed.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import pathlib
import re
import shlex
import subprocess
import sys

EXTRA_ARGS = [
    # GCC's -Wconversion leaves sign changes out; clang's takes them in. Keep GCC's meaning.
    "-Wno-sign-conversion",
]


def compile_entries(build_dir, patterns):
    """One entry per source, generated sources (under the build folder) left out."""
    database = json.loads((build_dir / "compile_commands.json").read_text())
    entries = {}
    for entry in database:
        source = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        if source.startswith(str(build_dir.resolve()) + os.sep) or source in entries:
            continue
        if patterns and not any(re.search(p, source) for p in patterns):
            continue
        entries[source] = entry
    return entries


def preprocessor_args(entry, source):
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    out = ["clang++"]
    skip = False
    for arg in args[1:]:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg not in ("-c", entry["file"], source):
            out.append(arg)
    return out + EXTRA_ARGS + ["-E", "-C", source]


def cache_key(entry, source, salt):
    run = subprocess.run(preprocessor_args(entry, source), cwd=entry["directory"],
                         capture_output=True, check=False)
    if run.returncode != 0:
        return None
    digest = hashlib.sha256(salt)
    digest.update(entry.get("command", " ".join(entry.get("arguments", []))).encode())
    digest.update(run.stdout)
    return digest.hexdigest()


def check(source, entry, salt, cache_dir, db_dir):
    key = cache_key(entry, source, salt)
    if key and (cache_dir / key).exists():
        return source, True, ""
    run = subprocess.run(["clang-tidy", "-quiet", "-p", str(db_dir)] +
                         [f"--extra-arg={a}" for a in EXTRA_ARGS] + [source],
                         capture_output=True, text=True, check=False)
    findings = [line for line in run.stdout.splitlines()
                if re.search(r": (warning|error): ", line)]
    clean = run.returncode == 0 and not findings
    if clean and key:
        (cache_dir / key).touch()
    return source, clean, run.stdout + run.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-p", dest="build_dir", default="build/release")
    parser.add_argument("-j", dest="jobs", type=int, default=2)
    parser.add_argument("--cache", default=os.path.expanduser("~/.cache/canhost-tidy"))
    parser.add_argument("patterns", nargs="*", help="regexes; only sources matching one")
    options = parser.parse_args()

    build_dir = pathlib.Path(options.build_dir)
    entries = compile_entries(build_dir, options.patterns)
    db_dir = build_dir / "tidy"
    db_dir.mkdir(exist_ok=True)
    temp = db_dir / "compile_commands.json.tmp"
    temp.write_text(json.dumps(list(entries.values())))
    temp.replace(db_dir / "compile_commands.json")
    cache_dir = pathlib.Path(options.cache)
    cache_dir.mkdir(parents=True, exist_ok=True)
    version = subprocess.run(["clang-tidy", "--version"], capture_output=True, check=True).stdout
    salt = version + pathlib.Path(".clang-tidy").read_bytes() + " ".join(EXTRA_ARGS).encode()

    failed = 0
    with concurrent.futures.ThreadPoolExecutor(options.jobs) as pool:
        jobs = [pool.submit(check, s, e, salt, cache_dir, db_dir) for s, e in entries.items()]
        for job in concurrent.futures.as_completed(jobs):
            source, clean, output = job.result()
            if not clean:
                failed += 1
                print(f"== {source}\n{output}", flush=True)
    print(f"clang-tidy: {len(entries)} sources, {failed} with findings")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
