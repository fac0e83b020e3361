"""Helpers shared by the benchmarks: preparing memory before a timed command and timing it."""
import os
import subprocess
import tempfile
import time

# These machines hand freed memory back to their host; a command that then writes much pays
# for getting it back. Writing and deleting this much right before a timed command avoids that.
SCRATCH_MIB = 1536


def touch_scratch(folder, mib=SCRATCH_MIB):
    """Writes and deletes mib MiB of data in folder."""
    path = os.path.join(folder, "scratch.bin")
    block = b"\xa5" * (1 << 20)
    with open(path, "wb") as out:
        for _ in range(mib):
            out.write(block)
    os.remove(path)


def run_timed(command, cwd=None):
    """Runs the command; returns its wall time in seconds and its peak resident memory in MiB.

    The peak comes from GNU time, whose own footprint is small (a child forked from Python
    would count Python's pages too). Raises RuntimeError when the command fails."""
    fd, report = tempfile.mkstemp(prefix="bench-time-")
    os.close(fd)
    try:
        start = time.monotonic()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, cwd=cwd,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.monotonic() - start
        if proc.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" %
                               (command[0], proc.returncode, proc.stderr.decode(errors="replace")))
        with open(report) as f:
            peak_kib = int(f.read().split()[-1])
        return elapsed, peak_kib / 1024.0
    finally:
        os.remove(report)
