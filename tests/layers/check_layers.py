#!/usr/bin/env python3
"""Fails when a unit includes a layer above its own, or when a Qt-free layer includes Qt.

The layers, lowest first: numerics, canvas (the drawing interface, Qt-free, so that the
model can draw), codes, model, analysis, app (the Qt-free application layer), qt (the Qt
bindings), and on top the desktop program (shell) and the command line (cli) and the
Python module (python), which do not include each other. Tests, tools and benchmarks may
include anything.
Usage: check_layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

LAYERS = {"numerics": 0, "canvas": 1, "codes": 2, "model": 3, "analysis": 4, "app": 5,
          "qt": 6, "shell": 7, "cli": 7, "python": 7}
QT_FREE_BELOW = 6
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path):
    return LAYERS.get(path.split("/", 1)[0])


def main(root):
    root = pathlib.Path(root)
    faults = []
    for file in sorted(root.glob("*/*")):
        if file.suffix not in (".h", ".cpp"):
            continue
        name = file.relative_to(root).as_posix()
        own = layer_of(name)
        if own is None:
            continue
        for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, target = m.groups()
            if kind == "<":
                if own < QT_FREE_BELOW and re.match(r"Q[A-Za-z]", target):
                    faults.append(f"{name}:{number}: a Qt-free unit includes <{target}>")
                continue
            other = layer_of(target)
            if other is None:
                continue
            top = name.split("/", 1)[0]
            if other > own or (own == other == 7 and target.split("/", 1)[0] != top):
                faults.append(f"{name}:{number}: includes {target}, a layer above its own")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} layering faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
