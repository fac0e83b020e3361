#!/usr/bin/env python3
"""Pack benchmark: tzpack against Info-ZIP `zip -r -6` on one folder.

Usage: pack_bench.py --tzpack PATH [--work DIR] [--rounds N] [--size-mib M] [--scratch-mib S]

Builds (once, kept in the work folder) a folder of about M MiB (default 1024): thousands of
small files and a few large ones, half compressible text and half incompressible bytes. Then
runs both tools interleaved, N rounds (default 3), rotating their order, each writing a fresh
archive. Right before each timed command it writes and deletes S MiB (default 1536) of scratch
data, because these machines hand freed memory back to their host and the first tool to run
would otherwise pay for getting it back. Prints per-tool medians, the ratio tzpack / zip and
each tool's peak resident memory, and checks both archives with `unzip -tq`.
"""
import argparse
import os
import random
import statistics
import subprocess
import sys

from benchlib import run_timed, touch_scratch


def build_tree(work, size_mib):
    tree = os.path.join(work, "tree-%d" % size_mib)
    if os.path.isdir(tree):
        return tree
    rng = random.Random(20261211)
    budget = size_mib << 20
    words = [b"morlix ", b"installer ", b"package ", b"entry ", b"stream ", b"deflate\n"]
    os.makedirs(tree)
    large = max(4, size_mib // 128)
    for i in range(large):
        size = budget // (2 * large)
        path = os.path.join(tree, "large", "file%d.bin" % i)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            written = 0
            while written < size:
                block = os.urandom(1 << 20) if i % 2 else b"".join(rng.choice(words) for _ in range(150000))
                out.write(block[: size - written])
                written += min(len(block), size - written)
    small_budget = budget // 2
    index = 0
    while small_budget > 0:
        size = rng.randint(100, 64 << 10)
        path = os.path.join(tree, "small", "d%03d" % (index % 200), "f%06d.txt" % index)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(os.urandom(size) if index % 2 else b"".join(rng.choice(words) for _ in range(size // 7))[:size])
        small_budget -= size
        index += 1
    return tree


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tzpack", required=True)
    parser.add_argument("--work", default="/tmp/tz-pack-bench")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--scratch-mib", type=int, default=1536)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    tree = build_tree(args.work, args.size_mib)
    files = 0
    total = 0
    for folder, _, names in os.walk(tree):
        for name in names:
            files += 1
            total += os.path.getsize(os.path.join(folder, name))
    print("folder %s: %d files, %.1f MiB" % (tree, files, total / (1 << 20)))
    outputs = {"tzpack": os.path.join(args.work, "tzpack.zip"), "zip": os.path.join(args.work, "zip.zip")}
    commands = {
        "tzpack": lambda: run_timed([args.tzpack, tree, outputs["tzpack"]]),
        "zip": lambda: run_timed(["zip", "-r", "-6", "-q", outputs["zip"], "."], cwd=tree),
    }
    times = {name: [] for name in commands}
    peaks = {name: 0 for name in commands}
    order = list(commands)
    for round_index in range(args.rounds):
        for name in order[round_index % 2:] + order[: round_index % 2]:
            if os.path.exists(outputs[name]):
                os.remove(outputs[name])
            touch_scratch(args.work, args.scratch_mib)
            elapsed, peak = commands[name]()
            times[name].append(elapsed)
            peaks[name] = max(peaks[name], peak)
    for name, output in outputs.items():
        subprocess.run(["unzip", "-tq", output], check=True, stdout=subprocess.DEVNULL)
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name in commands:
        print("%-7s median %.2f s  (%s)  %d bytes  peak %.1f MiB" %
              (name, medians[name], ", ".join("%.2f" % v for v in times[name]), os.path.getsize(outputs[name]),
               peaks[name]))
    print("tzpack / zip = %.2f" % (medians["tzpack"] / medians["zip"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
