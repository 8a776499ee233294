#!/usr/bin/env python3
"""Times `pelamo --tag`, with every flush to disk it normally does, on three
workloads side by side in one run, each beside a bare verified copy of the
same files (read, write a temporary file, flush, read back, compare the audio,
rename, flush the folder):

  - a folder of 200 MP3 files of about 1 MB with assorted old tags, also
    retagged by mutagen, mid3v2, eyeD3, id3v2 and kid3-cli, plus diagnostic
    runs without fsync and on files with extended attributes and an ACL, and
    Pelamo's time on 1, 50 and 200 files to show that a batch scales linearly
    and holds one file at a time;
  - a folder of 20 files of about 60 MB, also retagged by mutagen and mid3v2,
    for the time and the peak memory on long episodes;
  - a folder holding one ~5 MB song, for the cost of a single file;
  - one file of about 1 GB, and a folder of two, beside a plain copy plus
    flush from a warm page cache and from a cold one.

Given another build of Pelamo (the build before a change), it runs beside
this one on every workload, and the targets compare the two.

Every tool gets a fresh copy of its folder each round (not timed), each runs
once untimed first so all start from a warm page cache, and the tools take
turns round by round, so a noisy machine slows them alike. Reports the median
whole-process wall time and peak memory of each, then the targets: Pelamo
against the verified copy and the other tools, and its peak memory on the
long episodes against the size of the largest one.

  batch.py BUILD_DIR [ROUNDS] [BEFORE_PELAMO]      (7 rounds unless given) run through scripts/bench.sh batch
"""
import os
import shutil
import statistics
import subprocess
import sys

from benchlib import ALBUM, ARTIST, COMMENT, GENRE, TITLE, YEAR, measure
from workloads import (FEW, FILES, SHOW, WORKLOADS, bench, build, check_pelamo, cover, data, environment, fresh_copy,
                       library, library_no_undo, pelamo, prepare, sizes)

rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
before = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None

# What each tool does to the folder. Each entry: the command for a folder and
# its files, and the check of what it printed (Pelamo's one line per file).
MUTAGEN_BATCH = """
import os, sys
from mutagen import apev2, id3
cover = open(sys.argv[1], "rb").read()
for path in sys.argv[2:]:
    apev2.delete(path)
    try:
        tags = id3.ID3(path)
    except id3.ID3NoHeaderError:
        tags = id3.ID3()
    tags.clear()
    tags.add(id3.TIT2(encoding=1, text=os.path.splitext(os.path.basename(path))[0]))
    tags.add(id3.TPE1(encoding=1, text=%r)); tags.add(id3.TALB(encoding=1, text=%r))
    tags.add(id3.TCON(encoding=1, text=%r)); tags.add(id3.TYER(encoding=1, text=%r))
    tags.add(id3.COMM(encoding=1, lang="eng", desc="", text=%r))
    tags.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=cover))
    tags.save(path, v2_version=3, v1=2)
""" % (ARTIST, ALBUM, GENRE, YEAR, COMMENT)

kid3_quote = "'{}'".format
MID3V2 = shutil.which("mid3v2")


