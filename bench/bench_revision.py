#!/usr/bin/python3
"""Times the revision of one font against the tools a user would pick instead.

Usage: bench_revision.py BUILD_DIR DATA_DIR [--rounds N] [--sizes 16mb,4mb,1mb]

In each round, in an order that turns from round to round, every command produces the new
font from a fresh copy of the installed one, and its output is checked byte for byte:
  ours                        revise-font --no-pauses --no-fsync   the program's own revision driver
  ours+fsync                  revise-font --no-pauses              the same, the replacement made durable
  floor                       floor-revise                         the reads, writes and passes it can't avoid
  floor+fsync                 floor-revise --fsync
  xdelta3 -d (new file)       xdelta3 -d -s INSTALLED PATCH.xd3 OUT, OUT removed before each run
  xdelta3 -d + fsync + rename durable-peer INSTALLED PATCH.xd3: xdelta3 -d into a new file beside
                              the installed font, its fsync, the rename over the installed font
                              and the folder's fsync (the durability ours+fsync gives)
  bspatch                     bspatch OLD OUT PATCH.bsdiff
  cp                          cp NEW OUT (only the copying of a file that size)
With --before, another build's revise-font is timed the same way ("before", "before+fsync").
Each command is a whole process, start-up included, run under GNU time for its peak resident
memory (for durable-peer, the larger of its own and its xdelta3 child's). Prints, per font,
the medians of wall time and of peak resident memory, the median of the per-round ratios
against each peer, and the ratios the targets are about; then how peak memory grows with the
font and with the tables the patch changes; then the start of the programs alone (each run
with no arguments) against /bin/true.
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time


NEW_FILE_PEER = "xdelta3 -d (new file)"
DURABLE_PEER = "xdelta3 -d + fsync + rename"
MIB = 1024 * 1024


def run(argv, rss_file, expect=0):
    """Wall seconds and peak resident kilobytes of one process; fails on any exit status but
    the expected one.

    The process runs under GNU time, which reports its peak resident memory: a child forked
    from this Python process would count Python's own pages as well."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_file] + argv,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != expect:
        raise SystemExit(f"{argv[0]} exited {result.returncode} (expected {expect}): "
                         f"{result.stderr.decode(errors='replace')}")
    with open(rss_file) as f:
        return elapsed, int(f.read().split()[-1])


def same_bytes(a, b):
    with open(a, "rb") as f, open(b, "rb") as g:
        return f.read() == g.read()


def changed_tables(patch_path):
    """How many tables the patch changes and the sum of their new lengths. After the 53-byte
    header (byte 44: the number of records) come 18-byte table records; in each, bytes 6..10
    are the offset of its instruction block (0: the installed table carried over as it is) and
    bytes 10..14 the new table's length."""
    with open(patch_path, "rb") as f:
        patch = f.read()
    count, total = 0, 0
    for k in range(patch[44]):
        record = patch[53 + 18 * k:53 + 18 * (k + 1)]
        if len(record) != 18:
            raise SystemExit(f"{patch_path}: the table records end early")
        block, length = struct.unpack(">II", record[6:14])
        if block:
            count += 1
            total += length
    return count, total


def bench_size(build, data, size, rounds, before=None):
    folder = os.path.join(data, size)
    old, new = os.path.join(folder, "old.otf"), os.path.join(folder, "new.otf")
    work = tempfile.mkdtemp(prefix="bench-", dir=os.path.join(build, "bench-work"))
    temp = os.path.join(work, "tmp")
    os.makedirs(temp)
    # The installed font under the name the patch pairs with.
    installed = os.path.join(work, "Velmora角ゴ StdN W9.otf")
    patch = os.path.join(work, "Velmora角ゴ StdN W9.pa")
    shutil.copyfile(os.path.join(folder, "new.pa"), patch)
    # The signed manifest beside it, as a vendor ships one: the revision checks what it lists.
    for name in ("patches.manifest", "patches.manifest.minisig"):
        shutil.copyfile(os.path.join(folder, name), os.path.join(work, name))
    out = os.path.join(work, "out.otf")
    revise = os.path.join(build, "tools", "revise-font")
    floor = os.path.join(build, "bench", "floor-revise")
    durable = os.path.join(build, "bench", "durable-peer")
    staged = installed + ".xd3-new"  # the durable peer's new file, beside the installed font
    xd3 = os.path.join(folder, "new.xd3")
    length = str(os.path.getsize(new))
    # The key the manifest is signed with, as a vendor's build has its own built in.
    key = ["--trusted-key", os.path.join(os.path.dirname(__file__), "..", "tests", "keys", "test-only-signing.pub")]
    commands = {
        "ours": ([revise, installed, patch, "--no-pauses", "--no-fsync"] + key, installed),
        "ours+fsync": ([revise, installed, patch, "--no-pauses"] + key, installed),
        "floor": ([floor, installed, patch, length, temp], installed),
        "floor+fsync": ([floor, installed, patch, length, temp, "--fsync"], installed),
        # No -f: the output must be a new file, and xdelta3 refuses to write over one.
        NEW_FILE_PEER: (["xdelta3", "-d", "-s", installed, xd3, out], out),
        DURABLE_PEER: ([durable, installed, xd3], installed),
        "bspatch": (["bspatch", old, out, os.path.join(folder, "new.bsdiff")], out),
        "cp": (["cp", new, out], out),  # a copy of a file of the new font's size
    }
    if before:
        commands["before"] = ([before, installed, patch, "--no-pauses", "--no-fsync"], installed)
        commands["before+fsync"] = ([before, installed, patch, "--no-pauses"], installed)
    env_temp = os.environ.get("TMPDIR")
    os.environ["TMPDIR"] = temp
    times = {k: [] for k in commands}
    memory = {k: [] for k in commands}
    names = list(commands)
    try:
        for r in range(rounds + 1):  # the first round warms the caches and is not counted
            order = names[r % len(names):] + names[:r % len(names)]
            for name in order:
                argv, result = commands[name]
                for leftover in (out, staged):
                    if os.path.lexists(leftover):
                        os.unlink(leftover)
                shutil.copyfile(old, installed)
                elapsed, rss = run(argv, os.path.join(work, "rss"))
                if not same_bytes(result, new):
                    raise SystemExit(f"{name}: the output is not the new font")
                if r:
                    times[name].append(elapsed)
                    memory[name].append(rss)
    finally:
        if env_temp is None:
            del os.environ["TMPDIR"]
        else:
            os.environ["TMPDIR"] = env_temp
        shutil.rmtree(work)
    return times, memory, os.path.getsize(old), os.path.getsize(os.path.join(folder, "new.pa"))


