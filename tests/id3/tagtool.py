#!/usr/bin/env python3
"""tagtool.py tag KIND FILE puts an old tag on FILE; tagtool.py read FILE prints its tags as JSON."""
import hashlib
import json
import struct
import sys

from mutagen import apev2, id3

PNG = bytes.fromhex("89504e470d0a1a0a") + b"old cover"

OLD_FRAMES = [
    id3.TIT2(encoding=3, text="Old title"),
    id3.TPE1(encoding=1, text="Old artist"),
    id3.COMM(encoding=1, lang="deu", desc="", text="Old comment"),
    id3.APIC(encoding=0, mime="image/png", type=3, desc="", data=PNG),
    id3.TXXX(encoding=1, desc="old", text="custom"),
]


def save_id3(path, version):
    tags = id3.ID3()
    for frame in OLD_FRAMES:
        tags.add(frame)
    tags.save(path, v2_version=version, v1=0, padding=lambda info: 500)


def v22_tag():
    # mutagen reads ID3v2.2 but no longer writes it; build one by hand.
    def frame(frame_id, text):
        body = b"\x00" + text.encode("latin-1")
        return frame_id + struct.pack(">I", len(body))[1:] + body
    frames = frame(b"TT2", "Old v2.2 title") + frame(b"TP1", "Old v2.2 artist") + b"\x00" * 64
    size = bytes((len(frames) >> shift) & 0x7F for shift in (21, 14, 7, 0))
    return b"ID3\x02\x00\x00" + size + frames


def tag(kind, path):
    if kind in ("v23", "v24", "two-v2", "ape+v1"):
        save_id3(path, 4 if kind in ("v24", "two-v2") else 3)
    if kind == "two-v2":
        with open(path, "rb") as f:
            rest = f.read()
        with open(path, "wb") as f:
            f.write(v22_tag() + rest)
    if kind == "ape+v1":
        ape = apev2.APEv2()
        ape["Title"] = "Old APE title"
        ape.save(path)
        # Saving the APE tag drops the ID3v1 tag; put it back behind the APE tag.
        id3.ID3(path).save(path, v2_version=3, v1=2)


def describe(frame):
    fid = frame.FrameID
    if fid == "APIC":
        return [fid, "%s|%d|%s|%s" % (frame.mime, frame.type, frame.desc, hashlib.sha256(frame.data).hexdigest())]
    if fid == "COMM":
        return [fid, "%s|%s|%s|%d" % (frame.lang, frame.desc, "\n".join(frame.text), frame.encoding)]
    if fid == "WFED":
        return [fid, frame.url]
    if fid == "PCST":
        return [fid, str(frame.value)]
    return [fid, "%s|%d" % ("\n".join(str(t) for t in frame.text), frame.encoding)]


def read(path):
    out = {"version": None, "frames": [], "ape": False, "v1": False}
    try:
        tags = id3.ID3(path, translate=False, load_v1=False)
        out["version"] = ".".join(str(part) for part in tags.version)
        out["frames"] = [describe(frame) for frame in tags.values()]
    except id3.ID3NoHeaderError:
        pass
    try:
        apev2.APEv2(path)
        out["ape"] = True
    except apev2.APENoHeaderError:
        pass
    with open(path, "rb") as f:
        data = f.read()
    out["v1"] = len(data) >= 128 and data[-128:-125] == b"TAG"
    print(json.dumps(out))


if __name__ == "__main__":
    if sys.argv[1] == "tag":
        tag(sys.argv[2], sys.argv[3])
    else:
        read(sys.argv[2])
