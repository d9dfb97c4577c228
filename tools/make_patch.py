#!/usr/bin/env python3
"""Makes a patch file that turns one exact revision of a CFF OpenType font into the next.

Usage:
    make_patch.py OLD.otf NEW.otf OUT [--timestamp] [--manifest FILE]

OLD is the installed revision the patch is made for, NEW the revision it produces, OUT the
patch file to write ("SBDF" format). The program pairs a patch with installed fonts by its
file name: name OUT after the installed font's file, with another extension (for
"Velmora角ゴ StdN W9.otf", "Velmora角ゴ StdN W9.pa") and put it in the "host" folder.

The header carries OLD's Macintosh full name (name ID 4, platform 1/0/0, its bytes taken as
UTF-8, at most 32 bytes), NEW's 'head' fontRevision as the version number, NEW's length and
the table count; createtime is eight zero bytes unless --timestamp asks for the current
time (big-endian seconds). Every table of NEW gets a record in NEW's directory order; a
table whose bytes equal OLD's table of the same tag has no instruction block, a changed one
gets old-copy instructions found by block matching against OLD's table plus new-data
instructions for the rest. A changed 'name' table is carried whole as new data, never copied
from OLD: installed copies differ there (each holds its own License Description strings, of
any length), and so one patch fits them all.

With --manifest FILE, the patch's entry in the manifest of its "host" folder (conventionally
"patches.manifest" beside the patches) is added, or replaces the entry of a patch of the same
name: the patch's file name, its SHA-256, and the XXH3-128 of every table of OLD and of NEW
('name' left out, 'head' with its checkSumAdjustment taken as zero). The manifest must then be
signed again: minisign -S -s KEY -m FILE.

Exits 2 with a message when the fonts can't be used: not both CFF ("OTTO"), different table
tag sets, no usable Macintosh full name, or a malformed table directory.

As a module: make_patch(old_bytes, new_bytes, createtime=bytes(8)) -> bytes, raising
PatchError.
"""

import argparse
import hashlib
import os
import struct
import sys
import time

HEADER_SIZE = 53
RECORD_SIZE = 18
MAGIC = b"SBDF"
NAME_FIELD = 32


class PatchError(Exception):
    pass


def read_directory(font, label):
    """[(tag, offset, length)] in directory order; raises PatchError on a broken directory."""
    if len(font) < 12:
        raise PatchError(f"{label}: too short for an OpenType font")
    if font[:4] != b"OTTO":
        raise PatchError(f"{label}: not an OpenType font with CFF outlines (\"OTTO\")")
    (num_tables,) = struct.unpack_from(">H", font, 4)
    if 12 + 16 * num_tables > len(font):
        raise PatchError(f"{label}: table directory runs past the end of the file")
    tables = []
    for i in range(num_tables):
        tag, _checksum, offset, length = struct.unpack_from(">4sIII", font, 12 + 16 * i)
        if offset + length > len(font):
            raise PatchError(f"{label}: table {tag!r} runs past the end of the file")
        tables.append((tag, offset, length))
    tags = [t[0] for t in tables]
    if len(set(tags)) != len(tags):
        raise PatchError(f"{label}: a table tag appears twice in the directory")
    return tables


def _name_records(name_table):
    """Yields (platformID, encodingID, languageID, nameID, start, end) of each name record,
    start/end counted from the start of the table; records outside the table are skipped."""
    if len(name_table) < 6:
        return
    count, storage = struct.unpack_from(">HH", name_table, 2)
    for k in range(count):
        at = 6 + 12 * k
        if at + 12 > len(name_table):
            return
        pid, eid, lid, nid, length, offset = struct.unpack_from(">6H", name_table, at)
        start = storage + offset
        if start + length <= len(name_table):
            yield pid, eid, lid, nid, start, start + length


def mac_full_name(font, tables):
    """The bytes of the first Macintosh Roman English full name record."""
    for tag, offset, length in tables:
        if tag == b"name":
            table = font[offset:offset + length]
            for pid, eid, lid, nid, start, end in _name_records(table):
                if (pid, eid, lid, nid) == (1, 0, 0, 4):
                    return table[start:end]
    return None


def license_ranges(name_table):
    """Byte ranges of the License Description strings (name ID 13) in a 'name' table."""
    return sorted((s, e) for _p, _e, _l, nid, s, e in _name_records(name_table)
                  if nid == 13 and e > s)


def _usable_segments(length, excluded):
    """The parts of [0, length) that lie outside every excluded range."""
    segments, at = [], 0
    for start, end in sorted(excluded):
        if start > at:
            segments.append((at, start))
        at = max(at, end)
    if at < length:
        segments.append((at, length))
    return segments


