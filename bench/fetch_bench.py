#!/usr/bin/env python3
"""Download speed of tzfetch against aria2c and curl, from nginx on loopback.

Starts the test servers (scripts/testservers/testservers.py), puts a file of --size-mib MiB in
their document root and downloads it with each tool, interleaved, for --rounds rounds. Before
every timed command it writes and deletes --touch-mib MiB of scratch data: this machine hands
freed memory back to its host, and the first command to write much afterwards would otherwise
pay for getting it back. Every download is checked against the source's SHA-256.

Prints, per tool, the median wall time, CPU time (user + system) and peak memory (RSS), and the
ratio of tzfetch's median time to each other tool's.

  python3 bench/fetch_bench.py --tzfetch build/bench/tools/tzfetch [--size-mib 1024]
      [--rounds 3] [--scheme https|http] [--touch-mib 1536]
"""

import argparse
import hashlib
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from benchlib import touch_scratch

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        while True:
            block = f.read(1 << 22)
            if not block:
                return h.hexdigest()
            h.update(block)


def peak_rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def timed(cmd):
    """Runs cmd; returns (wall seconds, cpu seconds, peak RSS in MiB, exit status).

    The peak is the process's own high-water mark, sampled every 10 ms (the rusage figure would
    include the memory of this Python process from before the exec)."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid == proc.pid:
            break
        peak = max(peak, peak_rss_kib(proc.pid))
        time.sleep(0.01)
    wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_utime + usage.ru_stime, peak / 1024.0, proc.returncode


def timed_download(cmd, out, digest, work, touch_mib):
    """One timed download into out after the scratch write: (wall, cpu, peak MiB, status, ok),
    ok when the command succeeded and out holds the expected bytes."""
    if os.path.exists(out):
        os.remove(out)
    touch_scratch(work, touch_mib)
    wall, cpu, rss, status = timed(cmd)
    return wall, cpu, rss, status, status == 0 and sha256(out) == digest


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tzfetch", required=True)
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--scheme", choices=("https", "http"), default="https")
    ap.add_argument("--touch-mib", type=int, default=1536)
    args = ap.parse_args()

    launcher = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "scripts", "testservers", "testservers.py")],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    info = json.loads(launcher.stdout.readline())
    work = tempfile.mkdtemp(prefix="tz-fetchbench-")
    try:
        source = os.path.join(info["docroot"], "bench.bin")
        with open(source, "wb") as f:
            for _ in range(args.size_mib):
                f.write(os.urandom(1 << 20))
        digest = sha256(source)
        port = info["https_port"] if args.scheme == "https" else info["http_port"]
        url = "%s://127.0.0.1:%d/bench.bin" % (args.scheme, port)
        ca = info["ca_file"]
        out = os.path.join(work, "out.bin")
        tools = {
            "tzfetch": [args.tzfetch, "--cacert", ca, url, out],
            "aria2c -x16 -s16 -k10M": ["aria2c", "-q", "-x16", "-s16", "-k10M",
                                       "--ca-certificate=" + ca, "--allow-overwrite=true",
                                       "--auto-file-renaming=false", "--file-allocation=none",
                                       "-d", work, "-o", "out.bin", url],
            "curl": ["curl", "-sS", "--cacert", ca, "-o", out, url],
        }
        missing = [name for name, cmd in tools.items() if shutil.which(cmd[0]) is None]
        for name in missing:
            print("skipped (not installed): " + name)
            del tools[name]
        results = {name: [] for name in tools}
        for rnd in range(args.rounds):
            for name, cmd in tools.items():
                wall, cpu, rss, status, ok = timed_download(cmd, out, digest, work, args.touch_mib)
                print("round %d %-24s %7.2f s  cpu %6.2f s  peak %7.1f MiB  %s"
                      % (rnd + 1, name, wall, cpu, rss, "ok" if ok else "FAILED (%d)" % status))
                if ok:
                    results[name].append((wall, cpu, rss))
        print("\nmedians over %d rounds, %d MiB over %s on loopback:" % (args.rounds, args.size_mib,
                                                                       args.scheme))
        medians = {}
        for name, rows in results.items():
            if not rows:
                continue
            medians[name] = tuple(statistics.median(r[i] for r in rows) for i in range(3))
            print("  %-24s %7.2f s  cpu %6.2f s  peak %7.1f MiB" % ((name,) + medians[name]))
        if "tzfetch" in medians:
            for name, m in medians.items():
                if name != "tzfetch":
                    print("  tzfetch / %-16s time ratio %.2f" % (name, medians["tzfetch"][0] / m[0]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
        launcher.stdin.close()
        launcher.wait(30)
    return 0


if __name__ == "__main__":
    sys.exit(main())
