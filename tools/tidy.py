"""Runs clang-tidy over the sources of a compile database; any finding fails.

Which sources: those matching the given regexes; with --all every source; otherwise those changed
since the tree was last found clean whole: the commit named in the baseline file (.ci/tidy-baseline,
written by a clean --all run) is compared with the working tree, and a source is analysed when it
or a header it includes (the build's own dependency record) differs. A change to .clang-tidy or to
this script, or a baseline that is missing or unknown to git, selects every source.

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


def git(*args):
    run = subprocess.run(["git", *args], capture_output=True, check=False)
    return run.stdout.decode(errors="replace") if run.returncode == 0 else None


def changed_since(baseline_file):
    """(baseline commit, absolute paths changed since it), or (reason, None) for every source."""
    try:
        base = pathlib.Path(baseline_file).read_text().split()[0]
    except (OSError, IndexError):
        return f"no baseline in {baseline_file}", None
    if git("cat-file", "-e", base + "^{commit}") is None:
        return f"baseline {base[:12]} is not in this clone's history", None
    names = (git("diff", "--name-only", "-z", base) or "").split("\0")
    names += (git("ls-files", "--others", "--exclude-standard", "-z") or "").split("\0")
    top = (git("rev-parse", "--show-toplevel") or ".").strip()
    changed = {os.path.realpath(os.path.join(top, n)) for n in names if n}
    for config in (".clang-tidy", "tools/tidy.py", "tools/tidy"):
        if os.path.realpath(os.path.join(top, config)) in changed:
            return f"{config} changed since {base[:12]}", None
    return base, changed


def object_of(entry):
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    if "-o" not in args:
        return None
    return os.path.normpath(os.path.join(entry["directory"], args[args.index("-o") + 1]))


def included_files(build_dir):
    """object -> the real paths of every file its last compile read (ninja's record)."""
    run = subprocess.run(["ninja", "-C", str(build_dir), "-t", "deps"], capture_output=True,
                         text=True, check=False)
    deps = {}
    current = None
    for line in run.stdout.splitlines():
        if line and not line[0].isspace():
            current = os.path.normpath(os.path.join(build_dir.resolve(), line.split(":")[0]))
            deps[current] = set()
        elif line.strip() and current:
            deps[current].add(os.path.realpath(os.path.join(build_dir, line.strip())))
    return deps


def select_changed(entries, build_dir, changed):
    """The sources that, or whose included files, changed; a source never built counts as changed."""
    deps = included_files(build_dir)
    selected = {}
    for source, entry in entries.items():
        read = deps.get(object_of(entry))
        if read is None or os.path.realpath(source) in changed or read & changed:
            selected[source] = entry
    return selected


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
    parser.add_argument("--all", action="store_true", help="every source; a clean run records "
                        "HEAD as the baseline when no tracked file differs from it")
    parser.add_argument("--baseline", default=".ci/tidy-baseline")
    parser.add_argument("patterns", nargs="*", help="regexes; only sources matching one")
    options = parser.parse_args()

    build_dir = pathlib.Path(options.build_dir)
    entries = compile_entries(build_dir, options.patterns)
    scope = "matching" if options.patterns else "all"
    if not options.patterns and not options.all:
        base, changed = changed_since(options.baseline)
        if changed is None:
            print(f"clang-tidy: every source: {base}")
        else:
            total = len(entries)
            entries = select_changed(entries, build_dir, changed)
            scope = f"changed since {base[:12]} of {total}"
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
    print(f"clang-tidy: {len(entries)} sources ({scope}), {failed} with findings")
    if options.all and not options.patterns and not failed:
        record_baseline(options.baseline)
    return 1 if failed else 0


def record_baseline(baseline_file):
    """Names HEAD as clean in the baseline file, when the tracked files are HEAD's."""
    status = git("status", "--porcelain", "--untracked-files=no")
    head = (git("rev-parse", "HEAD") or "").strip()
    if status is None or not head:
        return
    others = [line for line in status.splitlines() if not line.endswith(baseline_file)]
    if others:
        print("clang-tidy: tracked files differ from HEAD: baseline not recorded")
        return
    pathlib.Path(baseline_file).write_text(head + "\n")
    print(f"clang-tidy: {baseline_file} now names {head[:12]}: commit it")


if __name__ == "__main__":
    sys.exit(main())