def _common_length(a, ai, b, bi, limit):
    """How many bytes a[ai:] and b[bi:] share from the start, at most limit."""
    n, step = 0, 256
    while n < limit:
        k = min(step, limit - n)
        if a[ai + n:ai + n + k] == b[bi + n:bi + n + k]:
            n += k
            step = min(step * 2, 1 << 20)
        elif k <= 16:
            while n < limit and a[ai + n] == b[bi + n]:
                n += 1
            return n
        else:
            step = k // 2
    return n


def diff_table(old, new, excluded=()):
    """Instructions that build `new` from pieces of `old` plus literal bytes:
    (copies [(src_offset, length, dst_offset)], literals [(dst_offset, bytes)]).
    Bytes of `old` inside an excluded range are never copied."""
    block = 16 if len(old) <= 256 * 1024 else 32
    stride = 1 if len(old) <= 256 * 1024 else block
    segments = _usable_segments(len(old), excluded)
    index = {}
    segment_of = {}
    for seg in segments:
        s, e = seg
        for off in range(s, e - block + 1, stride):
            key = old[off:off + block]
            if key not in index:
                index[key] = off
                segment_of[off] = seg

    copies, literal_ranges = [], []
    p = lit_start = 0
    while p + block <= len(new):
        o = index.get(new[p:p + block])
        if o is None:
            p += 1
            continue
        seg_start, seg_end = segment_of[o]
        back = 0
        while p - back > lit_start and o - back > seg_start and \
                new[p - back - 1] == old[o - back - 1]:
            back += 1
        forward = block + _common_length(new, p + block, old, o + block,
                                         min(len(new) - p - block, seg_end - o - block))
        if lit_start < p - back:
            literal_ranges.append((lit_start, p - back))
        copies.append((o - back, back + forward, p - back))
        p = lit_start = p + forward
    if lit_start < len(new):
        literal_ranges.append((lit_start, len(new)))

    literals = []
    for start, end in literal_ranges:
        literals += _split_zero_runs(new, start, end)
    return copies, literals


def _split_zero_runs(data, start, end):
    """Literal pieces of data[start:end], leaving out zero runs longer than an instruction
    header (the new table starts as zero bytes)."""
    pieces, at, i = [], start, start
    while i < end:
        if data[i] == 0:
            j = i
            while j < end and data[j] == 0:
                j += 1
            if j - i > 8:
                if i > at:
                    pieces.append((at, data[at:i]))
                at = j
            i = j
        else:
            i += 1
    if at < end:
        pieces.append((at, data[at:end]))
    return pieces


def _build_table(old, length, copies, literals):
    out = bytearray(length)
    for src, n, dst in copies:
        out[dst:dst + n] = old[src:src + n]
    for dst, data in literals:
        out[dst:dst + len(data)] = data
    return bytes(out)


def make_patch(old_font, new_font, createtime=bytes(8)):
    old_tables = read_directory(old_font, "OLD")
    new_tables = read_directory(new_font, "NEW")
    old_by_tag = {tag: (off, length) for tag, off, length in old_tables}
    if set(old_by_tag) != {t[0] for t in new_tables}:
        only_old = sorted(set(old_by_tag) - {t[0] for t in new_tables})
        only_new = sorted({t[0] for t in new_tables} - set(old_by_tag))
        raise PatchError(f"OLD and NEW have different table tags (only in OLD: {only_old}, "
                         f"only in NEW: {only_new})")
    if len(new_tables) > 255:
        raise PatchError("NEW has more than 255 tables")
    full_name = mac_full_name(old_font, old_tables)
    if full_name is None:
        raise PatchError("OLD has no Macintosh full name (name ID 4, platform 1/0/0)")
    try:
        full_name.decode("utf-8")
    except UnicodeDecodeError:
        raise PatchError("OLD's Macintosh full name is not UTF-8") from None
    if len(full_name) > NAME_FIELD or b"\0" in full_name:
        raise PatchError(f"OLD's Macintosh full name does not fit the {NAME_FIELD}-byte field")
    if len(createtime) != 8:
        raise PatchError("createtime must be eight bytes")
    if old_font[:12] != new_font[:12]:
        print("make_patch: warning: the rebuilt font keeps OLD's offset table, which differs "
              "from NEW's", file=sys.stderr)

    new_revision = 0
    for tag, off, length in new_tables:
        if tag == b"head" and length >= 8:
            (new_revision,) = struct.unpack_from(">I", new_font, off + 4)

    by_offset = sorted(range(len(new_tables)), key=lambda i: (new_tables[i][1], i))
    data_pos = {slot: rank for rank, slot in enumerate(by_offset)}

    header = MAGIC + full_name.ljust(NAME_FIELD, b"\0") + struct.pack(
        ">IIB", new_revision, len(new_font), len(new_tables)) + createtime
    blocks = bytearray()
    records = bytearray()
    block_base = HEADER_SIZE + RECORD_SIZE * len(new_tables)
    for slot, (tag, new_off, new_len) in enumerate(new_tables):
        new_data = new_font[new_off:new_off + new_len]
        old_off, old_len = old_by_tag[tag]
        old_data = old_font[old_off:old_off + old_len]
        sabun_offset = 0
        if new_data != old_data:
            # The installed 'name' table differs between copies (each holds its own License
            # Description strings, of any length, and everything after them moves with
            # them), so the new one is carried whole as new data and fits every copy.
            excluded = [(0, len(old_data))] if tag == b"name" else ()
            copies, literals = diff_table(old_data, new_data, excluded)
            if _build_table(old_data, new_len, copies, literals) != new_data:
                raise PatchError(f"internal error: instructions for {tag!r} do not rebuild it")
            sabun_offset = block_base + len(blocks)
            blocks += struct.pack(">I", len(copies))
            for src, n, dst in copies:
                blocks += struct.pack(">III", src, n, dst)
            blocks += struct.pack(">I", len(literals))
            for dst, data in literals:
                blocks += struct.pack(">II", dst, len(data)) + data
        records += tag + struct.pack(">BBIII", slot, data_pos[slot], sabun_offset, new_len,
                                     new_off)
    _warn_uncovered(new_font, new_tables)
    return bytes(header + records + blocks)


