#!/usr/bin/env python3
"""Times one `pelamo --tag` run over a folder of 200 MP3 files of about 1 MB
with assorted old tags, beside a bare verified copy of the same files and the
same folder retagged by mutagen, eyeD3, id3v2 and kid3-cli. Every tool gets a
fresh copy of the folder each round (not timed) and the tools take turns round
by round, so a noisy machine slows them alike. Reports the median whole-process
wall time and peak memory of each, and Pelamo's time on 1, 50 and 200 files to
show that a batch scales linearly and holds one file at a time.

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
SHOW = "Bench Show"
# Bumped whenever the folder's recipe changes, so a stale cache is rebuilt.
RECIPE = "1"

source = os.path.join(data, "source-%d" % FILES)
few_source = os.path.join(data, "source-%d" % FEW)
one_source = os.path.join(data, "source-1")
library = os.path.join(data, "library")
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
        "copy, no fsync": lambda folder, files: ([bench, "copy", folder], no_flush),
        "Pelamo, no fsync": lambda folder, files: ([pelamo, "--tag", "--show", SHOW, "--library", library, folder],
                                                   no_flush),
        # One Python process over all files: the in-place baseline, which writes
        # only the tag where it fits and neither reads back nor flushes.
        "mutagen in place": lambda folder, files: ([sys.executable, "-c", MUTAGEN_BATCH, cover] + files, env),
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


def run(tool, source_folder):
    work = os.path.join(data, "work")
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(source_folder, work)
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
RUNS = [(tool, source, FILES) for tool in TOOLS] + [
    ("Pelamo --tag", few_source, FEW), ("verified copy", few_source, FEW), ("Pelamo --tag", one_source, 1)]
results = {(tool, count): [] for tool, _, count in RUNS}
loads = [os.getloadavg()[0]]
megabytes = sum(os.path.getsize(os.path.join(source, name)) for name in os.listdir(source)) / 1e6
print("machine: %s, %d cores; %d files, %.0f MB, in %s; %d rounds, tools in turn"
      % (os.uname().machine, os.cpu_count(), FILES, megabytes, source, rounds))
# One untimed warm-up of each, so every tool starts from a warm page cache.
for tool, source_folder, count in RUNS:
    run(tool, source_folder)
for round_index in range(rounds):
    turn = RUNS[round_index % len(RUNS):] + RUNS[:round_index % len(RUNS)]
    for tool, source_folder, count in turn:
        results[(tool, count)].append(run(tool, source_folder))
    loads.append(os.getloadavg()[0])
    print("  round %d of %d done, load average %.2f" % (round_index + 1, rounds, loads[-1]), flush=True)


def wall(tool, count=FILES):
    return statistics.median(seconds for seconds, _ in results[(tool, count)])


def peak_mb(tool, count=FILES):
    return statistics.median(peak for _, peak in results[(tool, count)]) / 1024


pelamo_time = wall("Pelamo --tag")
DIAGNOSTIC = ("copy, no fsync", "Pelamo, no fsync", "Pelamo, attributes")
print("\n%-18s %5s %10s %12s %13s %11s %14s" % ("tool", "files", "wall s", "ms per file", "min..max s",
                                                 "peak MB", "Pelamo/tool"))
for tool, _, count in RUNS:
    times = [seconds for seconds, _ in results[(tool, count)]]
    compared = count == FILES and tool not in DIAGNOSTIC
    print("%-18s %5d %10.3f %12.2f %6.2f..%-6.2f %11.1f %14s"
          % (tool, count, wall(tool, count), 1000 * wall(tool, count) / count, min(times), max(times),
             peak_mb(tool, count), "%.2fx" % (pelamo_time / wall(tool)) if compared else ""))
print("load average (1 min) at start and after each round: %s" % " ".join("%.2f" % load for load in loads))


def verdict(met):
    return "met" if met else "MISSED"


copy_ratio = pelamo_time / wall("verified copy")
print("\ntargets")
print("  Pelamo / verified copy: %.2fx (target <= 1.30x): %s" % (copy_ratio, verdict(copy_ratio <= 1.3)))
for tool in ("kid3-cli", "eyeD3", "id3v2"):
    print("  Pelamo / %s: %.2fx (target < 1x): %s" % (tool, pelamo_time / wall(tool), verdict(pelamo_time < wall(tool))))
print("  Pelamo / mutagen in place: %.2fx (no target: mutagen rewrites only the tag where it fits, without a"
      " read-back or fsync)" % (pelamo_time / wall("mutagen in place")))

flushing = 1 - wall("Pelamo, no fsync") / pelamo_time
print("  Pelamo on files with two extended attributes and an ACL / Pelamo on plain files: %.2fx"
      % (wall("Pelamo, attributes") / pelamo_time))

print("\nwhere Pelamo's time goes: %.0f%% of it is waiting for fsync (and the renames queued behind it); "
      "without any fsync Pelamo takes %.2fx the verified copy without fsync, %.2fx id3v2, %.2fx eyeD3, "
      "%.2fx kid3-cli" % (100 * flushing, wall("Pelamo, no fsync") / wall("copy, no fsync"),
                          wall("Pelamo, no fsync") / wall("id3v2"), wall("Pelamo, no fsync") / wall("eyeD3"),
                          wall("Pelamo, no fsync") / wall("kid3-cli")))

# A batch costs a fixed start (the 1-file run) plus the same time per file: the
# cost per file beyond the start must not grow from 50 files to 200.
one, few, full = wall("Pelamo --tag", 1), wall("Pelamo --tag", FEW), pelamo_time
per_few, per_full = (few - one) / (FEW - 1), (full - one) / (FILES - 1)
print("\nlinear scaling: Pelamo starts in %.1f ms, then takes %.2f ms per file over %d files and %.2f ms per file "
      "over %d: %.2fx (1.00 is linear)" % (1000 * one, 1000 * per_few, FEW, 1000 * per_full, FILES, per_full / per_few))
print("  verified copy: %.2f ms per file over %d files, %.2f ms over %d: %.2fx"
      % (1000 * wall("verified copy", FEW) / FEW, FEW, 1000 * wall("verified copy") / FILES, FILES,
         (wall("verified copy") / FILES) / (wall("verified copy", FEW) / FEW)))
largest = max(os.path.getsize(os.path.join(source, name)) for name in os.listdir(source)) / 1024 / 1024
print("one file at a time: Pelamo's peak memory %.1f MB for 1 file, %.1f MB for %d, %.1f MB for %d "
      "(largest file %.1f MB; holding every file would add %.0f MB)"
      % (peak_mb("Pelamo --tag", 1), peak_mb("Pelamo --tag", FEW), FEW, peak_mb("Pelamo --tag"), FILES, largest,
         megabytes))
shutil.rmtree(os.path.join(data, "work"), ignore_errors=True)
