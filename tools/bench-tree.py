#!/usr/bin/env python3
"""Folder trees for tools/bench: make one, put its hidden bits back, count them.

  bench-tree.py make  ROOT FOLDERS FILES [STORE]  a new tree; prints its counts as JSON
  bench-tree.py reset ROOT                        every entry back to the bits it was made with
  bench-tree.py count ROOT                        how many entries now carry 0x2, 0x6, 0x4, nothing

The tree: FOLDERS folders below ROOT, each with up to ten subfolders (folder i
sits in folder (i - 1) // 10, 0 being ROOT), and FILES empty files in every
folder, ROOT included. Counting entries in the order they are made, every
tenth one is hidden and every fiftieth hidden + system, so a tenth of the
entries are hidden and a fifth of those are system too.

STORE is where the bits go: "samba" (the default) is the extended attribute
user.DOSATTRIB with the text "0x2" or "0x6", as Wine and Samba's text form
keep them; "ntfs" is ntfs-3g's system.ntfs_attrib_be, the entry's whole
4-byte word (big-endian) with the bits added. On NTFS the files get a few
bytes: ntfs-3g shows an empty file with the system bit as a FIFO.
The list of marked entries, with the value each was given, is kept beside
the tree (ROOT.marks, its first line naming the store) for reset.
"""
import json
import os
import sys

ATTRS = {"samba": "user.DOSATTRIB", "ntfs": "system.ntfs_attrib_be"}


def marks_file(root):
    return root.rstrip("/") + ".marks"


def encode(store, value):
    """The attribute's bytes for a marks value ("0x2" text, or an NTFS word)."""
    if store == "ntfs":
        return int(value, 16).to_bytes(4, "big")
    return value.encode()


def word_of(store, path):
    """The DOS bits the entry carries now; 0 where Samba's store has no value."""
    try:
        raw = os.getxattr(path, ATTRS[store], follow_symlinks=False)
    except OSError:
        return 0
    if store == "ntfs":
        return int.from_bytes(raw, "big")
    return int(raw.decode().strip('\0"'), 16)


def make(root, folders, files, store="samba"):
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
            with open(path, "w") as f:
                if store == "ntfs":
                    f.write("x")
            made_one(path)
    with open(marks_file(root), "w") as out:
        out.write(f"# store {store}\n")
        for path, bits in marks:
            value = bits
            if store == "ntfs":
                value = "0x%08x" % (word_of(store, path) | int(bits, 16))
            os.setxattr(path, ATTRS[store], encode(store, value), follow_symlinks=False)
            out.write(f"{value}\t{path}\n")

    hidden = sum(1 for _, b in marks if b == "0x2")
    system = [p for p, b in marks if b == "0x6"]
    return {
        "folders": folders,
        "files_per_folder": files,
        "entries": made,
        "hidden": hidden,
        "hidden_system": len(system),
        "matches": hidden,
        "skip_lines": len(system),  # the start folder's own entries get theirs too
        "path_chars": round(sum(len(p) for p, _ in marks) / max(len(marks), 1), 1),
    }


def read_marks(root):
    """The tree's store, and each marked entry with its value."""
    with open(marks_file(root)) as marks:
        lines = marks.read().splitlines()
    store = "samba"
    if lines and lines[0].startswith("# store "):
        store = lines.pop(0)[len("# store "):]
    return store, [tuple(reversed(line.split("\t", 1))) for line in lines]


def reset(root):
    store, marks = read_marks(root)
    for path, value in marks:
        os.setxattr(path, ATTRS[store], encode(store, value), follow_symlinks=False)


def count(root):
    store, marks = read_marks(root)
    counts = {"0x2": 0, "0x4": 0, "0x6": 0, "0x0": 0}
    for path, _ in marks:
        counts["0x%x" % (word_of(store, path) & 6)] += 1
    return counts


def main():
    if len(sys.argv) in (5, 6) and sys.argv[1] == "make" and sys.argv[5:] in ([], ["samba"], ["ntfs"]):
        print(json.dumps(make(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), *sys.argv[5:])))
    elif len(sys.argv) == 3 and sys.argv[1] == "reset":
        reset(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "count":
        print(json.dumps(count(sys.argv[2])))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
