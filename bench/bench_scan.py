#!/usr/bin/python3
"""Times the search over a desktop-like tree against GNU find and the floor of a walk.

Usage: bench_scan.py BUILD_DIR TREE [--rounds N]

TREE is made by make_scan_tree.py. In each round, in an order that turns from round to
round:
  ours        font-reviser-sample TREE --list --allow-unsigned
                                                 the program's own search, rooted in the tree
                                                 (the tree's patches are not signed)
  find        GNU find with the same pruning     (folders skipped by name, depth limits)
  floor       min-walk TREE                      the listing and its entry types, nothing more
Every command must find exactly the fonts in TREE/expected. Whole processes, start-up
included; prints the medians and the median of the per-round ratios.
"""

import argparse
import statistics
import subprocess
import sys
import time


def find_command(tree):
    # The program's rules: folders whose path holds a skip word are never entered, the
    # root's /Volumes neither; a folder is listed only within 5 parts of path (7 in a home
    # folder): below the tree's root, depth 5 (7) and deeper is pruned. Links to folders are
    # not followed; a link to a file is a candidate like the file.
    rel = f"{tree}(/[^/]+)"
    return ["find", tree, "-regextype", "posix-extended",
            "(", "-type", "d", "(", "-path", f"{tree}/Volumes*", "-o", "-path", "*Backups.backupdb*",
            "-o", "-path", "*.app*", "-o", "-path", "*Contents*", "-o", "-path", "*framework*", ")", "-prune", ")",
            "-o", "(", "-type", "d", "-regex", rel + "{7,}", "-prune", ")",
            "-o", "(", "-type", "d", "-regex", rel + "{5,}", "-not", "-path", "*home*", "-prune", ")",
            "-o", "(", "(", "-type", "f", "-o", "-xtype", "f", ")", "-name", "*.otf*",
            "(", "-name", "*Velmora*", "-o", "-name", "*Kestrune*", ")", "-print", ")"]


def timed(argv):
    start = time.perf_counter()
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise SystemExit(f"{argv[0]} exited {result.returncode}: {result.stderr.decode(errors='replace')}")
    return elapsed, result.stdout.decode("utf-8", errors="surrogateescape")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("tree")
    parser.add_argument("--rounds", type=int, default=11)
    args = parser.parse_args()
    tree = args.tree.rstrip("/")
    for word in ("home", "Volumes", ".app", "Contents", "framework", "Backups.backupdb"):
        if word in tree:
            raise SystemExit(f"the tree's own path must not hold {word!r}")
    with open(f"{tree}/expected", encoding="utf-8") as f:
        expected = sorted(line for line in f.read().splitlines() if line)
    commands = {
        "ours": ([f"{args.build}/app/font-reviser-sample", tree, "--list", "--allow-unsigned"],
                 lambda out: sorted(line.split("\t")[0] for line in out.splitlines() if line)),
        "find": (find_command(tree),
                 lambda out: sorted(line[len(tree):] for line in out.splitlines() if line)),
        "floor": ([f"{args.build}/bench/min-walk", tree], lambda out: sorted(out.splitlines())),
    }
    times = {k: [] for k in commands}
    names = list(commands)
    for r in range(args.rounds + 1):  # the first round fills the caches and is not counted
        for name in names[r % len(names):] + names[:r % len(names)]:
            argv, found = commands[name]
            elapsed, out = timed(argv)
            if found(out) != expected:
                raise SystemExit(f"{name} found other fonts than the tree holds:\n{found(out)[:5]}...")
            if r:
                times[name].append(elapsed)
    print(f"\n== search of a desktop-like tree ({len(expected)} fonts to find), {args.rounds} rounds ==")
    print(f"{'command':<8}{'median ms':>11}   ours ÷ it (median of rounds)")
    for name in names:
        ratio = [a / b for a, b in zip(times["ours"], times[name])]
        print(f"{name:<8}{statistics.median(times[name]) * 1e3:>11.1f}   {statistics.median(ratio):.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
