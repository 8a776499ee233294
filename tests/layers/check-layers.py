#!/usr/bin/env python3
"""Fails on an include in src/ that points up or sideways: each layer includes
only its own folder and the layers below it, by their names ("id3/ID3.h"). An
include that climbs out of its folder ("../ui/Theme.h") hides where it points
and fails too, as does a folder of src/ that is no known layer.

  check-layers.py SRC_FOLDER
"""
import pathlib
import re
import sys

# Each layer and the layers right below it, which come before it here.
BELOW = {"id3": [], "shows": ["id3"], "library": ["shows"], "cli": ["library"], "ui": ["library"],
         "screenshots": ["ui"], "app": ["screenshots", "cli"]}
ALLOWED = {}  # what each layer may include: itself and everything below it
for layer, below in BELOW.items():
    ALLOWED[layer] = {layer}.union(*(ALLOWED[lower] for lower in below))
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')

src = pathlib.Path(sys.argv[1])
problems = []
for folder in sorted(path for path in src.iterdir() if path.is_dir()):
    layer = folder.name
    if layer not in ALLOWED:
        problems.append(f"{folder}: a folder that is no known layer; give it its place in {__file__}")
        continue
    for source in sorted(path for path in folder.rglob("*") if path.suffix in (".h", ".cpp")):
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            parts = match.group(1).split("/") if match else []
            where = f"{source.relative_to(src.parent)}:{number}: {line.strip()}"
            if ".." in parts:
                problems.append(where + " climbs out of its folder")
            elif len(parts) > 1 and parts[0] in ALLOWED and parts[0] not in ALLOWED[layer]:
                direction = "up" if layer in ALLOWED[parts[0]] else "sideways"
                problems.append(f"{where} points {direction}: {layer} may include "
                                + ", ".join(sorted(ALLOWED[layer])))

print("\n".join(problems + [f"{len(problems)} include{'' if len(problems) == 1 else 's'} against the layers"]))
sys.exit(1 if problems else 0)