def tools():
    env = environment()
    # Diagnostic runs only: every flush to disk made a no-op, to show the share of
    # the time that goes to durability, which the in-place tools don't pay for.
    no_flush = dict(env, LD_PRELOAD=os.path.join(build, "bench", "libpelamo_noflush.so"))
    return {
        # The least any tool must do: copy each file and flush it, nothing read back or hashed.
        "plain copy + flush": lambda folder, files: (
            ["sh", "-c", 'for f; do cp "$f" "$f.copy" && sync "$f.copy" || exit 1; done', "sh"] + files, env),
        # The same from a cold page cache: every byte read from the disk first.
        "cold copy + flush": lambda folder, files: (
            ["sh", "-c", 'for f; do cp "$f" "$f.copy" && sync "$f.copy" || exit 1; done', "sh"] + files, env),
        # What Pelamo takes before it tags anything: the reference for its memory.
        "pelamo --list": lambda folder, files: ([pelamo, "--list", "--library", library], env),
        "verified copy": lambda folder, files: ([bench, "copy", folder], env),
        "Pelamo --tag": lambda folder, files: ([pelamo, "--tag", "--show", SHOW, "--library", library, folder], env),
        "Pelamo, before": lambda folder, files: ([before, "--tag", "--show", SHOW, "--library", library, folder], env),
        # The same run over files that carry extended attributes and an ACL, which
        # Pelamo copies to every new file.
        "Pelamo, attributes": lambda folder, files: (
            [pelamo, "--tag", "--show", SHOW, "--library", library, folder], env),
        # The same run where no undo journal can be kept: what the journal costs.
        "Pelamo, no undo": lambda folder, files: (
            [pelamo, "--tag", "--show", SHOW, "--library", library_no_undo, folder], env),
        "copy, no fsync": lambda folder, files: ([bench, "copy", folder], no_flush),
        "Pelamo, no fsync": lambda folder, files: ([pelamo, "--tag", "--show", SHOW, "--library", library, folder],
                                                   no_flush),
        # One Python process over all files: the in-place baseline, which writes
        # only the tag where it fits and neither reads back nor flushes.
        "mutagen in place": lambda folder, files: ([sys.executable, "-c", MUTAGEN_BATCH, cover] + files, env),
        # mutagen's command-line tool, one process for all files and one title for
        # all: it merges into the old tag, upgrades it to ID3v2.4, adds no picture
        # and leaves APEv2 tags as they are.
        "mid3v2": lambda folder, files: ([MID3V2, "-t", TITLE, "-a", ARTIST, "-A", ALBUM, "-g", GENRE,
                                          "-y", YEAR, "-c", COMMENT] + files, env),
        # eyeD3 takes many files but has no title from the file name: one process, one
        # title for all. It writes ID3v2.3 only and leaves ID3v1 and APEv2 tags as they are.
        "eyeD3": lambda folder, files: (["eyeD3", "--quiet", "--no-color", "--to-v2.3", "-t", TITLE,
                                         "-a", ARTIST, "-A", ALBUM, "-G", GENRE, "-Y", YEAR, "-c", COMMENT,
                                         "--add-image", cover + ":FRONT_COVER"] + files, env),
        # id3v2 (id3lib) takes many files, writes ID3v2.3 and ID3v1 but can't add a
        # picture or take the title from the file name.
        "id3v2": lambda folder, files: (["id3v2", "-t", TITLE, "-a", ARTIST, "-A", ALBUM,
                                         "--TCON", GENRE, "-y", YEAR, "-c", COMMENT] + files, env),
        # kid3-cli: one process for all files, the title from the file name; it keeps
        # an ID3v2.4 tag at 2.4 and writes ID3v1 only where the file had one.
        "kid3-cli": lambda folder, files: (["kid3-cli", "-c", "select all", "-c", "totag '%{title}' 12",
                                            "-c", "set artist %s 12" % kid3_quote(ARTIST),
                                            "-c", "set album %s 12" % kid3_quote(ALBUM),
                                            "-c", "set genre %s 12" % kid3_quote(GENRE),
                                            "-c", "set date %s 12" % kid3_quote(YEAR),
                                            "-c", "set comment %s 12" % kid3_quote(COMMENT),
                                            "-c", "set picture:%s ''" % kid3_quote(cover),
                                            "-c", "save"] + files, env),
    }


def run(workload, tool):
    work, files = fresh_copy(workload)
    if tool == "Pelamo, attributes":
        for path in files:
            os.setxattr(path, "user.xdg.origin.url", b"https://example.com/feed/episode.mp3")
            os.setxattr(path, "user.comment", b"keep")
        subprocess.run(["setfacl", "-m", "u:nobody:r"] + files, check=True)
        os.sync()
    if tool == "cold copy + flush":
        for path in files:
            with open(path, "rb") as f:
                os.posix_fadvise(f.fileno(), 0, 0, os.POSIX_FADV_DONTNEED)
    command, env = TOOLS[tool](work, files)
    output = os.path.join(data, "output.txt")
    with open(output, "w") as out:
        seconds, peak = measure(command, env=env, stdout=out)
    if tool.startswith("Pelamo"):
        check_pelamo(output, files)
    return seconds, peak


FOLDER_ONLY = ("plain copy + flush", "cold copy + flush", "pelamo --list", "Pelamo, before")


prepare()
TOOLS = tools()
if not before:
    del TOOLS["Pelamo, before"]
