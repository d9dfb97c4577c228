#!/usr/bin/python3
"""Writes the fuzz targets' seed corpora from a fixture set: the real fonts and patches.

Usage: make_seeds.py FIXTURE_DIR OUTDIR (one folder per target)
"""

import os
import struct
import sys


def joined(a, b):
    return struct.pack(">I", len(a)) + a + b


def main():
    fixtures, out = sys.argv[1], sys.argv[2]
    faces = sorted(f[:-4] for f in os.listdir(os.path.join(fixtures, "fonts", "old")))
    read = lambda *p: open(os.path.join(fixtures, *p), "rb").read()
    seeds = {t: [] for t in ("patch", "table-model", "identity", "license", "revision", "manifest")}
    manifest = read("patches", "patches.manifest")
    seeds["manifest"].append(joined(manifest, read("patches", "patches.manifest.minisig")))
    entries = manifest.split(b"\npatch ")[1:]
    for face in faces:
        old, new = read("fonts", "old", face + ".otf"), read("fonts", "new", face + ".otf")
        patch = read("patches", face + ".pa")
        seeds["patch"].append(patch)
        seeds["table-model"] += [old, new]
        seeds["identity"] += [old, new]
        seeds["license"].append(joined(old, new))
        # The face's entry alone, and the patch without one.
        entry = next(e for e in entries if e.startswith(face.encode() + b".pa\n"))
        seeds["revision"].append(joined(old, joined(patch, b"font-reviser patch manifest 1\npatch " + entry)))
        seeds["revision"].append(joined(old, joined(patch, b"")))
    for target, items in seeds.items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for i, item in enumerate(items):
            with open(os.path.join(folder, f"seed{i:02d}"), "wb") as f:
                f.write(item)
    return 0


if __name__ == "__main__":
    sys.exit(main())
