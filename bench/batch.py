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
  - a folder holding one ~5 MB song, for the cost of a single file.

Every tool gets a fresh copy of its folder each round (not timed), each runs
once untimed first so all start from a warm page cache, and the tools take
turns round by round, so a noisy machine slows them alike. Reports the median
whole-process wall time and peak memory of each, then the targets: Pelamo
against the verified copy and the other tools, and its peak memory on the
long episodes against the size of the largest one.

  batch.py BUILD_DIR [ROUNDS]      (7 rounds unless given) run through scripts/bench.sh batch
"""
import json
import os
import shutil
import statistics
import subprocess
import sys

from mutagen import apev2, id3

from benchlib import ALBUM, ARTIST, COMMENT, GENRE, TITLE, YEAR, encode_noise, measure

build = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
pelamo = os.path.join(build, "pelamo")
bench = os.path.join(build, "bench", "pelamo_bench")
data = os.path.join(build, "data", "batch")
FILES, FEW = 200, 50
# The long episodes: LONG files of about 60 MB, each made of 56 to 60 of the
# ~1 MB clips back to back.
LONG, LONG_CLIPS = 20, 56
# The song: 130 s at 320 kbit/s, about 5.2 MB.
SONG_SECONDS, SONG_BITRATE = 130, 320
SHOW = "Bench Show"
# Bumped whenever the folders' recipe changes, so a stale cache is rebuilt.
RECIPE = "3"

source = os.path.join(data, "source-%d" % FILES)
few_source = os.path.join(data, "source-%d" % FEW)
one_source = os.path.join(data, "source-1")
long_source = os.path.join(data, "source-long-%d" % LONG)
song_source = os.path.join(data, "source-song")
library = os.path.join(data, "library")
# The same library where no undo journal can be kept ("Undo" is a file): the
# baseline for what the journal costs.
library_no_undo = os.path.join(data, "library-no-undo")
home = os.path.join(data, "home")
cover = os.path.join(library, "Covers", "cover.jpg")


def old_tag(kind, path, index):
    """The tag a file arrives with, one of six kinds in turn."""
    def frames(cover_bytes):
        tags = id3.ID3()
        tags.add(id3.TIT2(encoding=3, text="Old title %d" % index))
        tags.add(id3.TPE1(encoding=1, text="Old artist"))
        tags.add(id3.COMM(encoding=1, lang="eng", desc="", text="Old comment"))
        if cover_bytes:
            tags.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=os.urandom(cover_bytes)))
        return tags

    def ape():
        tags = apev2.APEv2()
        tags["Title"], tags["Artist"] = "Old APE title %d" % index, "Old APE artist"
        tags.save(path)

    if kind == "id3v2.3":
        frames(20_000).save(path, v2_version=3, v1=0)
    elif kind == "id3v2.4+v1":
        frames(60_000).save(path, v2_version=4, v1=2, padding=lambda info: 4096)
    elif kind == "id3v1":
        frames(0).save(path, v2_version=3, v1=2)
        id3.ID3(path).delete(path, delete_v1=False, delete_v2=True)
    elif kind == "apev2":
        ape()
    elif kind == "id3v2.4+apev2+v1":
        ape()
        frames(5_000).save(path, v2_version=4, v1=2)
    # "none": the bare audio.


KINDS = ["id3v2.3", "id3v2.4+v1", "id3v1", "apev2", "id3v2.4+apev2+v1", "none"]


def prepare():
    stamp = os.path.join(data, "recipe")
    if os.path.exists(stamp) and open(stamp).read() == RECIPE:
        return
    shutil.rmtree(data, ignore_errors=True)
    os.makedirs(data)
    # A few lengths of 128 kbit/s audio, 58 to 70 s: 0.9 to 1.1 MB a file.
    clips = []
    for seconds in (58, 61, 64, 67, 70):
        clip = os.path.join(data, "clip-%d.mp3" % seconds)
        encode_noise(clip, seconds, 128)
        clips.append(clip)
    for folder, count in ((source, FILES), (few_source, FEW), (one_source, 1)):
        os.makedirs(folder)
        for index in range(count):
            path = os.path.join(folder, "Episode %03d.mp3" % (index + 1))
            shutil.copyfile(clips[index % len(clips)], path)
            old_tag(KINDS[index % len(KINDS)], path, index)
    # The clips back to back, starting from a different one in each file. lame
    # writes no Xing frame (-t), so the joins are plain frame boundaries.
    audio = []
    for clip in clips:
        with open(clip, "rb") as f:
            audio.append(f.read())
    os.makedirs(long_source)
    for index in range(LONG):
        path = os.path.join(long_source, "Episode %02d.mp3" % (index + 1))
        with open(path, "wb") as f:
            for part in range(LONG_CLIPS + index % len(clips)):
                f.write(audio[(index + part) % len(clips)])
        old_tag(KINDS[index % len(KINDS)], path, index)
    # The song, alone in its folder, with an ID3v2.4 tag, a cover and ID3v1.
    os.makedirs(song_source)
    song = os.path.join(song_source, "Song.mp3")
    encode_noise(song, SONG_SECONDS, SONG_BITRATE)
    old_tag("id3v2.4+v1", song, 0)
    # A small cover, as a show usually has.
    os.makedirs(os.path.dirname(cover))
    subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=s=600x600:d=1", "-frames:v", "1",
                    "-q:v", "4", cover], check=True)
    show = {"id": "8C3F2B9E-1D47-4A6B-9E0C-5B7A2D4F6E81", "kind": "podcast", "name": SHOW, "title": "",
            "titleFromFileName": True, "artist": ARTIST, "albumArtist": "", "album": ALBUM, "genre": GENRE,
            "year": YEAR, "autoYear": False, "language": "eng", "publisher": "", "copyright": "",
            "comment": COMMENT, "description": "", "category": "Technology", "keywords": "", "feedURL": "",
            "podcastFlag": True, "composer": "", "coverFile": "cover.jpg", "writeID3v1": True, "notes": ""}
    with open(os.path.join(library, "shows.json"), "w") as f:
        json.dump([show], f, indent=2)
    shutil.copytree(library, library_no_undo)
    with open(os.path.join(library_no_undo, "Undo"), "w") as f:
        f.write("not a folder: this library keeps no undo journal\n")
    for clip in clips:
        os.remove(clip)
    with open(stamp, "w") as f:
        f.write(RECIPE)


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
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
               QT_QPA_PLATFORM="offscreen")
    # Diagnostic runs only: every flush to disk made a no-op, to show the share of
    # the time that goes to durability, which the in-place tools don't pay for.
    no_flush = dict(env, LD_PRELOAD=os.path.join(build, "bench", "libpelamo_noflush.so"))
    return {
        "verified copy": lambda folder, files: ([bench, "copy", folder], env),
        "Pelamo --tag": lambda folder, files: ([pelamo, "--tag", "--show", SHOW, "--library", library, folder], env),
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


def check_pelamo(output, files):
    """Pelamo must have tagged every file: one "OK" line each, the title from
    the file name and the show's cover, as an independent reader sees them."""
    with open(output) as f:
        lines = f.read().splitlines()
    ok = [line for line in lines if line.startswith("OK")]
    if len(ok) != len(files):
        raise RuntimeError("Pelamo tagged %d of %d files:\n%s" % (len(ok), len(files), "\n".join(lines[:5])))
    tags = id3.ID3(files[-1])
    with open(cover, "rb") as f:
        if tags["TIT2"].text[0] != os.path.splitext(os.path.basename(files[-1]))[0] or \
                tags.getall("APIC")[0].data != f.read():
            raise RuntimeError("Pelamo's tag of %s is not the show's" % files[-1])