def bench_start(build, rounds, work):
    """Wall seconds and peak resident kilobytes of each program started with no arguments:
    revise-font and floor-revise refuse the command line (64) before any work, /bin/true does
    nothing at all."""
    commands = {
        "revise-font": ([os.path.join(build, "tools", "revise-font")], 64),
        "floor-revise": ([os.path.join(build, "bench", "floor-revise")], 64),
        "/bin/true": (["/bin/true"], 0),
    }
    times = {k: [] for k in commands}
    memory = {k: [] for k in commands}
    names = list(commands)
    rss = os.path.join(work, "rss-start")
    try:
        for r in range(rounds + 1):  # the first round warms the caches and is not counted
            for name in names[r % len(names):] + names[:r % len(names)]:
                argv, expect = commands[name]
                elapsed, peak = run(argv, rss, expect)
                if r:
                    times[name].append(elapsed)
                    memory[name].append(peak)
    finally:
        if os.path.exists(rss):
            os.unlink(rss)
    return times, memory


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("data")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--sizes", default="16mb,4mb,1mb")
    parser.add_argument("--before", help="another build's revise-font, timed beside this one's")
    args = parser.parse_args()
    work = os.path.join(args.build, "bench-work")
    os.makedirs(work, exist_ok=True)
    growth = []
    for size in args.sizes.split(","):
        times, memory, font, patch = bench_size(args.build, args.data, size, args.rounds, args.before)
        print(f"\n== revision of a {font / 1e6:.1f} MB font (patch {patch / 1e3:.0f} kB), {args.rounds} rounds ==")
        print(f"{'command':<29}{'median ms':>11}{'peak MB':>9}{'÷ font+patch':>14}   ours ÷ it, "
              "ours+fsync ÷ it (median of rounds)")
        for name in times:
            ratio = [a / b for a, b in zip(times["ours"], times[name])]
            ratio_fsync = [a / b for a, b in zip(times["ours+fsync"], times[name])]
            peak = statistics.median(memory[name]) / 1024
            print(f"{name:<29}{statistics.median(times[name]) * 1e3:>11.1f}{peak:>9.1f}"
                  f"{peak * 1024 * 1024 / (font + patch):>14.2f}   {statistics.median(ratio):.2f}  "
                  f"{statistics.median(ratio_fsync):.2f}")
        # The ratios the targets are about.
        speed = statistics.median([a / b for a, b in zip(times["ours"], times[NEW_FILE_PEER])])
        durable = statistics.median([a / b for a, b in zip(times["ours+fsync"], times[DURABLE_PEER])])
        peak_ours = statistics.median(memory["ours"]) * 1024
        targets = [
            (f"time, ours ÷ {NEW_FILE_PEER} (median of rounds)", speed),
            (f"time, ours+fsync ÷ {DURABLE_PEER} (median of rounds)", durable),
            (f"peak memory, ours ÷ (font + patch), {peak_ours / MIB:.1f} ÷ {(font + patch) / MIB:.1f} MiB",
             peak_ours / (font + patch)),
        ]
        width = max(len(label) for label, _ in targets)
        for label, value in targets:
            print(f"  {label:<{width}}  {value:.2f}")
        count, changed = changed_tables(os.path.join(args.data, size, "new.pa"))
        growth.append((size, font, patch, count, changed, peak_ours,
                       statistics.median(memory[NEW_FILE_PEER]) * 1024))

    print("\n== peak memory against the font and against what the patch changes (medians) ==")
    print(f"{'data':<6}{'font MiB':>10}{'patch KiB':>11}{'changed tables':>16}{'changed MiB':>13}{'÷ font':>8}"
          f"{'ours peak MiB':>15}{'xdelta3 peak MiB':>18}")
    for size, font, patch, count, changed, ours, xdelta in sorted(growth, key=lambda g: g[1]):
        print(f"{size:<6}{font / MIB:>10.2f}{patch / 1024:>11.1f}{count:>16}{changed / MIB:>13.2f}"
              f"{changed / font:>8.2f}{ours / MIB:>15.1f}{xdelta / MIB:>18.1f}")
    print(f"(changed: the tables the patch rebuilds, at their new lengths; xdelta3: {NEW_FILE_PEER})")

    times, memory = bench_start(args.build, args.rounds, work)
    print(f"\n== start of the programs: run with no arguments, each a whole process, {args.rounds} rounds ==")
    print("  " + ";  ".join(f"{name} {statistics.median(times[name]) * 1e3:.1f} ms, "
                            f"{statistics.median(memory[name]) / 1024:.1f} MiB peak" for name in times))
    return 0


if __name__ == "__main__":
    sys.exit(main())
