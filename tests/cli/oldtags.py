#!/usr/bin/env python3
"""Old tags as tools write them, and tags as mutagen reads them back.

oldtags.py KIND VERSION FILE [ID=TEXT...] gives FILE an ID3v2.VERSION tag (3 or 4) of a KIND:
    chapters  a title, three chapters, a top-level ordered table of contents, and all of a recording
    lyrics, codes, loudness, more, all  the frames of a recording: one group of them, or all
    tagger    an old title, artist, comment, cover and custom text, and 500 bytes of padding;
              tagger+v2.2 has an ID3v2.2 tag in front, tagger+ape APE and ID3v1 tags behind the audio
    text      the text frames given
oldtags.py read FILE prints as JSON the tag's version, its frames in file order with their encodings,
    the recording's, its chapters and tables of contents, a few texts, and whether APE and ID3v1 tags
    follow the audio
"""
import hashlib
import json
import sys
from pathlib import Path

from mutagen import apev2, id3

PNG = bytes.fromhex("89504e470d0a1a0a")
# An ID3v2.2 tag, which mutagen reads but no longer writes: a title, an artist and padding.
V22 = (b"ID3\x02\x00\x00\x00\x00\x00\x6b" + b"TT2\x00\x00\x0f\x00Old v2.2 title"
       + b"TP1\x00\x00\x10\x00Old v2.2 artist" + bytes(64))
# Start and end in milliseconds, the title, and whether the chapter has a link and an image.
CHAPTERS = [
    ("ch0", 0, 300, "Cold open \u2014 \u00e9t\u00e9", False),
    ("ch1", 300, 650, "Interview \u6771\u4eac", True),
    ("ch2", 650, 1000, "Outro", False),
]


def chapters():
    frames = [id3.TIT2(encoding=3, text="Episode 7"),
              id3.CTOC(element_id="toc", flags=id3.CTOCFlags.TOP_LEVEL | id3.CTOCFlags.ORDERED,
                       child_element_ids=[c[0] for c in CHAPTERS],
                       sub_frames=[id3.TIT2(encoding=3, text="Contents")])]
    for element_id, start, end, title, extras in CHAPTERS:
        sub_frames = [id3.TIT2(encoding=3, text=title)]
        if extras:
            sub_frames += [id3.WXXX(encoding=3, desc="link", url="https://example.com/guest"),
                           id3.APIC(encoding=3, mime="image/png", type=3, desc="guest", data=PNG + b"chapter art")]
        # Byte offsets left unused, as most tools write them; ch1 gives one to be moved.
        frames.append(id3.CHAP(element_id=element_id, start_time=start, end_time=end,
                               start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF, sub_frames=sub_frames))
    return frames + GROUPS["all"]()


# What a tagger, a ripper, Picard and a loudness scanner leave in a file, in groups.
GROUPS = {
    "tagger": lambda: [
        id3.TIT2(encoding=3, text="Old title"),
        id3.TPE1(encoding=1, text="Old artist"),
        id3.COMM(encoding=1, lang="deu", desc="", text="Old comment"),
        id3.APIC(encoding=0, mime="image/png", type=3, desc="", data=PNG + b"old cover"),
        id3.TXXX(encoding=1, desc="old", text="custom"),
    ],
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
    "chapters": chapters,
}
GROUPS["all"] = lambda: [frame for name in ("lyrics", "codes", "loudness", "more") for frame in GROUPS[name]()]
KEPT = ("USLT", "SYLT", "TSRC", "UFID", "TXXX", "RVA2", "TBPM", "TKEY", "POPM", "PCNT", "TPOS")


def tag(kind, version, path, pairs):
    group, _, extra = kind.partition("+")
    tags = id3.ID3()
    texts = [getattr(id3, name)(encoding=3, text=value) for name, value in (pair.split("=", 1) for pair in pairs)]
    for frame in texts if group == "text" else GROUPS[group]():
        tags.add(frame)
    tags.save(path, v2_version=version, v1=0, padding=(lambda info: 500) if group == "tagger" else None)
    if group == "chapters":
        # ch1 starts 1000 bytes into the audio, which begins right after the tag just written.
        tags["CHAP:ch1"].start_offset = audio_start(path) + 1000
        tags.save(path, v2_version=version, v1=0)
    if extra == "v2.2":
        Path(path).write_bytes(V22 + Path(path).read_bytes())
    if extra == "ape":
        ape = apev2.APEv2()
        ape["Title"] = "Old APE title"
        ape.save(path)
        # Saving the APE tag drops the ID3v1 tag; put it back behind the APE tag.
        id3.ID3(path).save(path, v2_version=3, v1=2)


def audio_start(path):
    return 10 + sum(b << shift for b, shift in zip(Path(path).read_bytes()[6:10], (21, 14, 7, 0)))


# The fields of each frame in the order described; any other frame has its text.
FIELDS = {"APIC": ("mime", "type", "desc", "data"), "WXXX": ("desc", "url"), "WFED": ("url",),
          "PCST": ("value",), "COMM": ("lang", "desc", "text"), "USLT": ("lang", "desc", "text"),
          "SYLT": ("lang", "desc", "text"), "UFID": ("owner", "data"), "RVA2": ("desc", "channel", "gain", "peak"),
          "POPM": ("email", "rating", "count"), "PCNT": ("count",), "TXXX": ("desc", "text")}


def value(field):
    if isinstance(field, bytes):
        return hashlib.sha256(field).hexdigest()
    if isinstance(field, float):
        return str(round(field, 4))
    if isinstance(field, (list, tuple)):
        return "\n".join(value(item) for item in field)
    return str(int(field)) if isinstance(field, int) else str(field)


def describe(frame):
    """[ID, its fields joined by |], as mutagen reads them; data by its SHA-256."""
    fields = FIELDS.get(frame.FrameID, ("text",))
    return [frame.FrameID, "|".join(value(getattr(frame, name, "")) for name in fields)]


def read(path):
    tags = id3.ID3(path, translate=False, load_v1=False)
    text = lambda fid: str(tags[fid]) if fid in tags else None
    data = Path(path).read_bytes()
    out = {"version": "%d.%d.%d" % tags.version, "audioStart": audio_start(path),
           "frames": [describe(f) + ([int(f.encoding)] if hasattr(f, "encoding") else []) for f in tags.values()],
           "recording": sorted(describe(frame) for frame in tags.values() if frame.FrameID in KEPT),
           "track": text("TRCK"), "disc": text("TPOS"), "title": text("TIT2"), "artist": text("TPE1"),
           "ape": b"APETAGEX" in data, "v1": data[-128:-125] == b"TAG"}
    out["chapters"] = [{"id": c.element_id, "start": c.start_time, "end": c.end_time, "startOffset": c.start_offset,
                        "endOffset": c.end_offset, "frames": [describe(f) for f in c.sub_frames.values()]}
                       for c in tags.getall("CHAP")]
    out["tocs"] = [{"id": t.element_id, "flags": int(t.flags), "children": list(t.child_element_ids),
                    "frames": [describe(f) for f in t.sub_frames.values()]} for t in tags.getall("CTOC")]
    print(json.dumps(out, sort_keys=True))


if __name__ == "__main__":
    if sys.argv[1] == "read":
        read(sys.argv[2])
    else:
        tag(sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:])