# Each workload: its label, its folder and how many files it holds.
WORKLOADS = {
    "folder": ("%d files of about 1 MB" % FILES, source, FILES),
    "few": ("the first %d of them" % FEW, few_source, FEW),
    "one": ("the first of them", one_source, 1),
    "long": ("%d files of about 60 MB" % LONG, long_source, LONG),
    "song": ("one song", song_source, 1),
}


def run(workload, tool):
    work = os.path.join(data, "work")
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(WORKLOADS[workload][1], work)
    # The copy's dirty pages go to disk now, not during the timed run.
    os.sync()
    files = sorted(os.path.join(work, name) for name in os.listdir(work))
    if tool == "Pelamo, attributes":
        for path in files:
            os.setxattr(path, "user.xdg.origin.url", b"https://example.com/feed/episode.mp3")
            os.setxattr(path, "user.comment", b"keep")
        subprocess.run(["setfacl", "-m", "u:nobody:r"] + files, check=True)
        os.sync()
    command, env = TOOLS[tool](work, files)
    output = os.path.join(data, "output.txt")
    with open(output, "w") as out:
        seconds, peak = measure(command, env=env, stdout=out)
    if tool.startswith("Pelamo"):
        check_pelamo(output, files)
    return seconds, peak


prepare()
TOOLS = tools()
if not MID3V2:
    del TOOLS["mid3v2"]
    print("note: mid3v2 is not on PATH; its rows and its target are skipped")
