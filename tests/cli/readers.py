#!/usr/bin/env python3
"""readers.py READER FILE prints what one independent reader finds in FILE's tags, as JSON.

READER is mutagen, eyed3, kid3 (kid3-cli, on TagLib), ffprobe or exiftool. Every reader
gives the same keys: title, artist, album, year, date, genre, description, feed,
chapters ([title, start ms, end ms], by start) and cover ({bytes, sha256, pixels}).
A key the reader doesn't show is null.
"""
import base64
import hashlib
import json
import os
import subprocess
import sys
import tempfile


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


def empty():
    return dict.fromkeys(("title", "artist", "album", "year", "date", "genre", "description", "feed",
                          "chapters", "cover"))


def cover(data=None, pixels=None, size=None):
    return {"bytes": len(data) if data is not None else size,
            "sha256": hashlib.sha256(data).hexdigest() if data is not None else None, "pixels": pixels}


def dated(out, text):
    text = str(text) if text is not None else ""
    out["year"] = text[:4] or None
    out["date"] = text if len(text) >= 10 else None


def mutagen(path):
    from mutagen import id3
    tags = id3.ID3(path)
    text = lambda fid: str(tags[fid]) if fid in tags else None
    out = dict(empty(), title=text("TIT2"), artist=text("TPE1"), album=text("TALB"), genre=text("TCON"),
               description=text("TDES"))
    dated(out, text("TDRC"))
    feeds = tags.getall("WFED")
    out["feed"] = feeds[0].url if feeds else None
    out["chapters"] = sorted([str(c.sub_frames["TIT2"]), c.start_time, c.end_time] for c in tags.getall("CHAP"))
    pictures = tags.getall("APIC")
    out["cover"] = cover(pictures[0].data) if pictures else None
    return out


def eyed3(path):
    import eyed3 as reader
    tag = reader.load(path).tag
    frame_text = lambda fid: tag.frame_set[fid][0].text if fid in tag.frame_set else None
    out = dict(empty(), title=tag.title, artist=tag.artist, album=tag.album,
               genre=tag.genre.name if tag.genre else None, description=frame_text(b"TDES"),
               feed=frame_text(b"WFED"))
    dated(out, tag.getBestDate())
    out["chapters"] = sorted([c.title, c.times.start, c.times.end] for c in tag.chapters)
    out["cover"] = cover(tag.images[0].image_data) if tag.images else None
    return out


def kid3(path):
    frames = json.loads(run("kid3-cli", "-c", '{"method":"get","params":["all",2]}', path))
    frames = frames["result"]["taggedFile"]["tag2"]["frames"]
    value = lambda name: next((f["value"] for f in frames if f["name"] == name), None)
    out = dict(empty(), title=value("Title"), artist=value("Artist"), album=value("Album"),
               genre=value("Genre"), description=value("Podcast Description"), feed=value("Podcast Feed"))
    dates = [f["value"] for f in frames if f["name"] == "Date"]
    dated(out, max(dates, key=len) if dates else None)
    # kid3-cli gives a chapter's title, not its times.
    count = sum(1 for f in frames if f["name"] == "Chapter")
    titles = [run("kid3-cli", "-c", "get 'Chapter[%d].Text' 2" % i, path).decode().strip() for i in range(count)]
    out["chapters"] = sorted([title, None, None] for title in titles)
    with tempfile.TemporaryDirectory() as folder:
        picture = os.path.join(folder, "cover")
        run("kid3-cli", "-c", "get picture:'%s'" % picture, path)
        if os.path.exists(picture):
            with open(picture, "rb") as f:
                out["cover"] = cover(f.read())
    return out


def ffprobe(path):
    probe = json.loads(run("ffprobe", "-v", "error", "-show_format", "-show_chapters", "-show_streams",
                           "-show_entries", "packet=size,stream_index", "-of", "json", path))
    tags = probe["format"].get("tags", {})
    out = dict(empty(), title=tags.get("title"), artist=tags.get("artist"), album=tags.get("album"),
               genre=tags.get("genre"), description=tags.get("TDES"))
    dated(out, tags.get("date"))
    out["chapters"] = sorted([c["tags"]["title"], c["start"], c["end"]] for c in probe["chapters"])
    # The cover is a stream of one picture; its one packet is the image's bytes.
    for stream in probe["streams"]:
        if stream.get("disposition", {}).get("attached_pic"):
            sizes = [int(p["size"]) for p in probe["packets"] if p["stream_index"] == stream["index"]]
            out["cover"] = cover(pixels="%dx%d" % (stream["width"], stream["height"]), size=sizes[0])
    return out


def exiftool(path):
    tags = json.loads(run("exiftool", "-j", "-G1", "-b", path))[0]
    value = lambda name: tags.get("ID3v2_3:" + name)
    out = dict(empty(), title=value("Title"), artist=value("Artist"), album=value("Album"),
               genre=value("Genre"), description=value("PodcastDescription"), feed=value("PodcastURL"))
    out["year"] = str(value("Year")) if value("Year") is not None else None
    picture = value("Picture")
    if picture:
        out["cover"] = cover(base64.b64decode(picture.split(":", 1)[1]))
    return out


if __name__ == "__main__":
    print(json.dumps({"mutagen": mutagen, "eyed3": eyed3, "kid3": kid3, "ffprobe": ffprobe,
                      "exiftool": exiftool}[sys.argv[1]](sys.argv[2])))
