#!/usr/bin/python3
"""Times the revision of one font against the tools a user would pick instead.

Usage: bench_revision.py BUILD_DIR DATA_DIR [--rounds N] [--sizes 16mb,4mb,1mb]

In each round, in an order that turns from round to round, every command produces the new
font from a fresh copy of the installed one, and its output is checked byte for byte:
  ours          revise-font --no-pauses --no-fsync   the program's own revision driver
  ours+fsync    revise-font --no-pauses              the same, the replacement made durable
  floor         floor-revise                         the reads, writes and passes it can't avoid
  floor+fsync   floor-revise --fsync
  xdelta3 -d    xdelta3 -d -s OLD PATCH.xd3 OUT
  bspatch       bspatch OLD OUT PATCH.bsdiff
  cp            cp NEW OUT (only the copying of a file that size)
With --before, another build's revise-font is timed the same way ("before", "before+fsync").
Each command is a whole process, start-up included, run under GNU time for its peak resident
memory. Prints the medians of wall time and of peak resident memory, and the median of the
per-round ratios against each peer.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv, rss_file):
    """Wall seconds and peak resident kilobytes of one process; fails on a non-zero exit.

    The process runs under GNU time, which reports its peak resident memory: a child forked
    from this Python process would count Python's own pages as well."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_file] + argv,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise SystemExit(f"{argv[0]} exited {result.returncode}: {result.stderr.decode(errors='replace')}")
    with open(rss_file) as f:
        return elapsed, int(f.read().split()[-1])


def same_bytes(a, b):
    with open(a, "rb") as f, open(b, "rb") as g:
        return f.read() == g.read()


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
    length = str(os.path.getsize(new))
    # The key the manifest is signed with, as a vendor's build has its own built in.
    key = ["--trusted-key", os.path.join(os.path.dirname(__file__), "..", "tests", "keys", "test-only-signing.pub")]
    commands = {
        "ours": ([revise, installed, patch, "--no-pauses", "--no-fsync"] + key, installed),
        "ours+fsync": ([revise, installed, patch, "--no-pauses"] + key, installed),
        "floor": ([floor, installed, patch, length, temp], installed),
        "floor+fsync": ([floor, installed, patch, length, temp, "--fsync"], installed),
        "xdelta3 -d": (["xdelta3", "-d", "-f", "-s", old, os.path.join(folder, "new.xd3"), out], out),
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
                if os.path.exists(out):
                    os.unlink(out)
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("data")
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--sizes", default="16mb,4mb,1mb")
    parser.add_argument("--before", help="another build's revise-font, timed beside this one's")
    args = parser.parse_args()
    os.makedirs(os.path.join(args.build, "bench-work"), exist_ok=True)
    for size in args.sizes.split(","):
        times, memory, font, patch = bench_size(args.build, args.data, size, args.rounds, args.before)
        print(f"\n== revision of a {font / 1e6:.1f} MB font (patch {patch / 1e3:.0f} kB), {args.rounds} rounds ==")
        print(f"{'command':<14}{'median ms':>11}{'peak MB':>9}{'÷ font+patch':>14}   ours ÷ it, "
              "ours+fsync ÷ it (median of rounds)")
        for name in times:
            ratio = [a / b for a, b in zip(times["ours"], times[name])]
            ratio_fsync = [a / b for a, b in zip(times["ours+fsync"], times[name])]
            peak = statistics.median(memory[name]) / 1024
            print(f"{name:<14}{statistics.median(times[name]) * 1e3:>11.1f}{peak:>9.1f}"
                  f"{peak * 1024 * 1024 / (font + patch):>14.2f}   {statistics.median(ratio):.2f}  "
                  f"{statistics.median(ratio_fsync):.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