BEFORE = ["Pelamo, before"] if before else []
if not MID3V2:
    del TOOLS["mid3v2"]
    print("note: mid3v2 is not on PATH; its rows and its target are skipped")
LONG_TOOLS = [tool for tool in ("verified copy", "Pelamo --tag", "mutagen in place", "mid3v2") if tool in TOOLS]
RUNS = [("folder", tool) for tool in TOOLS if tool not in FOLDER_ONLY] + [("folder", tool) for tool in BEFORE] + [
    ("few", "Pelamo --tag"), ("few", "verified copy"), ("one", "Pelamo --tag"), ("one", "pelamo --list")] + [
    ("long", tool) for tool in LONG_TOOLS + BEFORE] + [
    ("song", tool) for tool in ["verified copy", "Pelamo --tag"] + BEFORE] + [
    ("huge", tool) for tool in ["plain copy + flush", "cold copy + flush", "verified copy", "Pelamo --tag"] + BEFORE] + [
    ("huge folder", "plain copy + flush"), ("huge folder", "Pelamo --tag")]
results = {key: [] for key in RUNS}
loads = [os.getloadavg()[0]]


print("machine: %s, %d cores; %d rounds, tools in turn, with every flush to disk" %
      (os.uname().machine, os.cpu_count(), rounds))
for workload in ("folder", "long", "song", "huge", "huge folder"):
    label, folder, _ = WORKLOADS[workload]
    print("  %s: %.1f MB in %s" % (label, sum(sizes(workload)) / 1e6, folder))
megabytes = sum(sizes("folder")) / 1e6
# One untimed warm-up of each, so every tool starts from a warm page cache.
for workload, tool in RUNS:
    run(workload, tool)
for round_index in range(rounds):
    turn = RUNS[round_index % len(RUNS):] + RUNS[:round_index % len(RUNS)]
    for workload, tool in turn:
        results[(workload, tool)].append(run(workload, tool))
    loads.append(os.getloadavg()[0])
    print("  round %d of %d done, load average %.2f" % (round_index + 1, rounds, loads[-1]), flush=True)


def wall(tool, workload="folder"):
    return statistics.median(seconds for seconds, _ in results[(workload, tool)])


def peak_mb(tool, workload="folder"):
    return statistics.median(peak for _, peak in results[(workload, tool)]) / 1024


DIAGNOSTIC = ("copy, no fsync", "Pelamo, no fsync", "Pelamo, attributes", "pelamo --list", "Pelamo, before")


def table(title, rows, workload):
    """The runs in rows, each against Pelamo's run on the same workload."""
    pelamo = wall("Pelamo --tag", workload)
    print("\n%s\n%-18s %5s %10s %12s %13s %11s %14s" % (title, "tool", "files", "wall s", "ms per file",
                                                       "min..max s", "peak MB", "Pelamo/tool"))
    for row_workload, tool in rows:
        count = WORKLOADS[row_workload][2]
        times = [seconds for seconds, _ in results[(row_workload, tool)]]
        compared = row_workload == workload and tool not in DIAGNOSTIC
        print("%-18s %5d %10.3f %12.2f %6.2f..%-6.2f %11.1f %14s"
              % (tool, count, wall(tool, row_workload), 1000 * wall(tool, row_workload) / count, min(times),
                 max(times), peak_mb(tool, row_workload),
                 "%.2fx" % (pelamo / wall(tool, row_workload)) if compared else ""))


table("%s (%.0f MB)" % (WORKLOADS["folder"][0], megabytes),
      [key for key in RUNS if key[0] in ("folder", "few", "one")], "folder")
table("%s (%.0f MB)" % (WORKLOADS["long"][0], sum(sizes("long")) / 1e6),
      [key for key in RUNS if key[0] == "long"], "long")
table("%s (%.1f MB)" % (WORKLOADS["song"][0], sum(sizes("song")) / 1e6),
      [key for key in RUNS if key[0] == "song"], "song")
table("%s (%.0f MB), and %s" % (WORKLOADS["huge"][0], sum(sizes("huge")) / 1e6, WORKLOADS["huge folder"][0]),
      [key for key in RUNS if key[0] in ("huge", "huge folder")], "huge")
