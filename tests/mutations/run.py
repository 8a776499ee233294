#!/usr/bin/env python3
"""Runs Pelamo's mutation list: which deliberate bugs does the test suite catch?

Usage (from anywhere):
    tests/mutations/run.py                  # every entry of tests/mutations/mutations.txt
    tests/mutations/run.py ID [ID...]       # only these entries
    tests/mutations/run.py --list           # print the ids and stop
    tests/mutations/run.py --check          # only check that every snippet applies

Options: --build-dir DIR (default build-mutations/ in the project root),
--jobs N (default 2), --out FILE (default BUILD_DIR/mutations.md),
--mutations FILE (default: mutations.txt beside this script).

It configures its own RelWithDebInfo Ninja build and builds it whole; the
unmutated tree must build and the hinted tests of the chosen entries must pass,
or it stops. Then, for each entry: the snippet must occur exactly once in its
file ("does not apply" otherwise); the file is changed, the hinted test targets
plus `pelamo` and the desktop module are built ("does not build" if that
fails), and the hinted tests run. If none fails, everything is built and the
rest of the suite runs (without the fuzz label) to find any test that does.
The file always gets its original text back, also on Ctrl-C; writing it gives
the file a new time stamp, so the next build recompiles it.

The result table (Markdown) is printed and written to --out. The exit status
is 0 only when every entry that applies was caught.
"""
import argparse
import os
import re
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
ALWAYS_BUILT = ["pelamo", "pelamo_desktop"]  # the end-to-end tests run the real program
# CTest tests that are scripts, not build targets.
NOT_TARGETS = {"TestInstall", "TestManual", "TestCompletion", "TestPackage", "TestLayers"}
FIELDS = ("layer", "file", "fault", "hint")


def parse(path):
    """Entries of the list, in order, as dicts."""
    entries, entry, block = [], None, None
    for number, line in enumerate(path.read_text(encoding="utf-8").split("\n"), 1):
        if block is not None:
            if line in ("--- replacement", "--- end"):
                entry[block] = "\n".join(entry[block])
                block = "replacement" if line == "--- replacement" else None
                if block:
                    entry[block] = []
            else:
                entry[block].append(line)
        elif line == "--- original":
            block, entry["original"] = "original", []
        elif re.fullmatch(r"\[[\w.-]+\]", line):
            entry = {"id": line[1:-1], "line": number}
            entries.append(entry)
        elif line.startswith("#") or not line.strip():
            continue
        elif entry is not None and line.split(":", 1)[0] in FIELDS:
            key, value = line.split(":", 1)
            entry[key] = value.strip()
        else:
            sys.exit(f"{path}:{number}: can't read this line: {line!r}")
    for e in entries:
        missing = [k for k in FIELDS + ("original", "replacement") if k not in e]
        if missing:
            sys.exit(f"{path}:{e['line']}: entry {e['id']} lacks {', '.join(missing)}")
        e["hints"] = e["hint"].split()
    ids = [e["id"] for e in entries]
    if len(ids) != len(set(ids)):
        sys.exit(f"{path}: ids are not unique")
    return entries


def run(command, log, env=None):
    """Runs a command with its output appended to the log; returns its status and output."""
    result = subprocess.run(command, cwd=ROOT, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, errors="replace")
    with open(log, "a", encoding="utf-8") as f:
        f.write(f"\n$ {' '.join(command)}\n{result.stdout}")
    return result.returncode, result.stdout


def build(args, targets=None):
    command = ["cmake", "--build", str(args.build_dir), "--parallel", str(args.jobs)]
    for target in targets or []:
        command += ["--target", target]
    return run(command, args.log)[0] == 0


