#!/usr/bin/python3
"""Two Python threads each computing the CRC of 64 MiB (and the hex text of
16 MiB), beside one thread doing the same once: the calls let each other
run, so on two cores the pair takes about the time of one. Run with
PYTHONPATH pointing at the build tree's python folder (build/test/python).
"""
import os
import threading
import time

import ombrix


def best_of(runs, work):
    """The shortest of `runs` wall-clock times of work(), in seconds."""
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        work()
        times.append(time.perf_counter() - started)
    return min(times)


def in_threads(count, call):
    def work():
        threads = [threading.Thread(target=call) for _ in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    return work


def main():
    frame = os.urandom(64 << 20)
    array = ombrix.ByteArray.from_bytes(frame[: 16 << 20])
    for name, call in (("CRC.Of of 64 MiB", lambda: ombrix.CRC.Of(frame)),
                       ("Text of 16 MiB", lambda: array.Text)):
        one = best_of(5, in_threads(1, call))
        two = best_of(5, in_threads(2, call))
        print(f"{name:18} one thread {one * 1e3:7.1f} ms   two threads {two * 1e3:7.1f} ms   "
              f"ratio {two / one:4.2f} (1.0 when they run side by side, 2.0 when in turn)")


if __name__ == "__main__":
    main()
