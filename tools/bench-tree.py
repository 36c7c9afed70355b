#!/usr/bin/env python3
"""Folder trees for tools/bench: make one, put its hidden bits back, count them.

  bench-tree.py make  ROOT FOLDERS FILES   a new tree; prints its counts as JSON
  bench-tree.py reset ROOT                 every entry back to the bits it was made with
  bench-tree.py count ROOT                 how many entries now carry 0x2, 0x6, 0x4, nothing

The tree: FOLDERS folders below ROOT, each with up to ten subfolders (folder i
sits in folder (i - 1) // 10, 0 being ROOT), and FILES empty files in every
folder, ROOT included. Counting entries in the order they are made, every
tenth one is hidden and every fiftieth hidden + system, so a tenth of the
entries are hidden and a fifth of those are system too. Wine keeps these two
bits in the extended attribute user.DOSATTRIB as the text "0x2" or "0x6".
The list of marked entries is kept beside the tree (ROOT.marks) for reset.
"""
import json
import os
import sys

ATTR = "user.DOSATTRIB"


def marks_file(root):
    return root.rstrip("/") + ".marks"


def make(root, folders, files):
    if os.path.exists(root):
        sys.exit(f"bench-tree: {root} exists already")
    os.makedirs(root)
    paths = [root]
    marks = []
    made = 0

    def made_one(path):
        nonlocal made
        if made % 10 == 0:
            marks.append((path, "0x6" if made % 50 == 0 else "0x2"))
        made += 1

    for i in range(1, folders + 1):
        path = os.path.join(paths[(i - 1) // 10], "folder%05d" % i)
        os.mkdir(path)
        paths.append(path)
        made_one(path)
    for folder in paths:
        for j in range(files):
            path = os.path.join(folder, "document-%02d.txt" % j)
            open(path, "w").close()
            made_one(path)
    with open(marks_file(root), "w") as out:
        for path, bits in marks:
            os.setxattr(path, ATTR, bits.encode())
            out.write(f"{bits}\t{path}\n")

    hidden = sum(1 for _, b in marks if b == "0x2")
    system = [p for p, b in marks if b == "0x6"]
    # The start folder's own entries are tested without a skip line.
    system_in_root = sum(1 for p in system if os.path.dirname(p) == root)
    print(json.dumps({
        "folders": folders,
        "files_per_folder": files,
        "entries": made,
        "hidden": hidden,
        "hidden_system": len(system),
        "matches": hidden,
        "skip_lines": len(system) - system_in_root,
        "path_chars": round(sum(len(p) for p, _ in marks) / max(len(marks), 1), 1),
    }))


def read_marks(root):
    with open(marks_file(root)) as marks:
        for line in marks:
            bits, path = line.rstrip("\n").split("\t", 1)
            yield path, bits


def reset(root):
    for path, bits in read_marks(root):
        os.setxattr(path, ATTR, bits.encode())


def bits_of(path):
    try:
        raw = os.getxattr(path, ATTR).decode().strip('\0"')
    except OSError:
        return 0
    return int(raw, 16) & 6


def count(root):
    counts = {"0x2": 0, "0x4": 0, "0x6": 0, "0x0": 0}
    for path, _ in read_marks(root):
        counts["0x%x" % bits_of(path)] += 1
    print(json.dumps(counts))


def main():
    if len(sys.argv) >= 5 and sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif len(sys.argv) == 3 and sys.argv[1] == "reset":
        reset(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "count":
        count(sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