print("\nload average (1 min) at start and after each round: %s" % " ".join("%.2f" % load for load in loads))


def verdict(met):
    return "met" if met else "MISSED"


pelamo_time = wall("Pelamo --tag")
copy_ratio = pelamo_time / wall("verified copy")
print("\ntargets")
print("  %s:" % WORKLOADS["folder"][0])
print("    Pelamo / verified copy: %.2fx (target <= 0.80x): %s" % (copy_ratio, verdict(copy_ratio <= 0.8)))
for tool in ("mid3v2", "kid3-cli", "eyeD3", "id3v2"):
    if tool in TOOLS:
        print("    Pelamo / %s: %.2fx (target < 1x): %s"
              % (tool, pelamo_time / wall(tool), verdict(pelamo_time < wall(tool))))
    else:
        print("    Pelamo / %s: skipped, %s is not installed" % (tool, tool))
print("    Pelamo %.3f s, mutagen in place %.3f s: %.2fx (no target: mutagen rewrites only the tag where it fits,"
      " without a read-back or fsync)" % (pelamo_time, wall("mutagen in place"),
                                          pelamo_time / wall("mutagen in place")))
print("    Pelamo on files with two extended attributes and an ACL / Pelamo on plain files: %.2fx"
      % (wall("Pelamo, attributes") / pelamo_time))
undo_ratio = pelamo_time / wall("Pelamo, no undo")
print("    Pelamo keeping its undo journal / Pelamo without one: %.2fx (target <= 1.05x): %s"
      % (undo_ratio, verdict(undo_ratio <= 1.05)))



def against_before(workload, target):
    """This build against the build before it, side by side in this run."""
    if not before:
        print("    Pelamo / the build before: not measured (give it as scripts/bench.sh batch ROUNDS BEFORE_PELAMO)")
        return
    ratio = wall("Pelamo --tag", workload) / wall("Pelamo, before", workload)
    print("    Pelamo / the build before (%s): %.2fx (%s): %s"
          % (before, ratio, "target <= %.2fx" % target if target else "no target",
             verdict(ratio <= target) if target else "measured"))


against_before("folder", None)
song_ratio = wall("Pelamo --tag", "song") / wall("verified copy", "song")
print("  %s (%.1f MB):" % (WORKLOADS["song"][0], sum(sizes("song")) / 1e6))
print("    Pelamo / verified copy: %.2fx (no target; the verified copy reads the song once)" % song_ratio)
against_before("song", 1.15)

# The memory target takes the highest peak of all rounds, not the median.
largest_long = max(sizes("long")) / 1024 / 1024
long_peak = max(peak for _, peak in results[("long", "Pelamo --tag")]) / 1024
memory_limit = 2 * largest_long + 30
long_time = wall("Pelamo --tag", "long")
print("  %s:" % WORKLOADS["long"][0])
print("    Pelamo's peak memory: %.1f MB, highest of %d rounds (target <= 2 x largest file %.1f MB + 30 MB = %.1f MB):"
      " %s" % (long_peak, rounds, largest_long, memory_limit, verdict(long_peak <= memory_limit)))
long_ratio = long_time / wall("verified copy", "long")
print("    Pelamo / verified copy: %.2fx (target <= 0.50x): %s" % (long_ratio, verdict(long_ratio <= 0.5)))
against_before("long", None)
if "mid3v2" in TOOLS:
    print("    Pelamo / mid3v2: %.2fx (no target)" % (long_time / wall("mid3v2", "long")))
print("    Pelamo %.3f s, mutagen in place %.3f s: %.2fx (no target: mutagen rewrites only the tag where it fits"
      " and moves the audio in place where it doesn't, without a read-back or fsync)"
      % (long_time, wall("mutagen in place", "long"), long_time / wall("mutagen in place", "long")))

