#!/usr/bin/env python3
"""Unzip benchmark: tzunzip against Info-ZIP unzip and bsdtar on one large mixed archive.

Usage: unzip_bench.py --tzunzip PATH [--work DIR] [--rounds N] [--size-mib M]

Builds (once, kept in the work folder) an archive of about M MiB (default 1024): thousands of
small files, a few large ones, compressible text and incompressible bytes, deflated by
Info-ZIP zip. Then runs the three tools interleaved, N rounds (default 5), rotating their order,
each into an empty folder. Right before every timed command it writes and deletes about
1.5 GiB of scratch data, because this kind of machine hands freed memory back to its host and a
command that then writes much pays for getting it back. Prints per-tool medians, the ratios
to tzunzip and each tool's peak resident memory (from GNU time), and checks that the trees agree.
"""
import argparse
import hashlib
import os
import random
import shutil
import statistics
import subprocess
import sys

from benchlib import run_timed, touch_scratch

def build_archive(work, size_mib):
    archive = os.path.join(work, "mixed-%d.zip" % size_mib)
    if os.path.exists(archive):
        return archive
    tree = os.path.join(work, "tree")
    shutil.rmtree(tree, ignore_errors=True)
    rng = random.Random(20261211)
    budget = size_mib << 20
    words = [b"morlix", b"installer", b"package", b"entry", b"stream", b"deflate", b"zip", b"folder"]
    written = 0
    # A few large files: half compressible text, half random bytes.
    large = max(4, size_mib // 128)
    for i in range(large):
        size = budget // (2 * large)
        path = os.path.join(tree, "large", "part%02d.%s" % (i, "txt" if i % 2 == 0 else "bin"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            left = size
            while left > 0:
                n = min(left, 1 << 20)
                if i % 2 == 0:
                    chunk = b" ".join(rng.choice(words) for _ in range(n // 6 + 1))[:n]
                else:
                    chunk = rng.randbytes(n)
                f.write(chunk)
                left -= n
        written += size
    # Thousands of small files fill the rest.
    index = 0
    while written < budget:
        size = int(rng.paretovariate(1.2) * 8000) % (2 << 20)
        path = os.path.join(tree, "small", "d%03d" % (index % 200), "f%05d.%s" % (index, "txt" if index % 3 else "dat"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            if index % 3:
                f.write((b" ".join(rng.choice(words) for _ in range(size // 6 + 1)))[:size])
            else:
                f.write(rng.randbytes(size))
        written += size
        index += 1
    subprocess.run(["zip", "-q", "-r", archive + ".part", "."], cwd=tree, check=True)
    os.rename(archive + ".part", archive)
    shutil.rmtree(tree)
    return archive


def tree_digest(root):
    digest = hashlib.sha256()
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            digest.update(os.path.relpath(path, root).encode())
            with open(path, "rb") as f:
                while True:
                    chunk = f.read(1 << 20)
                    if not chunk:
                        break
                    digest.update(chunk)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tzunzip", required=True)
    parser.add_argument("--work", default="/var/tmp/tz-unzip-bench")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--size-mib", type=int, default=1024)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    archive = build_archive(args.work, args.size_mib)
    out = os.path.join(args.work, "out")
    tools = {
        "tzunzip": lambda dest: [os.path.abspath(args.tzunzip), archive, dest],
        "unzip -q": lambda dest: ["unzip", "-q", archive, "-d", dest],
        "bsdtar -xf": lambda dest: ["bsdtar", "-xf", archive, "-C", dest],
    }
    names = list(tools)
    times = {name: [] for name in names}
    memory = {name: 0.0 for name in names}
    digests = {}
    print("archive %s: %.0f MiB" % (archive, os.path.getsize(archive) / 1048576.0))
    for round_index in range(args.rounds):
        order = names[round_index % len(names):] + names[:round_index % len(names)]
        for name in order:
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            touch_scratch(args.work)
            elapsed, rss = run_timed(tools[name](out))
            times[name].append(elapsed)
            memory[name] = max(memory[name], rss)
            if round_index == 0:
                digests[name] = tree_digest(out)
            print("round %d  %-10s %6.2f s  %6.1f MiB" % (round_index + 1, name, elapsed, rss), flush=True)
    shutil.rmtree(out, ignore_errors=True)
    base = statistics.median(times["tzunzip"])
    print("\n%-10s %9s %9s %12s" % ("tool", "median s", "ratio", "peak MiB"))
    for name in names:
        median = statistics.median(times[name])
        print("%-10s %9.2f %9.2f %12.1f" % (name, median, base / median, memory[name]))
    print("(ratio = tzunzip's median / the tool's median; <= 1.0 means tzunzip is as fast or faster)")
    same = len(set(digests.values())) == 1
    print("trees identical: %s" % ("yes" if same else "NO " + repr(digests)))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
