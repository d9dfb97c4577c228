#!/usr/bin/python3
"""Tests of the fixture fonts, the patch maker and the reference applier.

Run: python3 tests/tools/test_fixtures.py  (or through ctest). Needs python3-fonttools and
ots-sanitize; fonts are built into a temporary folder.
"""

import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "fixtures"))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import apply_patch_reference as ref  # noqa: E402
import make_fonts  # noqa: E402
import make_patch  # noqa: E402
from fontTools.ttLib import TTFont  # noqa: E402

ACCEPTED_TAGS = {b"BASE", b"CFF ", b"GPOS", b"GSUB", b"OS/2", b"VORG", b"cmap", b"head",
                 b"hhea", b"hmtx", b"maxp", b"name", b"post", b"vhea", b"vmtx", b"EBLC",
                 b"EBDT"}
OTS = shutil.which("ots-sanitize")


def directory(font):
    """[(tag, checksum, offset, length)] read straight from the bytes."""
    (n,) = struct.unpack_from(">H", font, 4)
    return [struct.unpack_from(">4sIII", font, 12 + 16 * i) for i in range(n)]


def table(font, tag):
    for t, _s, off, length in directory(font):
        if t == tag:
            return off, length
    raise KeyError(tag)


def name_string(font, key):
    """Raw bytes of the first name record with (platform, encoding, language, nameID)."""
    off, _ = table(font, b"name")
    for pid, eid, lid, nid, pos, length in ref.name_records(font, off):
        if (pid, eid, lid, nid) == key:
            return font[pos:pos + length]
    return None


def whole_sum(font):
    return ref.checksum(font)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class FixtureCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.paths = make_fonts.make_fonts(cls.tmp.name)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def assertSanitizes(self, path):
        self.assertIsNotNone(OTS, "ots-sanitize is not installed")
        run = subprocess.run([OTS, path, os.devnull], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, f"{path}: {run.stdout}{run.stderr}")


