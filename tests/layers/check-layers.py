#!/usr/bin/env python3
"""Fails on an include in src/ that points up or sideways: each layer includes
only its own folder and the layers below it.

  check-layers.py SRC_FOLDER

The project's own headers are included by their layer's name ("id3/ID3.h"); an
include that climbs out of its folder ("../ui/Theme.h") hides where it points
and fails too, as does a folder of src/ that is no known layer.
"""
import pathlib
import re
import sys

# Each layer and what it may include: itself and the layers below it.
ALLOWED = {
    "id3": {"id3"},
    "shows": {"shows", "id3"},
    "library": {"library", "shows", "id3"},
    "cli": {"cli", "library", "shows", "id3"},
    "ui": {"ui", "library", "shows", "id3"},
    "screenshots": {"screenshots", "ui", "library", "shows", "id3"},
    "app": {"app", "screenshots", "ui", "cli", "library", "shows", "id3"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')

src = pathlib.Path(sys.argv[1])
problems = []
for folder in sorted(path for path in src.iterdir() if path.is_dir()):
    layer = folder.name
    if layer not in ALLOWED:
        problems.append("%s: a folder that is no known layer; give it its place in %s" % (folder, __file__))
        continue
    for source in sorted(folder.rglob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            included = match.group(1)
            target = included.split("/")[0] if "/" in included else None
            where = "%s:%d: %s" % (source.relative_to(src.parent), number, line.strip())
            if ".." in included.split("/"):
                problems.append(where + " climbs out of its folder")
            elif target in ALLOWED and target not in ALLOWED[layer]:
                direction = "sideways" if layer not in ALLOWED[target] else "up"
                problems.append("%s points %s: %s may include %s" % (where, direction, layer,
                                                                      ", ".join(sorted(ALLOWED[layer]))))

for problem in problems:
    print(problem)
print("%d include%s against the layers" % (len(problems), "" if len(problems) == 1 else "s"))
sys.exit(1 if problems else 0)
