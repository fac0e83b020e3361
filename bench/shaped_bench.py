#!/usr/bin/env python3
"""tzfetch, aria2c and curl through a shaped link between two network namespaces (root only).

Makes two namespaces joined by tunlink (a user-space forwarder on TUN devices: --rate-mbit,
one-way --delay-ms, drop-tail queue of one bandwidth-delay product) on link-local addresses that
exist only between them, sets TCP congestion control (--congestion; reno by default, which is
loss-driven like cubic and allowed in a new namespace where cubic may not be) in both, starts the
test servers in one namespace and runs the tools in the other, interleaved, once without loss and
once with each --loss value. Prints per setting the median time and throughput of each tool and
tzfetch's time ratio to the best other tool.

  python3 bench/shaped_bench.py --tzfetch build/bench/tools/tzfetch \\
      --tunlink build/bench/bench/tunlink [--size-mib 128] [--rounds 2] [--loss 0.001]
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fetch_bench import ROOT, sha256, timed_download  # noqa: E402

SERVER_ADDR = "169.254.77.1"
CLIENT_ADDR = "169.254.77.2"


def sh(*cmd):
    subprocess.run(cmd, check=True)


def run_setting(args, loss, tag):
    ns_a, ns_b = "tzbench-%d-a" % os.getpid(), "tzbench-%d-b" % os.getpid()
    link = launcher = None
    work = tempfile.mkdtemp(prefix="tz-shapedbench-")
    try:
        for ns in (ns_a, ns_b):
            sh("ip", "netns", "add", ns)
            sh("ip", "-n", ns, "link", "set", "lo", "up")
            # New namespaces take the host's default, which may not be the one to measure.
            sh("ip", "netns", "exec", ns, "sysctl", "-q",
               "net.ipv4.tcp_congestion_control=" + args.congestion)
        link = subprocess.Popen([args.tunlink, ns_a, ns_b, "--rate-mbit", str(args.rate_mbit),
                                 "--delay-ms", str(args.delay_ms), "--loss", str(loss)],
                                stdout=subprocess.PIPE)
        if link.stdout.readline().strip() != b"ready":
            raise RuntimeError("tunlink did not start")
        for ns, mine, peer in ((ns_a, SERVER_ADDR, CLIENT_ADDR), (ns_b, CLIENT_ADDR, SERVER_ADDR)):
            sh("ip", "-n", ns, "addr", "add", mine, "peer", peer, "dev", "tzlink")
            sh("ip", "-n", ns, "link", "set", "tzlink", "up")
        launcher = subprocess.Popen(
            ["ip", "netns", "exec", ns_a, sys.executable,
             os.path.join(ROOT, "scripts", "testservers", "testservers.py"),
             "--address", SERVER_ADDR], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        info = json.loads(launcher.stdout.readline())
        source = os.path.join(info["docroot"], "bench.bin")
        with open(source, "wb") as f:
            for _ in range(args.size_mib):
                f.write(os.urandom(1 << 20))
        digest = sha256(source)
        url = "https://%s:%d/bench.bin" % (SERVER_ADDR, info["https_port"])
        ca = info["ca_file"]
        out = os.path.join(work, "out.bin")
        client = ["ip", "netns", "exec", ns_b]
        tools = {
            "tzfetch": client + [args.tzfetch, "--cacert", ca, url, out],
            "aria2c -x16 -s16 -k10M": client + [
                "aria2c", "-q", "-x16", "-s16", "-k10M", "--ca-certificate=" + ca,
                "--allow-overwrite=true", "--auto-file-renaming=false",
                "--file-allocation=none", "-d", work, "-o", "out.bin", url],
            "curl": client + ["curl", "-sS", "--cacert", ca, "-o", out, url],
        }
        results = {name: [] for name in tools}
        for rnd in range(args.rounds):
            for name, cmd in tools.items():
                wall, _, _, status, ok = timed_download(cmd, out, digest, work, args.touch_mib)
                print("%s round %d %-24s %7.2f s  %6.2f MB/s  %s"
                      % (tag, rnd + 1, name, wall, args.size_mib * 1.048576 / wall,
                         "ok" if ok else "FAILED (%d)" % status), flush=True)
                if ok:
                    results[name].append(wall)
        return {name: statistics.median(rows) for name, rows in results.items() if rows}
    finally:
        if launcher is not None:
            launcher.stdin.close()
            launcher.wait(30)
        if link is not None:
            link.terminate()
            link.wait(10)
        for ns in (ns_a, ns_b):
            subprocess.run(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tzfetch", required=True)
    ap.add_argument("--tunlink", required=True)
    ap.add_argument("--size-mib", type=int, default=128)
    ap.add_argument("--rounds", type=int, default=2)
    ap.add_argument("--rate-mbit", type=float, default=100)
    ap.add_argument("--delay-ms", type=float, default=25)
    ap.add_argument("--loss", type=float, action="append")
    ap.add_argument("--touch-mib", type=int, default=512)
    ap.add_argument("--congestion", default="reno",
                    help="TCP congestion control in both ends (a new namespace may use only the"
                         " host's allowed ones: net.ipv4.tcp_allowed_congestion_control)")
    args = ap.parse_args()
    settings = [0.0] + (args.loss if args.loss else [0.001])
    summary = []
    for loss in settings:
        tag = "loss %.2f%%" % (loss * 100)
        summary.append((tag, run_setting(args, loss, tag)))
    print("\nmedians, %d MiB over HTTPS, %g Mbit/s, %g ms round trip, %s:"
          % (args.size_mib, args.rate_mbit, 2 * args.delay_ms, args.congestion))
    for tag, medians in summary:
        for name, wall in medians.items():
            print("  %-11s %-24s %7.2f s  %6.2f MB/s" % (tag, name, wall,
                                                        args.size_mib * 1.048576 / wall))
        others = [w for n, w in medians.items() if n != "tzfetch"]
        if "tzfetch" in medians and others:
            print("  %-11s tzfetch / best other tool: time ratio %.2f"
                  % (tag, medians["tzfetch"] / min(others)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
