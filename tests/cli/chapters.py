#!/usr/bin/env python3
"""Chapters as a podcaster's tool writes them, and as mutagen reads them back.

chapters.py write VERSION FILE   gives FILE an ID3v2.VERSION tag (3 or 4) with a title,
                                 three chapters and a top-level ordered table of contents
chapters.py read FILE            prints the file's chapters, tables of contents and track
                                 as JSON
"""
import hashlib
import json
import sys

from mutagen import id3

PNG = bytes.fromhex("89504e470d0a1a0a") + b"chapter art"
# Start and end in milliseconds, the title, and whether the chapter has a link and an image.
CHAPTERS = [
    ("ch0", 0, 300, "Cold open \u2014 \u00e9t\u00e9", False),
    ("ch1", 300, 650, "Interview \u6771\u4eac", True),
    ("ch2", 650, 1000, "Outro", False),
]


def write(version, path):
    tags = id3.ID3()
    tags.add(id3.TIT2(encoding=3, text="Episode 7"))
    tags.add(id3.CTOC(element_id="toc", flags=id3.CTOCFlags.TOP_LEVEL | id3.CTOCFlags.ORDERED,
                      child_element_ids=[c[0] for c in CHAPTERS],
                      sub_frames=[id3.TIT2(encoding=3, text="Contents")]))
    for element_id, start, end, title, extras in CHAPTERS:
        sub_frames = [id3.TIT2(encoding=3, text=title)]
        if extras:
            sub_frames.append(id3.WXXX(encoding=3, desc="link", url="https://example.com/guest"))
            sub_frames.append(id3.APIC(encoding=3, mime="image/png", type=3, desc="guest", data=PNG))
        # Byte offsets left unused, as most tools write them; ch1 gives one to be moved.
        tags.add(id3.CHAP(element_id=element_id, start_time=start, end_time=end,
                          start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF, sub_frames=sub_frames))
    tags.save(path, v2_version=version, v1=0)
    # ch1 starts 1000 bytes into the audio, which begins right after the tag just written.
    tags["CHAP:ch1"].start_offset = audio_start(path) + 1000
    tags.save(path, v2_version=version, v1=0)


def audio_start(path):
    with open(path, "rb") as f:
        header = f.read(10)
    return 10 + sum(b << shift for b, shift in zip(header[6:10], (21, 14, 7, 0)))


def describe(frame):
    out = {"id": frame.FrameID}
    if frame.FrameID == "APIC":
        out.update(mime=frame.mime, type=int(frame.type), desc=frame.desc,
                   sha256=hashlib.sha256(frame.data).hexdigest())
    elif frame.FrameID == "WXXX":
        out.update(desc=frame.desc, url=frame.url)
    elif hasattr(frame, "text"):
        out["text"] = [str(t) for t in frame.text]
    return out


def read(path):
    tags = id3.ID3(path)
    out = {"version": "%d.%d" % tags.version[:2], "chapters": [], "tocs": [], "audioStart": audio_start(path),
           "track": str(tags["TRCK"]) if "TRCK" in tags else None,
           "title": str(tags["TIT2"]) if "TIT2" in tags else None}
    for frame in tags.getall("CHAP"):
        out["chapters"].append({"id": frame.element_id, "start": frame.start_time, "end": frame.end_time,
                                "startOffset": frame.start_offset, "endOffset": frame.end_offset,
                                "frames": [describe(f) for f in frame.sub_frames.values()]})
    for frame in tags.getall("CTOC"):
        out["tocs"].append({"id": frame.element_id, "flags": int(frame.flags),
                            "children": list(frame.child_element_ids),
                            "frames": [describe(f) for f in frame.sub_frames.values()]})
    print(json.dumps(out, sort_keys=True))


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(int(sys.argv[2]), sys.argv[3])
    else:
        read(sys.argv[2])