def _warn_uncovered(font, tables):
    """The rebuilt file holds zero wherever no table lies; say so if NEW has data there."""
    ranges = sorted([(0, 12 + 16 * len(tables))] + [(off, off + n) for _t, off, n in tables])
    at = 0
    for start, end in ranges + [(len(font), len(font))]:
        if start > at and font[at:start].count(0) != start - at:
            print("make_patch: warning: NEW has bytes outside its tables; the rebuilt font "
                  "will hold zeros there", file=sys.stderr)
            return
        at = max(at, end)


MANIFEST_FIRST_LINE = "font-reviser patch manifest 1"


def table_digest(tag, data):
    """XXH3-128 of a table as the revisions are compared: 'head' with its adjustment zero."""
    import xxhash  # Debian's python3-xxhash; needed only for manifests
    if tag == b"head" and len(data) >= 12:
        data = data[:8] + bytes(4) + data[12:]
    return xxhash.xxh3_128(data).hexdigest()


def manifest_entry(patch_name, patch, old_font, new_font):
    """The manifest lines of one patch."""
    if not patch_name or "/" in patch_name or "\n" in patch_name:
        raise PatchError(f"{patch_name!r} can't be listed in a manifest")
    lines = [f"patch {patch_name}", f"sha256 {hashlib.sha256(patch).hexdigest()}"]
    for kind, font in (("old", old_font), ("new", new_font)):
        for tag, offset, length in read_directory(font, kind.upper()):
            if tag != b"name":
                lines.append(f"{kind} '{tag.decode('latin-1')}' {table_digest(tag, font[offset:offset + length])}")
    return lines


def update_manifest(path, entry):
    """Adds the entry to the manifest at path, or puts it in place of the entry of the same
    patch; the other entries stay as they are, in their order."""
    entries, name = [], entry[0]
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            text = f.read().split("\n")
        if not text or text[0] != MANIFEST_FIRST_LINE:
            raise PatchError(f"{path} is not a font-reviser patch manifest")
        for line in text[1:]:
            if line.startswith("patch "):
                entries.append([line])
            elif line and not line.startswith("#"):
                if not entries:
                    raise PatchError(f"{path}: a line before the first patch")
                entries[-1].append(line)
    for k, existing in enumerate(entries):
        if existing[0] == name:
            entries[k] = entry
            break
    else:
        entries.append(entry)
    with open(path, "w", encoding="utf-8") as f:
        f.write(MANIFEST_FIRST_LINE + "\n")
        for e in entries:
            f.write("\n" + "\n".join(e) + "\n")


def main(argv=None):
    parser = argparse.ArgumentParser(description="Make a patch from OLD.otf to NEW.otf.")
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("out")
    parser.add_argument("--timestamp", action="store_true",
                        help="store the current time in createtime instead of zeros")
    parser.add_argument("--manifest", metavar="FILE",
                        help="add the patch's entry to this manifest, or replace it (sign it again after)")
    args = parser.parse_args(argv)
    try:
        with open(args.old, "rb") as f:
            old = f.read()
        with open(args.new, "rb") as f:
            new = f.read()
        createtime = struct.pack(">Q", int(time.time())) if args.timestamp else bytes(8)
        patch = make_patch(old, new, createtime)
    except OSError as e:
        print(f"make_patch: {e}", file=sys.stderr)
        return 2
    except PatchError as e:
        print(f"make_patch: {e}", file=sys.stderr)
        return 2
    with open(args.out, "wb") as f:
        f.write(patch)
    if args.manifest:
        try:
            update_manifest(args.manifest, manifest_entry(os.path.basename(args.out), patch, old, new))
        except (OSError, PatchError) as e:
            print(f"make_patch: {e}", file=sys.stderr)
            return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
