"""The folders the batch benchmarks tag, made once into BUILD_DIR/data/batch/ (the
first argument of the script that imports this), the show that tags them, and
the check that Pelamo tagged every file.
"""
import json
import os
import shutil
import subprocess
import sys

from mutagen import apev2, id3

from benchlib import ALBUM, ARTIST, COMMENT, GENRE, YEAR, encode_noise

build = os.path.abspath(sys.argv[1])
pelamo = os.path.join(build, "pelamo")
bench = os.path.join(build, "bench", "pelamo_bench")
data = os.path.join(build, "data", "batch")
FILES, FEW = 200, 50
# The long episodes: LONG files of about 60 MB, each made of 56 to 60 of the
# ~1 MB clips back to back.
LONG, LONG_CLIPS = 20, 56
# The very long files, an audiobook or a DJ mix: about 1 GB each, made of the
# clips back to back; one alone, and two in one folder.
HUGE_CLIPS = 1000
# The song: 130 s at 320 kbit/s, about 5.2 MB.
SONG_SECONDS, SONG_BITRATE = 130, 320
SHOW = "Bench Show"
# Bumped whenever the folders' recipe changes, so a stale cache is rebuilt.
RECIPE = "4"

source = os.path.join(data, "source-%d" % FILES)
few_source = os.path.join(data, "source-%d" % FEW)
one_source = os.path.join(data, "source-1")
long_source = os.path.join(data, "source-long-%d" % LONG)
song_source = os.path.join(data, "source-song")
huge_source = os.path.join(data, "source-huge")
huge_folder_source = os.path.join(data, "source-huge-2")
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
    os.makedirs(huge_source)
    os.makedirs(huge_folder_source)
    for index in range(2):
        path = os.path.join(huge_folder_source, "Mix %d.mp3" % (index + 1))
        with open(path, "wb") as f:
            for part in range(HUGE_CLIPS + index):
                f.write(audio[(index + part) % len(clips)])
        old_tag("id3v2.4+v1", path, index)
    # The one alone is the first of the two, under a second name rather than a second gigabyte.
    os.link(os.path.join(huge_folder_source, "Mix 1.mp3"), os.path.join(huge_source, "Mix.mp3"))
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
    "huge": ("one file of about 1 GB", huge_source, 1),
    "huge folder": ("2 files of about 1 GB", huge_folder_source, 2),
}



def fresh_copy(workload):
    """A new copy of the workload's folder to tag, on disk before any timing starts;
    its files, sorted."""
    work = os.path.join(data, "work")
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(WORKLOADS[workload][1], work)
    # The copy's dirty pages go to disk now, not during the timed run.
    os.sync()
    return work, sorted(os.path.join(work, name) for name in os.listdir(work))


def sizes(workload):
    folder = WORKLOADS[workload][1]
    return [os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder)]


def environment():
    """A private home for every tool, and no display."""
    return dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
                QT_QPA_PLATFORM="offscreen")