def ctest(args, selection):
    """Runs CTest with the given selection; returns the names of the tests that failed."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    status, output = run(["ctest", "--test-dir", str(args.build_dir), "--output-on-failure",
                          "-j", str(args.jobs)] + selection, args.log, env)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", output.split("The following tests FAILED:")[-1], re.M)
    if status != 0 and not failed:
        failed = ["ctest (status %d)" % status]
    return failed


def exact(names):
    return "^(" + "|".join(re.escape(n) for n in names) + ")$"


def try_entry(args, e):
    """Applies one entry, tests it and puts the file back; returns (result, caught)."""
    path = ROOT / e["file"]
    if not path.is_file():
        return "does not apply (no such file)", False
    original = path.read_text(encoding="utf-8")
    count = original.count(e["original"])
    if count != 1:
        return f"does not apply (snippet found {count} times)", False
    try:
        path.write_text(original.replace(e["original"], e["replacement"]), encoding="utf-8")
        targets = [h for h in e["hints"] if h not in NOT_TARGETS] + ALWAYS_BUILT
        if not build(args, targets):
            return "does not build", False
        failed = ctest(args, ["-R", exact(e["hints"])])
        if failed:
            return "caught by " + ", ".join(failed), True
        print("    hinted tests pass; building everything for the rest of the suite", flush=True)
        if not build(args):
            return "does not build", False
        failed = ctest(args, ["-LE", "fuzz", "-E", exact(e["hints"])])
        if failed:
            return "caught by " + ", ".join(failed) + " (not hinted)", True
        return "SURVIVED", False
    finally:
        path.write_text(original, encoding="utf-8")


def table(rows):
    lines = ["| id | layer | file | fault | result | seconds |", "|---|---|---|---|---|---|"]
    for e, result, seconds in rows:
        cells = [e["id"], e["layer"], e["file"], e["fault"], result, f"{seconds:.0f}"]
        lines.append("| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ids", nargs="*", help="entries to run (default: all)")
    parser.add_argument("--list", action="store_true", help="print the ids and stop")
    parser.add_argument("--check", action="store_true", help="only check that the snippets apply")
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build-mutations")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--out", type=Path)
    parser.add_argument("--mutations", type=Path, default=HERE / "mutations.txt")
    args = parser.parse_args()
    args.build_dir = args.build_dir.resolve()
    args.out = args.out or args.build_dir / "mutations.md"
    args.log = args.build_dir / "mutations.log"

    entries = parse(args.mutations)
    if args.list:
        print("\n".join(e["id"] for e in entries))
        return 0
    unknown = set(args.ids) - {e["id"] for e in entries}
    if unknown:
        sys.exit("unknown ids: " + ", ".join(sorted(unknown)))
    chosen = [e for e in entries if not args.ids or e["id"] in args.ids]
    if args.check:
        bad = [e["id"] for e in chosen if (ROOT / e["file"]).is_file() is False
               or (ROOT / e["file"]).read_text(encoding="utf-8").count(e["original"]) != 1]
        print(f"{len(chosen) - len(bad)} of {len(chosen)} apply" + (": not " + ", ".join(bad) if bad else ""))
        return 1 if bad else 0

    args.build_dir.mkdir(parents=True, exist_ok=True)
    args.log.write_text("", encoding="utf-8")
    started = time.monotonic()
    print(f"configuring and building {args.build_dir} (log: {args.log})", flush=True)
    if run(["cmake", "-S", str(ROOT), "-B", str(args.build_dir), "-G", "Ninja",
            "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], args.log)[0] != 0 or not build(args):
        sys.exit("the unmutated tree does not build; see " + str(args.log))
    hinted = sorted({h for e in chosen for h in e["hints"]})
    print("unmutated run of the hinted tests: " + " ".join(hinted), flush=True)
    failed = ctest(args, ["-R", exact(hinted)])
    if failed:
        sys.exit("the unmutated tree fails " + ", ".join(failed) + "; see " + str(args.log))

    rows = []
    try:
        for number, e in enumerate(chosen, 1):
            print(f"[{number}/{len(chosen)}] {e['id']} ({e['file']})", flush=True)
            begun = time.monotonic()
            result, _ = try_entry(args, e)
            rows.append((e, result, time.monotonic() - begun))
            print(f"    {result} ({rows[-1][2]:.0f} s)", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the file was put back, results so far follow", flush=True)
    markdown = table(rows)
    minutes = (time.monotonic() - started) / 60
    caught = sum(r.startswith("caught") for _, r, _ in rows)
    summary = f"\n{caught} of {len(rows)} caught; {minutes:.1f} minutes in all.\n"
    args.out.write_text(markdown + summary, encoding="utf-8")
    print("\n" + markdown + summary + f"written to {args.out}")
    complete = len(rows) == len(chosen)
    return 0 if complete and all(r.startswith("caught") or r.startswith("does not apply")
                                 for _, r, _ in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