class FixtureFontTest(FixtureCase):
    def test_every_font_is_valid(self):
        for old, new in self.paths.values():
            for path in (old, new):
                with self.subTest(path=path):
                    self.assertSanitizes(path)
                    font = TTFont(path, checkChecksums=2)
                    for tag in font.keys():
                        font[tag]
                    self.assertEqual(whole_sum(read(path)), ref.WHOLE_FONT_CONSTANT)

    def test_identity_of_the_installed_and_newer_revisions(self):
        for name, (old_path, new_path) in self.paths.items():
            with self.subTest(name=name):
                self.assertEqual(os.path.basename(old_path), name + ".otf")
                old, new = read(old_path), read(new_path)
                self.assertEqual(old[:4], b"OTTO")
                head_off, _ = table(old, b"head")
                expected = b"\0\x07\0\0" if " Std " in name else b"\0\x08\0\0"
                self.assertEqual(old[head_off + 4:head_off + 8], expected)
                new_head, _ = table(new, b"head")
                self.assertGreater(new[new_head + 4:new_head + 8], expected)
                for font in (old, new):
                    self.assertEqual(name_string(font, (1, 0, 0, 4)), name.encode("utf-8"))

    def test_both_revisions_have_the_same_accepted_tags(self):
        for name, (old_path, new_path) in self.paths.items():
            with self.subTest(name=name):
                old_tags = [t[0] for t in directory(read(old_path))]
                new_tags = [t[0] for t in directory(read(new_path))]
                self.assertEqual(sorted(old_tags), sorted(new_tags))
                self.assertLessEqual(set(old_tags), ACCEPTED_TAGS)

    def test_license_descriptions(self):
        placeholder = make_fonts.PLACEHOLDER_LICENSE
        serial = make_fonts.DEFAULT_SERIAL_MAC
        self.assertNotEqual(len(placeholder), len(serial))
        for old_path, new_path in self.paths.values():
            old, new = read(old_path), read(new_path)
            self.assertEqual(name_string(old, (1, 0, 0, 13)), serial.encode("ascii"))
            self.assertEqual(name_string(old, (3, 1, 0x409, 13)),
                             make_fonts.DEFAULT_SERIAL_WIN.encode("utf-16-be"))
            self.assertEqual(name_string(new, (1, 0, 0, 13)), placeholder.encode("ascii"))
            self.assertEqual(name_string(new, (3, 1, 0x409, 13)),
                             placeholder.encode("utf-16-be"))

    def test_newer_revision_changes_outlines_widths_and_version(self):
        old_path, new_path = self.paths["Velmora角ゴ StdN W9"]
        old, new = TTFont(old_path), TTFont(new_path)
        old_cs, new_cs = old.getGlyphSet(), new.getGlyphSet()
        changed = [g for g in old.getGlyphOrder()
                   if old["CFF "].cff[0].CharStrings[g].bytecode
                   != new["CFF "].cff[0].CharStrings[g].bytecode]
        self.assertIn("uni53E3", changed)
        self.assertIn("uni4E00", set(old.getGlyphOrder()) - set(changed))
        self.assertNotEqual(old_cs["A"].width, new_cs["A"].width)
        self.assertNotEqual(old["name"].getName(5, 3, 1, 0x409).toUnicode(),
                            new["name"].getName(5, 3, 1, 0x409).toUnicode())

    def test_extents_agree_with_fonttools_recalculation(self):
        # The builder computes bounding boxes itself (fontTools would redraw every glyph of
        # a big font); they must be what fontTools computes.
        saved = make_fonts.BIG_GLYPHS
        make_fonts.BIG_GLYPHS = 60
        try:
            for big in (False, True):
                with self.subTest(big=big):
                    font = TTFont(io.BytesIO(make_fonts.build_font("Velmora丸ゴ StdN W6",
                                                                   True, big=big)))
                    top = font["CFF "].cff[0]
                    stored = (list(top.FontBBox), vars(font["hhea"]).copy(),
                              vars(font["vhea"]).copy())
                    head = font["head"]
                    self.assertEqual([head.xMin, head.yMin, head.xMax, head.yMax],
                                     stored[0])
                    top.recalcFontBBox()
                    font["hhea"].recalc(font)
                    font["vhea"].recalc(font)
                    self.assertEqual(stored, (list(top.FontBBox), vars(font["hhea"]),
                                              vars(font["vhea"])))
                    if big:
                        self.assertSanitizes(self.write_temp(font))
        finally:
            make_fonts.BIG_GLYPHS = saved

    def write_temp(self, font):
        path = os.path.join(self.tmp.name, "big.otf")
        font.save(path)
        return path

    def test_output_is_deterministic(self):
        name = make_fonts.FONT_NAMES[0]
        self.assertEqual(make_fonts.build_font(name, True), make_fonts.build_font(name, True))
        self.assertEqual(make_fonts.build_font(name, False), read(self.paths[name][0]))


