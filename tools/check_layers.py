#!/usr/bin/env python3
"""Fails when a source file includes a folder of a higher layer, or when folders include each
other in a circle. Layers, top first: app (the calculator's top); the features windows, skins,
music, splash, media and store (the store program, its window and the protocol the calculator's
link speaks, so store never reaches into app); look; engine."""
import pathlib
import re
import sys

LAYER = {"app": 3, "store": 2, "windows": 2, "skins": 2, "music": 2, "splash": 2, "media": 2, "look": 1, "engine": 0}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
problems = []
edges = {}
for path in sorted(src.rglob("*")):
    if path.suffix not in (".h", ".cpp"):
        continue
    folder = path.relative_to(src).parts[0]
    if folder not in LAYER:
        problems.append(f"{path}: folder {folder} belongs to no layer")
        continue
    for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
        to = target.split("/")[0] if "/" in target else folder
        if to not in LAYER:
            continue
        if LAYER[to] > LAYER[folder]:
            problems.append(f"{path}: includes {target}, a layer above")
        if to != folder:
            edges.setdefault(folder, set()).add(to)


def circle(start):
    stack = [(start, [start])]
    while stack:
        node, trail = stack.pop()
        for nxt in edges.get(node, ()):
            if nxt == start:
                return trail + [start]
            if nxt not in trail:
                stack.append((nxt, trail + [nxt]))
    return None


for folder in sorted(edges):
    found = circle(folder)
    if found:
        problems.append("folders include each other in a circle: " + " -> ".join(found))
        break

for problem in problems:
    print(problem)
print("layers:", ", ".join(f"{a} -> {', '.join(sorted(b))}" for a, b in sorted(edges.items())))
sys.exit(1 if problems else 0)
