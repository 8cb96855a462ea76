#!/usr/bin/env python3
"""The core's folders form layers: each includes only the folders below it.

A folder that includes one at its own level or above would tie two layers
into one; this check names every such include. Usage: check_layers.py SRC_DIR
"""
import pathlib
import re
import sys

# Lower numbers sit lower. Folders of one level may not include each other.
LAYERS = {
    "foundation": 0,
    "uErrLog": 1,
    "logo": 1,
    "DStrParser": 1,
    "uCONNECTOR": 2,
    "u_FP_BASE": 3,
    "printer_model": 4,
}
# The Qt layers on top may use the whole core; the core never uses them.
TOP = 5

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z_]+)/')


def level(folder):
    return LAYERS.get(folder, TOP)


def main():
    src = pathlib.Path(sys.argv[1])
    wrong = []
    checked = 0
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".inc", ".def"):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in LAYERS:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) == folder:
                continue
            checked += 1
            target = match.group(1)
            if level(target) >= level(folder):
                wrong.append(f"{path.relative_to(src)}:{number}: {folder} (level {level(folder)}) "
                             f"includes {target} (level {level(target)})")
    for line in wrong:
        print(line)
    print(f"{checked - len(wrong)} passed, {len(wrong)} failed")
    return 1 if wrong or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
