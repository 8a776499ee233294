#!/usr/bin/env python3
"""Independent tagging and reading for the engine's real-file tests, on mutagen.

  tagtool.py tag KIND FILE   puts an old tag of KIND on FILE
  tagtool.py read FILE       prints what mutagen finds in FILE as JSON
"""
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


def save_id3(path, version, v1):
    tags = id3.ID3()
    for frame in OLD_FRAMES:
        tags.add(frame)
    tags.save(path, v2_version=version, v1=v1, padding=lambda info: 500)


def v22_tag():
    # mutagen reads ID3v2.2 but no longer writes it; build one by hand.
    def frame(frame_id, text):
        body = b"\x00" + text.encode("latin-1")
        return frame_id + struct.pack(">I", len(body))[1:] + body
    frames = frame(b"TT2", "Old v2.2 title") + frame(b"TP1", "Old v2.2 artist") + b"\x00" * 64
    size = bytes((len(frames) >> shift) & 0x7F for shift in (21, 14, 7, 0))
    return b"ID3\x02\x00\x00" + size + frames


def prepend(path, data):
    with open(path, "rb") as f:
        rest = f.read()
    with open(path, "wb") as f:
        f.write(data + rest)


def tag(kind, path):
    if kind in ("v23", "v24", "v23+v1", "two-v2", "ape+v1"):
        save_id3(path, 4 if kind in ("v24", "two-v2") else 3, 2 if kind.endswith("v1") else 0)
    if kind in ("v22", "two-v2"):
        prepend(path, v22_tag())
    if kind in ("ape", "ape+v1"):
        ape = apev2.APEv2()
        ape["Title"] = "Old APE title"
        ape.save(path)
    if kind == "ape+v1":
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


def frame_order(data):
    # Walks the ID3v2.3 frames by their headers, in file order.
    if data[:3] != b"ID3":
        return []
    end = 10 + sum((data[6 + i] & 0x7F) << (7 * (3 - i)) for i in range(4))
    order, at = [], 10
    while at + 10 <= end and data[at] != 0:
        order.append(data[at:at + 4].decode("latin-1"))
        at += 10 + struct.unpack(">I", data[at + 4:at + 8])[0]
    return order


def read(path):
    out = {"version": None, "frames": [], "order": [], "ape": False, "v1": False}
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
    out["order"] = frame_order(data)
    print(json.dumps(out))


if __name__ == "__main__":
    if sys.argv[1] == "tag":
        tag(sys.argv[2], sys.argv[3])
    else:
        read(sys.argv[2])
