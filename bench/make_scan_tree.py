#!/usr/bin/python3
"""Builds a deterministic desktop-like tree for the scan benchmark.

Usage: make_scan_tree.py ROOT FIXTURE_DIR

About 300,000 folders and 1.5 million files, laid out as a Linux desktop with the program's
sample layout on top: users' home folders with documents and projects deep below them,
system trees, application bundles and frameworks (never entered), a backup area (never
entered), links to folders (never followed) and to files, and a few dozen fonts of the
revisable families at many depths, some beyond the depth limits. FIXTURE_DIR is a fixture
set (tests/fixtures/build_fixture_set.sh): its old fonts are installed, its patches go to
the "host" folder beside /Applications/FontReviser/font-reviser. ROOT/expected lists the
fonts a search with the program's rules must find. Nothing is done when ROOT/complete exists.
"""

import os
import random
import sys

FACES = ["Kestruneゴシック StdN W3", "Velmora角ゴ StdN W9", "Velmora丸ゴ StdN W6",
         "Velmora行書 StdN W8", "Velmora角ゴ Std W9", "Velmora丸ゴ Std W6"]
WORDS = ["Documents", "Projects", "Photos", "Music", "Archive", "Work", "Notes", "Drafts",
         "src", "lib", "share", "data", "cache", "build", "assets", "old", "misc", "2019",
         "2020", "2021", "2022", "2023", "reports", "letters", "invoices", "designs"]


class Tree:
    def __init__(self, root, rng):
        self.root, self.rng = root, rng
        self.folders = self.files = 0

    def folder(self, view):
        os.makedirs(self.root + view, exist_ok=True)
        self.folders += 1

    def file(self, view, data=b""):
        with open(self.root + view, "wb") as f:
            f.write(data)
        self.files += 1

    def fill(self, view, depth, fanout, files):
        """A folder with `files` plain files and `fanout` subfolders, `depth` levels down."""
        self.folder(view)
        for i in range(files):
            self.file(f"{view}/file{i:03d}.{self.rng.choice(['txt', 'pdf', 'jpg', 'c', 'odt'])}")
        if depth == 0:
            return
        for i in range(fanout):
            self.fill(f"{view}/{self.rng.choice(WORDS)}{i}", depth - 1, fanout, files)


def parts(view):
    return view.count("/") + 1


def listed(folder):
    """Whether the program's walk lists this folder: its depth limit, not its skip words."""
    return parts(folder) <= (7 if "home" in folder else 5)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 64
    root, fixtures = sys.argv[1].rstrip("/"), sys.argv[2]
    if os.path.exists(os.path.join(root, "complete")):
        return 0
    rng = random.Random(20261208)
    tree = Tree(root, rng)
    old = {face: open(os.path.join(fixtures, "fonts", "old", face + ".otf"), "rb").read() for face in FACES}

    # The program's place and its patches.
    tree.folder("/Applications/FontReviser/host")
    tree.file("/Applications/FontReviser/font-reviser")
    for face in FACES:
        tree.file(f"/Applications/FontReviser/host/{face}.pa",
                  open(os.path.join(fixtures, "patches", face + ".pa"), "rb").read())

    # Homes: 60 users, each about 2,300 folders and 14,000 files, down to the depth limit and
    # one level beyond it.
    for u in range(60):
        home = f"/home/user{u:02d}"
        for top in ("Documents", "Projects", "Pictures"):
            tree.fill(f"{home}/{top}", 4, 5, 6)
    # System trees: about 78,000 folders.
    for top in ("usr/lib", "usr/include", "opt", "var/lib", "srv", "Library"):
        for i in range(50):
            tree.fill(f"/{top}/pkg{i:02d}", 3, 6, 4)
    # Application bundles and frameworks, never entered: about 40,000 folders.
    for i in range(400):
        tree.fill(f"/Applications/Tool{i:03d}.app/Contents", 2, 9, 5)
    for i in range(150):
        tree.fill(f"/Library/Frameworks/Kit{i:03d}.framework/Versions", 2, 9, 5)
    # A backup area, never entered.
    for i in range(60):
        tree.fill(f"/Backups.backupdb/mac/snap{i:02d}", 2, 9, 5)
    # Links: to folders (never followed) and to plain files.
    for u in range(60):
        os.symlink("../../usr/lib", f"{root}/home/user{u:02d}/system")
        os.symlink("Documents/file000.txt", f"{root}/home/user{u:02d}/latest.txt")

    # Fonts at many depths, some beyond the limits, some inside skipped folders.
    expected = []
    places = []
    for u in range(0, 60, 3):
        places += [f"/home/user{u:02d}", f"/home/user{u:02d}/Documents",
                   f"/home/user{u:02d}/Documents/Projects/Fonts/A/B", f"/home/user{u:02d}/Documents/x/y/z/w/v"]
    places += ["/Library/Fonts", "/opt/fonts", "/srv/a/b/c", "/srv/a/b/c/d", "/Applications/Tool001.app/Fonts",
               "/Library/Frameworks/Kit002.framework/Fonts", "/Backups.backupdb/Fonts"]
    for i, place in enumerate(places):
        face = FACES[i % len(FACES)]
        tree.folder(place)
        view = f"{place}/{face}.otf"
        tree.file(view, old[face])
        skipped = any(w in place for w in (".app", "Contents", "framework", "Backups.backupdb"))
        if listed(place) and not skipped:
            expected.append(view)
    with open(os.path.join(root, "expected"), "w", encoding="utf-8") as f:
        f.write("\n".join(sorted(expected)) + "\n")
    open(os.path.join(root, "complete"), "w").close()
    print(f"{tree.folders} folders, {tree.files} files, {len(expected)} fonts to find")
    return 0


if __name__ == "__main__":
    sys.exit(main())
