#!/usr/bin/python3
"""`ombrix trace decode` of a candump log to CSV beside python-can reading
the same log and canmatrix decoding each frame, in one run: the program on
the whole trace (10 million frames by default), the Python tools on its
first frames (their time per frame is flat), both given per frame, each
the best of three runs.

    trace_decode.py OMBRIX_PROGRAM [FRAMES] [PYTHON_FRAMES]
"""
import csv
import io
import os
import random
import subprocess
import sys
import tempfile
import time

import can
import canmatrix.formats

PROGRAM = sys.argv[1]
FRAMES = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000_000
PYTHON_FRAMES = int(sys.argv[3]) if len(sys.argv) > 3 else 100_000
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")


def write_log(path, count):
    """EngineData (0x123) every other frame, other identifiers between."""
    rng = random.Random(1)
    payloads = [rng.randbytes(8).hex().upper() for _ in range(4096)]
    with open(path, "w") as out:
        lines = []
        for k in range(count):
            ident = "123" if k % 2 == 0 else "%03X" % (0x200 + k % 64)
            lines.append(f"({1700000000 + k // 1000}.{(k % 1000) * 1000:06d}) can0 "
                         f"{ident}#{payloads[k & 4095]}\n")
            if len(lines) == 100_000:
                out.write("".join(lines))
                lines.clear()
        out.write("".join(lines))


def python_tools(log, dbc, count):
    """python-can reads, canmatrix decodes, csv writes: seconds per frame."""
    matrix = canmatrix.formats.loadp_flat(dbc)
    frames = {f.arbitration_id.id: f for f in matrix.frames}
    out = io.StringIO()
    writer = csv.writer(out)
    start = time.perf_counter()
    for k, message in enumerate(can.LogReader(log)):
        if k == count:
            break
        frame = frames.get(message.arbitration_id)
        if frame is None:
            continue
        values = frame.decode(message.data)
        writer.writerow([message.timestamp, message.channel, message.arbitration_id, frame.name]
                        + [v.named_value if isinstance(v.named_value, str) else v.phys_value
                           for v in values.values()])
    return (time.perf_counter() - start) / count


def main():
    dbc = os.path.join(SAMPLES, "engine.dbc")
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "drive.log")
        write_log(log, FRAMES)
        size = os.path.getsize(log)
        # The log on the disk first, so that its own writing is not timed.
        os.sync()
        # Each side's best of three runs, as timeit takes, so that a busy
        # moment of the machine counts against neither. GNU time reports the
        # program's own peak (a child's rusage would count the memory it
        # shared with this process when forked).
        runs = []
        out = os.path.join(folder, "out.csv")
        for _ in range(3):
            # Each run from a quiet disk: the last run's output gone and flushed.
            if os.path.exists(out):
                os.remove(out)
            os.sync()
            start = time.perf_counter()
            done = subprocess.run(["/usr/bin/time", "-f", "%M", PROGRAM, "trace", "decode", log,
                                   "--dbc", dbc, "-o", out],
                                  check=True, capture_output=True, text=True)
            runs.append((time.perf_counter() - start) / FRAMES)
            peak = int(done.stderr.strip().splitlines()[-1])  # KiB
        ours = min(runs)
        theirs = min(python_tools(log, dbc, PYTHON_FRAMES) for _ in range(3))
    print(f"trace of {FRAMES} frames ({size / 1e6:.0f} MB): ombrix trace decode "
          f"{ours * 1e9:.0f} ns a frame, best of {', '.join(f'{r * 1e9:.0f}' for r in runs)} "
          f"({1 / ours / 1e6:.2f} M frames/s, peak memory {peak / 1024:.0f} MiB); "
          f"python-can with canmatrix {theirs * 1e6:.1f} us a frame; "
          f"{theirs / ours:.0f}x faster (goal at least 100x)")


if __name__ == "__main__":
    main()
