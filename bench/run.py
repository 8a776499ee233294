#!/usr/bin/env python3
"""Times Pelamo's rewrite on a ~5 MB song and a ~60 MB episode, beside a bare
verified copy of the same bytes and the same retag done by mutagen (mid3v2 and
its API), eyeD3 and kid3-cli. Run through scripts/bench.sh."""
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

from mutagen import id3

from benchlib import ALBUM, ARTIST, COMMENT, GENRE, TITLE, YEAR, encode_noise

build, out = sys.argv[1], sys.argv[2]
bench = os.path.join(build, "bench", "pelamo_bench")
data = os.path.join(out, "data")
os.makedirs(data, exist_ok=True)


def encode(path, seconds, bitrate, copies):
    if os.path.exists(path):
        return
    part = path + ".part.mp3"
    encode_noise(part, seconds, bitrate)
    with open(part, "rb") as f:
        audio = f.read()
    with open(path, "wb") as f:
        f.write(audio * copies)
    os.remove(part)
    # An old tag to replace: ID3v2.4 with a cover, and ID3v1.
    tags = id3.ID3()
    tags.add(id3.TIT2(encoding=3, text="Old title"))
    tags.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=os.urandom(100_000)))
    tags.save(path, v2_version=4, v1=2)


def median_time(command, source, work, rounds):
    times = []
    for _ in range(rounds):
        shutil.copyfile(source, work)
        start = time.perf_counter()
        subprocess.run(command + [work], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


MUTAGEN_API = ("import sys\nfrom mutagen import id3\np = sys.argv[1]\nt = id3.ID3()\n"
               "t.add(id3.TIT2(encoding=1, text=%r)); t.add(id3.TPE1(encoding=1, text=%r))\n"
               "t.add(id3.TALB(encoding=1, text=%r)); t.add(id3.TCON(encoding=1, text=%r))\n"
               "t.add(id3.TYER(encoding=1, text=%r)); t.add(id3.COMM(encoding=1, lang='eng', desc='', text=%r))\n"
               "id3.delete(p); t.save(p, v2_version=3, v1=2)\n") % (TITLE, ARTIST, ALBUM, GENRE, YEAR, COMMENT)

TOOLS = [
    ("Pelamo (process)", [bench, "once"]),
    ("mid3v2", ["mid3v2", "-t", TITLE, "-a", ARTIST, "-A", ALBUM, "-g", GENRE, "-y", YEAR, "-c", COMMENT]),
    ("mutagen API v2.3+v1", [sys.executable, "-c", MUTAGEN_API]),
    ("eyeD3", ["eyeD3", "--quiet", "--no-color", "--to-v2.3", "-t", TITLE, "-a", ARTIST, "-A", ALBUM, "-G", GENRE,
               "-Y", YEAR, "-c", COMMENT]),
    ("kid3-cli", ["kid3-cli", "-c", "set title '%s'" % TITLE, "-c", "set artist '%s'" % ARTIST,
                  "-c", "set album '%s'" % ALBUM, "-c", "set genre '%s'" % GENRE, "-c", "set date '%s'" % YEAR,
                  "-c", "set comment '%s'" % COMMENT, "-c", "save"]),
]


def peak_memory_kb(command):
    result = subprocess.run(["/usr/bin/time", "-v"] + command, capture_output=True, text=True, check=True)
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))


def untagged(source, path):
    # The same audio without tags: no tool can edit it in place.
    if not os.path.exists(path):
        shutil.copyfile(source, path)
        id3.ID3(path).delete(path, delete_v1=True, delete_v2=True)


encoded = [("song", 130, 320, 1, 9), ("episode", 300, 160, 10, 5)]
files = []
for name, seconds, bitrate, copies, rounds in encoded:
    tagged, bare = os.path.join(data, name + ".mp3"), os.path.join(data, name + "-untagged.mp3")
    encode(tagged, seconds, bitrate, copies)
    untagged(tagged, bare)
    files.append((name + " with an old tag (100 KB cover)", tagged, rounds))
    files.append((name + " without tags", bare, rounds))

print("machine: %s, %d cores; files in %s" % (os.uname().machine, os.cpu_count(), data))
for name, path, rounds in files:
    size = os.path.getsize(path)
    work = os.path.join(data, "work-" + os.path.basename(path))
    shutil.copyfile(path, work)
    inproc = json.loads(subprocess.run([bench, "compare", work, str(rounds)], capture_output=True, text=True,
                                       check=True).stdout)
    print("\n%s: %.1f MB, median of %d rounds" % (name, size / 1e6, rounds))
    print("  in process  Pelamo %.1f ms (fsync %.1f ms = %.0f%%)   verified copy %.1f ms (fsync %.1f ms)   "
          "ratio Pelamo/copy %.2f" % (inproc["pelamo_ms"], inproc["pelamo_flush_ms"],
                                      100 * inproc["pelamo_flush_ms"] / inproc["pelamo_ms"], inproc["copy_ms"],
                                      inproc["copy_flush_ms"], inproc["pelamo_ms"] / inproc["copy_ms"]))
    base = None
    for tool, command in TOOLS:
        seconds_taken = median_time(command, path, work, rounds)
        base = base or seconds_taken
        print("  process     %-22s %8.1f ms   %.2fx Pelamo's time" % (tool, seconds_taken * 1000, seconds_taken / base))
    shutil.copyfile(path, work)
    peak = peak_memory_kb([bench, "once", work])
    limit = 2.5 * size / 1024 + 30 * 1024
    print("  peak memory of one Pelamo rewrite: %.1f MB (%.2fx the file; limit 2.5x + 30 MB = %.1f MB)"
          % (peak / 1024, peak * 1024 / size, limit / 1024))
    os.remove(work)
