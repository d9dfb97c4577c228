#!/usr/bin/python3
"""Builds the benchmark's fonts from Debian's fonts-noto-cjk, and the patches between them.

Usage: make_bench_fonts.py OUTDIR

For each size (the Japanese face of NotoSansCJK-Regular.ttc whole, about 16 MB, and subsets
of about 4 MB and 1 MB) it writes OUTDIR/<size>/:
  old.otf   the installed revision: tables outside the program's accepted list dropped,
            'head' fontRevision 8.0, the Macintosh full name and both License Description
            records set, as a revisable font of this program has them
  new.otf   the next revision: a few hundred outlines and their widths changed
  new.pa    the patch from old to new, made by the program's patch maker
  patches.manifest(.minisig)  its manifest entry under the name the benchmark gives the patch,
            signed with the test-only key, so that the revision checks what a vendor's would
  new.xd3   the same change for xdelta3 (xdelta3 -e -9), and new.bsdiff for bspatch
Revising old.otf with new.pa gives new.otf byte for byte: both carry the same License
Description strings. A size whose files exist already is left as it is.
"""

import os
import subprocess
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tools"))
import make_patch  # noqa: E402

SOURCE = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
ACCEPTED = {"BASE", "CFF ", "GPOS", "GSUB", "OS/2", "VORG", "cmap", "head", "hhea", "hmtx",
            "maxp", "name", "post", "vhea", "vmtx", "EBLC", "EBDT"}
FULL_NAME = "VelmoraKakuGothicStdN-W9"
LICENSE = "Licensed to Kana Sato, serial 7731-0042"
PATCH_NAME = "Velmora角ゴ StdN W9.pa"  # as bench_revision.py installs it
TEST_KEY = os.path.join(ROOT, "tests", "keys", "test-only-signing.key")
# Glyphs kept for the smaller sizes (the whole face has 65535).
SIZES = {"16mb": None, "4mb": 15000, "1mb": 3000}
CHANGED_GLYPHS = 300


def installed_revision(font):
    for tag in list(font.keys()):
        if tag != "GlyphOrder" and tag not in ACCEPTED:
            del font[tag]
    font["head"].fontRevision = 8.0
    name = font["name"]
    name.setName(FULL_NAME, 4, 1, 0, 0)
    name.setName(LICENSE, 13, 1, 0, 0)
    name.setName(LICENSE, 13, 3, 1, 0x409)


def subsetted(font, glyphs):
    options = subset.Options()
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.name_legacy = True
    options.layout_features = ["*"]
    options.notdef_outline = True
    options.glyph_names = True
    options.drop_tables = []
    subsetter = subset.Subsetter(options)
    subsetter.populate(glyphs=font.getGlyphOrder()[:glyphs])
    subsetter.subset(font)


def next_revision(font):
    """Moves the first point of a few hundred outlines and widens those glyphs."""
    top = font["CFF "].cff.topDictIndex[0]
    charstrings = top.CharStrings
    hmtx = font["hmtx"]
    changed = 0
    for glyph in font.getGlyphOrder()[1:]:
        if changed == CHANGED_GLYPHS:
            break
        charstring = charstrings[glyph]
        charstring.decompile()
        program = charstring.program
        # The first moveto, when it stands in the glyph's own program before any subroutine.
        for i, token in enumerate(program):
            if token in ("callsubr", "callgsubr"):
                break
            if token == "rmoveto" and i >= 2 and isinstance(program[i - 2], int):
                program[i - 2] += 7
                charstring.setProgram(program)
                advance, lsb = hmtx[glyph]
                hmtx[glyph] = (advance + 4, lsb + 7)
                changed += 1
                break
    font["head"].fontRevision = 8.001
    return changed


def build(outdir, size, glyphs):
    folder = os.path.join(outdir, size)
    paths = {k: os.path.join(folder, k)
             for k in ("old.otf", "new.otf", "new.pa", "new.xd3", "new.bsdiff", "patches.manifest.minisig")}
    if all(os.path.exists(p) for p in paths.values()):
        return
    os.makedirs(folder, exist_ok=True)
    old = TTFont(SOURCE, fontNumber=0)
    if glyphs:
        subsetted(old, glyphs)
    installed_revision(old)
    old.save(paths["old.otf"])
    new = TTFont(paths["old.otf"])
    changed = next_revision(new)
    new.save(paths["new.otf"])
    with open(paths["old.otf"], "rb") as f:
        old_bytes = f.read()
    with open(paths["new.otf"], "rb") as f:
        new_bytes = f.read()
    patch = make_patch.make_patch(old_bytes, new_bytes)
    with open(paths["new.pa"], "wb") as f:
        f.write(patch)
    manifest = os.path.join(folder, "patches.manifest")
    if os.path.exists(manifest):
        os.unlink(manifest)
    make_patch.update_manifest(manifest, make_patch.manifest_entry(PATCH_NAME, patch, old_bytes, new_bytes))
    subprocess.run(["minisign", "-S", "-s", TEST_KEY, "-m", manifest], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["xdelta3", "-e", "-9", "-f", "-s", paths["old.otf"], paths["new.otf"], paths["new.xd3"]], check=True)
    subprocess.run(["bsdiff", paths["old.otf"], paths["new.otf"], paths["new.bsdiff"]], check=True)
    print(f"{size}: {len(old_bytes)} bytes, {changed} outlines changed, patch {os.path.getsize(paths['new.pa'])} bytes")


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 64
    for size, glyphs in SIZES.items():
        build(sys.argv[1], size, glyphs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