LONG_TOOLS = [tool for tool in ("verified copy", "Pelamo --tag", "mutagen in place", "mid3v2") if tool in TOOLS]
RUNS = [("folder", tool) for tool in TOOLS] + [
    ("few", "Pelamo --tag"), ("few", "verified copy"), ("one", "Pelamo --tag")] + [
    ("long", tool) for tool in LONG_TOOLS] + [("song", "verified copy"), ("song", "Pelamo --tag")]
results = {key: [] for key in RUNS}
loads = [os.getloadavg()[0]]


def sizes(workload):
    folder = WORKLOADS[workload][1]
    return [os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder)]


print("machine: %s, %d cores; %d rounds, tools in turn, with every flush to disk" %
      (os.uname().machine, os.cpu_count(), rounds))
for workload in ("folder", "long", "song"):
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


DIAGNOSTIC = ("copy, no fsync", "Pelamo, no fsync", "Pelamo, attributes")


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

song_ratio = wall("Pelamo --tag", "song") / wall("verified copy", "song")
print("  %s (%.1f MB):" % (WORKLOADS["song"][0], sum(sizes("song")) / 1e6))
print("    Pelamo / verified copy: %.2fx (target <= 0.85x): %s" % (song_ratio, verdict(song_ratio <= 0.85)))

# The memory target takes the highest peak of all rounds, not the median.
largest_long = max(sizes("long")) / 1024 / 1024
long_peak = max(peak for _, peak in results[("long", "Pelamo --tag")]) / 1024
memory_limit = 2 * largest_long + 30
long_time = wall("Pelamo --tag", "long")
print("  %s:" % WORKLOADS["long"][0])
print("    Pelamo's peak memory: %.1f MB, highest of %d rounds (target <= 2 x largest file %.1f MB + 30 MB = %.1f MB):"
      " %s" % (long_peak, rounds, largest_long, memory_limit, verdict(long_peak <= memory_limit)))
print("    Pelamo / verified copy: %.2fx (no target)" % (long_time / wall("verified copy", "long")))
if "mid3v2" in TOOLS:
    print("    Pelamo / mid3v2: %.2fx (no target)" % (long_time / wall("mid3v2", "long")))
print("    Pelamo %.3f s, mutagen in place %.3f s: %.2fx (no target: mutagen rewrites only the tag where it fits"
      " and moves the audio in place where it doesn't, without a read-back or fsync)"
      % (long_time, wall("mutagen in place", "long"), long_time / wall("mutagen in place", "long")))

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
