#!/usr/bin/env python3
"""Runs Pelamo's mutation list: which deliberate bugs does the test suite catch?

    tests/mutations/run.py [ID...]    # these entries, or every one of the list
    tests/mutations/run.py --list     # print the ids and stop
    tests/mutations/run.py --check    # only check that every snippet applies

Options: --build-dir DIR (default build-mutations/ in the project root), --jobs N
(default 2), --out FILE (default BUILD_DIR/mutations.md), --mutations FILE (default:
mutations.txt beside this script).

It configures its own RelWithDebInfo Ninja build and builds it whole; the unmutated
tree must build and the hinted tests of the chosen entries must pass, or it stops.
Then, for each entry: the snippet must occur exactly once in its file ("does not
apply" otherwise); the file is changed, the hinted test targets plus `pelamo` and the
desktop module are built ("does not build" if that fails), and the hinted tests run.
If none fails, everything is built and the rest of the suite runs (without the fuzz
label) to find any test that does. The file always gets its original text back, also
on Ctrl-C; writing it gives the file a new time stamp, so the next build recompiles
it. The result table (Markdown) is printed and written to --out. The exit status is 0
only when every entry that applies was caught.
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
SNIPPETS = {"--- original": "original", "--- replacement": "replacement", "--- end": None}


def parse(path):
    """Entries of the list, in order, as dicts."""
    entries, block = [], None
    for number, line in enumerate(path.read_text(encoding="utf-8").split("\n"), 1):
        if block and line not in ("--- replacement", "--- end"):
            entries[-1][block].append(line)
        elif block or line == "--- original" and entries:
            block = SNIPPETS[line]
            if block:
                entries[-1][block] = []
        elif re.fullmatch(r"\[[\w.-]+\]", line):
            entries.append({"id": line[1:-1], "line": number})
        elif entries and line.split(":", 1)[0] in FIELDS:
            key, value = line.split(":", 1)
            entries[-1][key] = value.strip()
        elif line.strip() and not line.startswith("#"):
            sys.exit(f"{path}:{number}: can't read this line: {line!r}")
    if block:
        sys.exit(f"{path}: entry {entries[-1]['id']} has no --- end")
    for e in entries:
        missing = [k for k in FIELDS + ("original", "replacement") if k not in e]
        if missing:
            sys.exit(f"{path}:{e['line']}: entry {e['id']} lacks {', '.join(missing)}")
        e["original"], e["replacement"] = "\n".join(e["original"]), "\n".join(e["replacement"])
        e["hints"] = e["hint"].split()
    if len({e["id"] for e in entries}) != len(entries):
        sys.exit(f"{path}: ids are not unique")
    return entries


def run(command, log, env=None):
    """Runs a command with its output appended to the log; returns its status and output."""
    result = subprocess.run(command, cwd=ROOT, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, errors="replace")
    with open(log, "a", encoding="utf-8") as f:
        f.write(f"\n$ {' '.join(command)}\n{result.stdout}")
    return result.returncode, result.stdout


def build(args, targets=()):
    command = ["cmake", "--build", str(args.build_dir), "--parallel", str(args.jobs)]
    return run(command + (["--target", *targets] if targets else []), args.log)[0] == 0


def ctest(args, selection):
    """Runs CTest with the given selection; returns the names of the tests that failed."""
    status, output = run(["ctest", "--test-dir", str(args.build_dir), "--output-on-failure", "-j",
                          str(args.jobs)] + selection, args.log, dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    failed = re.findall(r"^\s*\d+ - (\S+) \(", output.split("The following tests FAILED:")[-1], re.M)
    return failed or ([f"ctest (status {status})"] if status else [])


def exact(names):
    return "^(" + "|".join(re.escape(n) for n in names) + ")$"


def misfit(e):
    """Why the entry does not apply to the tree, or None when it does."""
    path = ROOT / e["file"]
    if not path.is_file():
        return "no such file"
    count = path.read_text(encoding="utf-8").count(e["original"])
    return None if count == 1 else f"snippet found {count} times"


def try_entry(args, e):
    """Applies one entry, tests it and puts the file back; returns the result."""
    if misfit(e):
        return f"does not apply ({misfit(e)})"
    path = ROOT / e["file"]
    original = path.read_text(encoding="utf-8")
    try:
        path.write_text(original.replace(e["original"], e["replacement"]), encoding="utf-8")
        if not build(args, [h for h in e["hints"] if h not in NOT_TARGETS] + ALWAYS_BUILT):
            return "does not build"
        failed = ctest(args, ["-R", exact(e["hints"])])
        if failed:
            return "caught by " + ", ".join(failed)
        print("    hinted tests pass; building everything for the rest of the suite", flush=True)
        if not build(args):
            return "does not build"
        failed = ctest(args, ["-LE", "fuzz", "-E", exact(e["hints"])])
        return "caught by " + ", ".join(failed) + " (not hinted)" if failed else "SURVIVED"
    finally:
        path.write_text(original, encoding="utf-8")


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
        bad = [e["id"] for e in chosen if misfit(e)]
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
            rows.append((e, try_entry(args, e), time.monotonic() - begun))
            print(f"    {rows[-1][1]} ({rows[-1][2]:.0f} s)", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the file was put back, results so far follow", flush=True)
    lines = ["| id | layer | file | fault | result | seconds |", "|---|---|---|---|---|---|"]
    for e, result, seconds in rows:
        cells = [e["id"], e["layer"], e["file"], e["fault"], result, f"{seconds:.0f}"]
        lines.append("| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |")
    caught = sum(r.startswith("caught") for _, r, _ in rows)
    minutes = (time.monotonic() - started) / 60
    report = "\n".join(lines) + f"\n\n{caught} of {len(rows)} caught; {minutes:.1f} minutes in all.\n"
    args.out.write_text(report, encoding="utf-8")
    print(f"\n{report}written to {args.out}")
    applied_all_caught = all(r.startswith(("caught", "does not apply")) for _, r, _ in rows)
    return 0 if applied_all_caught and len(rows) == len(chosen) else 1


if __name__ == "__main__":
    sys.exit(main())
