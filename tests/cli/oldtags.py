#!/usr/bin/env python3
"""Old tags as tools write them, and tags as mutagen reads them back.

oldtags.py chapters VERSION FILE    gives FILE an ID3v2.VERSION tag (3 or 4) with a title,
                                    three chapters and a top-level ordered table of contents
oldtags.py recording GROUP VERSION FILE
                                    gives FILE an ID3v2.VERSION tag with the frames of one
                                    group (lyrics, codes, loudness, more, or all of them)
oldtags.py text VERSION FILE ID=TEXT...
                                    gives FILE an ID3v2.VERSION tag with these text frames
oldtags.py read FILE                prints the file's chapters, tables of contents, text
                                    frames and the frames of its recording as JSON
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

# What a ripper, a tagger like Picard and a loudness scanner leave in a file, in groups.
GROUPS = {
    "lyrics": lambda: [
        id3.USLT(encoding=3, lang="eng", desc="", text="First line \u00e9t\u00e9\nSecond line \u6771\u4eac"),
        id3.SYLT(encoding=3, lang="eng", format=2, type=1, desc="timed",
                 text=[("First line", 0), ("Second \u00e9t\u00e9", 1500)]),
    ],
    "codes": lambda: [
        id3.TSRC(encoding=3, text="GBAYE0000351"),
        id3.UFID(owner="http://musicbrainz.org", data=b"0383dadf-2a4e-4d10-a46a-e9e041da8eb3"),
        id3.TXXX(encoding=3, desc="MusicBrainz Album Id", text="d9fce5f6-4ac1-4b3c-9f25-9e8e2b2dd0a1"),
        id3.TXXX(encoding=3, desc="MusicBrainz Artist Id", text="b10bbbfc-cf9e-42e0-be17-e2c3e1d2600d"),
    ],
    "loudness": lambda: [
        id3.TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text="-6.48 dB"),
        id3.TXXX(encoding=3, desc="REPLAYGAIN_TRACK_PEAK", text="0.988525"),
        id3.TXXX(encoding=3, desc="REPLAYGAIN_ALBUM_GAIN", text="-7.10 dB"),
        id3.TXXX(encoding=3, desc="REPLAYGAIN_ALBUM_PEAK", text="0.999969"),
        id3.RVA2(desc="track", channel=1, gain=-6.48, peak=0.988525),
    ],
    "more": lambda: [
        id3.TBPM(encoding=3, text="128"),
        id3.TKEY(encoding=3, text="Am"),
        id3.POPM(email="rater@example.com", rating=196, count=7),
        id3.PCNT(count=42),
        id3.TPOS(encoding=3, text="1/2"),
    ],
}
KEPT = ("USLT", "SYLT", "TSRC", "UFID", "TXXX", "RVA2", "TBPM", "TKEY", "POPM", "PCNT", "TPOS")


def save(path, version, frames):
    tags = id3.ID3()
    for frame in frames:
        tags.add(frame)
    tags.save(path, v2_version=version, v1=0)
    return tags


def recording_frames(group):
    return [frame for name in (GROUPS if group == "all" else [group]) for frame in GROUPS[name]()]


def chapters(version, path):
    frames = [id3.TIT2(encoding=3, text="Episode 7"),
              id3.CTOC(element_id="toc", flags=id3.CTOCFlags.TOP_LEVEL | id3.CTOCFlags.ORDERED,
                       child_element_ids=[c[0] for c in CHAPTERS],
                       sub_frames=[id3.TIT2(encoding=3, text="Contents")])]
    for element_id, start, end, title, extras in CHAPTERS:
        sub_frames = [id3.TIT2(encoding=3, text=title)]
        if extras:
            sub_frames += [id3.WXXX(encoding=3, desc="link", url="https://example.com/guest"),
                           id3.APIC(encoding=3, mime="image/png", type=3, desc="guest", data=PNG)]
        # Byte offsets left unused, as most tools write them; ch1 gives one to be moved.
        frames.append(id3.CHAP(element_id=element_id, start_time=start, end_time=end,
                               start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF, sub_frames=sub_frames))
    tags = save(path, version, frames + recording_frames("all"))
    # ch1 starts 1000 bytes into the audio, which begins right after the tag just written.
    tags["CHAP:ch1"].start_offset = audio_start(path) + 1000
    tags.save(path, v2_version=version, v1=0)


def audio_start(path):
    with open(path, "rb") as f:
        header = f.read(10)
    return 10 + sum(b << shift for b, shift in zip(header[6:10], (21, 14, 7, 0)))


# The fields of each frame read as they are; describe() adds those that need converting.
FIELDS = {"APIC": ("mime", "desc"), "WXXX": ("desc", "url"), "USLT": ("lang", "desc", "text"),
          "SYLT": ("lang", "desc"), "UFID": ("owner",), "RVA2": ("desc", "channel"),
          "POPM": ("email", "rating", "count"), "PCNT": ("count",), "TXXX": ("desc",)}


def describe(frame):
    out = {"id": frame.FrameID, **{name: getattr(frame, name) for name in FIELDS.get(frame.FrameID, ())}}
    if frame.FrameID == "APIC":
        out.update(type=int(frame.type), sha256=hashlib.sha256(frame.data).hexdigest())
    elif frame.FrameID == "SYLT":
        out["text"] = [list(line) for line in frame.text]
    elif frame.FrameID == "UFID":
        out["data"] = frame.data.decode("latin-1")
    elif frame.FrameID == "RVA2":
        out.update(gain=round(frame.gain, 2), peak=round(frame.peak, 4))
    elif frame.FrameID != "USLT" and hasattr(frame, "text"):
        out["text"] = [str(t) for t in frame.text]
    return out


def read(path):
    tags = id3.ID3(path, translate=False)
    text = lambda fid: str(tags[fid]) if fid in tags else None
    out = {"version": "%d.%d" % tags.version[:2], "chapters": [], "tocs": [], "audioStart": audio_start(path),
           "track": text("TRCK"), "disc": text("TPOS"), "title": text("TIT2"), "artist": text("TPE1"),
           "recording": sorted((describe(frame) for frame in tags.values() if frame.FrameID in KEPT),
                               key=lambda d: json.dumps(d, sort_keys=True))}
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
    command = sys.argv[1]
    if command == "chapters":
        chapters(int(sys.argv[2]), sys.argv[3])
    elif command == "recording":
        save(sys.argv[4], int(sys.argv[3]), recording_frames(sys.argv[2]))
    elif command == "text":
        pairs = [pair.split("=", 1) for pair in sys.argv[4:]]
        save(sys.argv[3], int(sys.argv[2]), [getattr(id3, name)(encoding=3, text=value) for name, value in pairs])
    else:
        read(sys.argv[2])
