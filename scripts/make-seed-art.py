#!/usr/bin/env python3
"""Draws the cover art of the first-run library (resources/seed).

Pure standard library for the PNG; the JPEG is converted from a PNG with ffmpeg.
Run from the repository root: python3 scripts/make-seed-art.py
"""
import math
import os
import struct
import subprocess
import tempfile
import zlib

SIZE = 1400  # the least podcast directories take


def png(path, pixel):
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # filter: none
        for x in range(SIZE):
            rows.extend(pixel(x / (SIZE - 1), y / (SIZE - 1)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        f.write(chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def dispatch(x, y):
    """Teal to deep blue, with a microphone-like capsule and rings of sound."""
    base = mix((18, 140, 150), (24, 40, 110), (x + y) / 2)
    cx, cy = 0.5, 0.45
    # capsule
    if abs(x - cx) < 0.09 and 0.25 < y < 0.55:
        return (245, 240, 225)
    if (x - cx) ** 2 + (y - 0.25) ** 2 < 0.09 ** 2 or (x - cx) ** 2 + (y - 0.55) ** 2 < 0.09 ** 2:
        return (245, 240, 225)
    # stand
    if abs(x - cx) < 0.015 and 0.64 < y < 0.78 or abs(y - 0.78) < 0.015 and abs(x - cx) < 0.12:
        return (245, 240, 225)
    r = math.hypot(x - cx, y - cy)
    for ring in (0.24, 0.31, 0.38):
        if abs(r - ring) < 0.012 and y < 0.62:
            return mix(base, (245, 240, 225), 0.6)
    return base


def night_drive(x, y):
    """Dusk sky over a road vanishing into the horizon, with a low sun."""
    horizon = 0.62
    if y < horizon:
        sky = mix((40, 20, 80), (240, 110, 90), y / horizon)
        if (x - 0.5) ** 2 + (y - horizon) ** 2 < 0.18 ** 2:
            stripe = int((horizon - y) * 60) % 3 == 0 and y > horizon - 0.12
            return sky if stripe else (255, 200, 90)
        return sky
    ground = mix((30, 15, 50), (10, 5, 20), (y - horizon) / (1 - horizon))
    half = 0.02 + (y - horizon) * 1.1
    if abs(x - 0.5) < half:
        if abs(x - 0.5) < half * 0.05 and int((y - horizon) * 40) % 2 == 0:
            return (250, 230, 120)
        return (55, 50, 70)
    grid = (int((x - 0.5) / ((y - horizon) + 0.02) * 4) % 2 == 0)
    return mix(ground, (200, 60, 160), 0.25) if grid and int(y * 80) % 6 == 0 else ground


def main():
    out = os.path.join("resources", "seed")
    png(os.path.join(out, "weekly-dispatch.png"), dispatch)
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "night-drive.png")
        png(source, night_drive)
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", source, "-q:v", "3",
                        os.path.join(out, "night-drive.jpg")], check=True)


if __name__ == "__main__":
    main()