class PatchTest(FixtureCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.patches = {}
        for name, (old, new) in cls.paths.items():
            cls.patches[name] = make_patch.make_patch(read(old), read(new))

    def test_header_and_records_describe_the_new_font(self):
        for name, (old_path, new_path) in self.paths.items():
            with self.subTest(name=name):
                new, patch = read(new_path), self.patches[name]
                self.assertLess(len(patch), len(new))
                header, records = ref.parse_patch(patch)
                self.assertEqual(patch[4:36], name.encode("utf-8").ljust(32, b"\0"))
                head_off, _ = table(new, b"head")
                self.assertEqual(header["font_version"],
                                 struct.unpack_from(">I", new, head_off + 4)[0])
                self.assertEqual(header["font_length"], len(new))
                new_dir = directory(new)
                self.assertEqual(header["tagNum"], len(new_dir))
                file_order = sorted(range(len(new_dir)), key=lambda i: new_dir[i][2])
                for slot, rec in enumerate(records):
                    tag, _sum, off, length = new_dir[slot]
                    self.assertEqual((rec["tag"], rec["tablePos"], rec["up_dataOffset"],
                                      rec["up_datalength"]), (tag, slot, off, length))
                    self.assertEqual(rec["dataPos"], file_order.index(slot))

    def test_only_changed_tables_carry_blocks(self):
        old, new = (read(p) for p in self.paths["Velmora丸ゴ Std W6"])
        _, records = ref.parse_patch(self.patches["Velmora丸ゴ Std W6"])
        for rec in records:
            o, ol = table(old, rec["tag"])
            n, nl = table(new, rec["tag"])
            same = old[o:o + ol] == new[n:n + nl]
            self.assertEqual(rec["sabunOffset"] == 0, same, rec["tag"])
        blocks = {r["tag"] for r in records if r["sabunOffset"]}
        self.assertLessEqual({b"CFF ", b"head", b"hmtx", b"name"}, blocks)
        self.assertIn(b"cmap", {r["tag"] for r in records} - blocks)
        cff = next(r for r in records if r["tag"] == b"CFF ")
        self.assertTrue(cff["olds"], "the CFF table should reuse the installed bytes")

    def assertRebuilt(self, rebuilt, new, mac_serial, win_serial):
        """rebuilt equals new except for the License Description strings, which hold the
        installed ones cut or zero-padded, and the checksums, which are valid."""
        self.assertEqual(len(rebuilt), len(new))
        name_off, _ = table(new, b"name")
        masked = set()
        for pid, _e, _l, nid, pos, length in ref.name_records(new, name_off):
            if nid == 13:
                masked.update(range(pos, pos + length))
                source = mac_serial if pid == 1 else win_serial
                self.assertEqual(rebuilt[pos:pos + length],
                                 source[:length].ljust(length, b"\0"))
        name_slot = [t[0] for t in directory(new)].index(b"name")
        masked.update(range(12 + 16 * name_slot + 4, 12 + 16 * name_slot + 8))
        head_off, _ = table(new, b"head")
        masked.update(range(head_off + 8, head_off + 12))
        diffs = [i for i in range(len(new)) if rebuilt[i] != new[i] and i not in masked]
        self.assertEqual(diffs, [])
        self.assertEqual(whole_sum(rebuilt), ref.WHOLE_FONT_CONSTANT)

    def test_reference_rebuild_reproduces_the_new_font(self):
        mac = make_fonts.DEFAULT_SERIAL_MAC.encode("ascii")
        win = make_fonts.DEFAULT_SERIAL_WIN.encode("utf-16-be")
        for name, (old_path, new_path) in self.paths.items():
            with self.subTest(name=name):
                rebuilt = ref.apply_patch(read(old_path), self.patches[name])
                self.assertRebuilt(rebuilt, read(new_path), mac, win)
                out = os.path.join(self.tmp.name, "rebuilt.otf")
                with open(out, "wb") as f:
                    f.write(rebuilt)
                self.assertSanitizes(out)
                TTFont(out, checkChecksums=2)["name"]

    def test_installed_strings_are_padded_or_cut_to_the_new_records(self):
        # A short Macintosh serial is zero-padded to the placeholder's length; a long
        # Windows serial is cut.
        mac = "S-1"
        win = "W" * 100
        self.assertLess(len(mac), len(make_fonts.PLACEHOLDER_LICENSE))
        self.assertGreater(len(win), len(make_fonts.PLACEHOLDER_LICENSE))
        name = "Velmora行書 StdN W8"
        old = make_fonts.build_font(name, False, mac, win)
        new = make_fonts.build_font(name, True)
        rebuilt = ref.apply_patch(old, make_patch.make_patch(old, new))
        self.assertRebuilt(rebuilt, new, mac.encode("ascii"), win.encode("utf-16-be"))

    def test_patch_applies_to_another_installed_copy(self):
        # Copies differ in their serials, even in length: the patch made from one copy
        # rebuilds another and keeps that copy's strings.
        name = "Kestruneゴシック StdN W3"
        serial = "License for user 12077: serial WXYZ-9876-Q"
        self.assertNotEqual(len(serial), len(make_fonts.DEFAULT_SERIAL_MAC))
        other = make_fonts.build_font(name, False, serial, serial)
        new = read(self.paths[name][1])
        rebuilt = ref.apply_patch(other, self.patches[name])
        self.assertRebuilt(rebuilt, new, serial.encode("ascii"), serial.encode("utf-16-be"))


class DiffTableTest(unittest.TestCase):
    def test_shifted_data_is_copied_and_only_changes_are_literal(self):
        rng = random.Random(7)
        old = bytes(rng.randrange(256) for _ in range(4000))
        new = old[:1000] + b"INSERTED!" + old[1000:2500] + b"\xff" + old[2501:] + b"tail"
        copies, literals = make_patch.diff_table(old, new)
        self.assertEqual(make_patch._build_table(old, len(new), copies, literals), new)
        self.assertLessEqual(sum(len(d) for _o, d in literals), 9 + 1 + 4)
        # Long zero runs are left to the zero-filled table.
        zeros = b"\x01" + bytes(100) + b"\x02"
        copies, literals = make_patch.diff_table(b"", zeros)
        self.assertEqual([(o, len(d)) for o, d in literals], [(0, 1), (101, 1)])

    def test_excluded_bytes_are_never_copied(self):
        rng = random.Random(3)
        secret = bytes(rng.randrange(256) for _ in range(64))
        old = bytes(rng.randrange(256) for _ in range(500)) + secret + bytes(
            rng.randrange(256) for _ in range(500))
        new = secret + old
        copies, literals = make_patch.diff_table(old, new, [(500, 564)])
        self.assertEqual(make_patch._build_table(old, len(new), copies, literals), new)
        for src, n, _dst in copies:
            self.assertTrue(src + n <= 500 or src >= 564, (src, n))


class CommandLineTest(FixtureCase):
    def run_make_patch(self, old, new):
        out = os.path.join(self.tmp.name, "out.pa")
        paths = []
        for i, data in enumerate((old, new)):
            paths.append(os.path.join(self.tmp.name, f"in{i}.otf"))
            with open(paths[-1], "wb") as f:
                f.write(data)
        return subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make_patch.py"),
                               *paths, out], capture_output=True, text=True), out

    def test_refuses_fonts_it_cannot_patch(self):
        old, new = (read(p) for p in self.paths["Velmora角ゴ Std W9"])
        renamed = bytearray(new)
        slot = [t[0] for t in directory(new)].index(b"VORG")
        renamed[12 + 16 * slot:16 + 16 * slot] = b"VORH"
        truetype = b"\0\1\0\0" + new[4:]
        for label, bad in (("tags", bytes(renamed)), ("outlines", truetype)):
            with self.subTest(label=label):
                run, _ = self.run_make_patch(old, bad)
                self.assertEqual(run.returncode, 2)
                self.assertIn("make_patch:", run.stderr)

    def test_scripts_write_fonts_and_patches(self):
        outdir = os.path.join(self.tmp.name, "cli")
        name = "Velmora角ゴ StdN W9"
        run = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "fixtures",
                                                           "make_fonts.py"), outdir,
                              "--only", name, "--serial-mac", "M-1", "--serial-win", "W-2"],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        old = read(os.path.join(outdir, "old", name + ".otf"))
        self.assertEqual(name_string(old, (1, 0, 0, 13)), b"M-1")
        self.assertEqual(name_string(old, (3, 1, 0x409, 13)), "W-2".encode("utf-16-be"))
        run, out = self.run_make_patch(old, read(os.path.join(outdir, "new", name + ".otf")))
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(read(out)[:4], b"SBDF")


if __name__ == "__main__":
    unittest.main()