# Memory that doesn't grow with the file: the highest peak of all rounds against
# what the program takes before it tags anything.
list_peak = peak_mb("pelamo --list", "one")
huge_peak = max(peak for _, peak in results[("huge", "Pelamo --tag")]) / 1024
two_peak = max(peak for _, peak in results[("huge folder", "Pelamo --tag")]) / 1024
mebibytes_64 = 64 * 1024 * 1024 / 1e6
huge_ratio = wall("Pelamo --tag", "huge") / wall("plain copy + flush", "huge")
cold_ratio = wall("Pelamo --tag", "huge") / wall("cold copy + flush", "huge")
print("  %s:" % WORKLOADS["huge"][0])
print("    Pelamo's peak memory %.1f MB, highest of %d rounds; pelamo --list %.1f MB: %.1f MB above it"
      " (target <= 64 MiB, %.1f MB): %s" % (huge_peak, rounds, list_peak, huge_peak - list_peak, mebibytes_64,
                                           verdict(huge_peak - list_peak <= mebibytes_64)))
print("    Pelamo / plain copy + flush from a warm page cache: %.2fx (target <= 3.00x): %s"
      % (huge_ratio, verdict(huge_ratio <= 3.0)))
print("    Pelamo / plain copy + flush from a cold page cache: %.2fx (no target; Pelamo reads the file a second time"
      " from the disk, so this is the copy that moves the same bytes)" % cold_ratio)
cold_warm = wall("cold copy + flush", "huge") / wall("plain copy + flush", "huge")
print("    a copy from a cold page cache takes %.2fx one from a warm one: %s" % (cold_warm, (
    "this machine is limited by its disk's reads" if cold_warm > 1.2
    else "reads from the disk cost this machine little; copies and writes count")))
against_before("huge", None)
# Two files are in flight, so a folder may hold one more file's four pieces;
# each file's own memory doesn't grow with it.
four_pieces = 4 * 4 * 1024 * 1024 / 1e6
print("  %s:" % WORKLOADS["huge folder"][0])
print("    Pelamo's peak memory %.1f MB, for one file %.1f MB (target: no more than one file and the second file's"
      " four pieces, %.1f MB): %s"
      % (two_peak, huge_peak, four_pieces, verdict(two_peak <= huge_peak + four_pieces + 1)))

flushing = 1 - wall("Pelamo, no fsync") / pelamo_time
others = [tool for tool in ("id3v2", "eyeD3", "kid3-cli", "mid3v2") if tool in TOOLS]
print("\nwhere Pelamo's time goes on the %s: %.0f%% of it is waiting for fsync (and the renames queued behind it); "
      "without any fsync Pelamo takes %.2fx the verified copy without fsync, %s"
      % (WORKLOADS["folder"][0], 100 * flushing, wall("Pelamo, no fsync") / wall("copy, no fsync"),
         ", ".join("%.2fx %s" % (wall("Pelamo, no fsync") / wall(tool), tool) for tool in others)))

# A batch costs a fixed start (the 1-file run) plus the same time per file: the
# cost per file beyond the start must not grow from 50 files to 200.
one, few, full = wall("Pelamo --tag", "one"), wall("Pelamo --tag", "few"), pelamo_time
per_few, per_full = (few - one) / (FEW - 1), (full - one) / (FILES - 1)
print("\nlinear scaling: Pelamo starts in %.1f ms, then takes %.2f ms per file over %d files and %.2f ms per file "
      "over %d: %.2fx (1.00 is linear)" % (1000 * one, 1000 * per_few, FEW, 1000 * per_full, FILES, per_full / per_few))
print("  verified copy: %.2f ms per file over %d files, %.2f ms over %d: %.2fx"
      % (1000 * wall("verified copy", "few") / FEW, FEW, 1000 * wall("verified copy") / FILES, FILES,
         (wall("verified copy") / FILES) / (wall("verified copy", "few") / FEW)))
largest = max(sizes("folder")) / 1024 / 1024
print("one file at a time: Pelamo's peak memory %.1f MB for 1 file, %.1f MB for %d, %.1f MB for %d "
      "(largest file %.1f MB; holding every file would add %.0f MB)"
      % (peak_mb("Pelamo --tag", "one"), peak_mb("Pelamo --tag", "few"), FEW, peak_mb("Pelamo --tag"), FILES,
         largest, megabytes))
print("  on the %s: %.1f MB (median of %d rounds) with files up to %.1f MB; holding every file would add %.0f MB"
      % (WORKLOADS["long"][0], peak_mb("Pelamo --tag", "long"), rounds, largest_long, sum(sizes("long")) / 1e6))
shutil.rmtree(os.path.join(data, "work"), ignore_errors=True)
