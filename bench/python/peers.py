#!/usr/bin/python3
"""The Python module beside its Python peers, in one run: each line gives
both times per operation and the ratio. Run with PYTHONPATH pointing at the
build tree's python folder (e.g. build/test/python).

  CRC-16/X.25 of 1 MiB      ombrix.CRC.Of            crcmod's C extension
  image from 100k chunks    MemoryImage.add_bytes    IntelHex.puts
  8-byte read               MemoryImage.read_bytes   IntelHex.gets
  12-bit field of 8 bytes   LittleEndian.Value       bitstruct.unpack
  hex text of 1 MiB         ByteArray.Text           bytes.hex().upper()
  frame of 5 signals (DBC)  SignalDatabase.decode    canmatrix Frame.decode
"""
import io
import os
import random
import timeit

import bitstruct
import crcmod.predefined
import intelhex

import ombrix

SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")


def per_call(statement, number, repeat=5):
    """The best of `repeat` runs, in seconds per call."""
    return min(timeit.repeat(statement, number=number, repeat=repeat)) / number


def report(work, ours, peer, goal):
    print(f"{work:28} ombrix {ours * 1e9:12.1f} ns   peer {peer * 1e9:12.1f} ns   "
          f"{peer / ours:7.1f}x faster   (goal {goal})")


def main():
    rng = random.Random(7)
    mib = rng.randbytes(1 << 20)
    x25 = crcmod.predefined.mkCrcFun("x-25")
    assert ombrix.CRC.Of(mib) == x25(mib)
    report("CRC-16/X.25 of 1 MiB", per_call(lambda: ombrix.CRC.Of(mib), 200),
           per_call(lambda: x25(mib), 5), "at least 50x")

    # 100,000 16-byte chunks, about half touching the one before, shuffled.
    addresses, at = [], 0
    for _ in range(100_000):
        addresses.append(at)
        at += 16 if rng.random() < 0.5 else 32
    rng.shuffle(addresses)
    chunk = bytes(range(16))

    def build_ombrix():
        image = ombrix.MemoryImage()
        for address in addresses:
            image.add_bytes(address, chunk)
        return image

    def build_intelhex():
        image = intelhex.IntelHex()
        for address in addresses:
            image.puts(address, chunk)  # no overlap check: the peer's advantage
        return image

    report("image from 100k chunks", per_call(build_ombrix, 1, 3) / len(addresses),
           per_call(build_intelhex, 1, 3) / len(addresses), "at least 10x")

    image, peer = build_ombrix(), build_intelhex()
    starts = [rng.choice(addresses) + rng.randrange(9) for _ in range(10_000)]
    assert all(image.read_bytes(s, 8) == bytes(image.MemoryRead(s, 8)) == peer.gets(s, 8)
               for s in starts[:100])

    def read_ombrix():
        for start in starts:
            image.read_bytes(start, 8)

    def read_intelhex():
        for start in starts:
            peer.gets(start, 8)

    report("8-byte read", per_call(read_ombrix, 3) / len(starts),
           per_call(read_intelhex, 3) / len(starts), "at least 5x")

    frame = rng.randbytes(8)
    array = ombrix.ByteArray.from_bytes(frame)
    field = ombrix.BigEndian()
    field.RefersTo(array, 4, 12)
    assert field.Value == bitstruct.unpack("p4u12", frame)[0]
    report("12-bit field of 8 bytes", per_call(lambda: field.Value, 200_000),
           per_call(lambda: bitstruct.unpack("p4u12", frame), 200_000), "at least 2x")

    text = ombrix.ByteArray.from_bytes(mib)
    assert text.Text == mib.hex().upper()
    report("hex text of 1 MiB", per_call(lambda: text.Text, 50),
           per_call(lambda: mib.hex().upper(), 50), "at least 3x")

    try:
        import canmatrix
        import canmatrix.formats
    except ImportError:
        print("frame of 5 signals (DBC): canmatrix is not installed (python3-canmatrix)")
        return
    with open(os.path.join(SAMPLES, "engine.dbc")) as dbc:
        text = dbc.read()
    database = ombrix.SignalDatabase.parse(text)
    peer_frame = canmatrix.formats.loads_flat(text, import_type="dbc").frame_by_id(
        canmatrix.ArbitrationId(291, extended=False))
    data = database.encode("EngineData", {"Speed": 70.0, "Rpm": 1750.0, "State": "Running"})
    peer_data = bytearray(data)
    peer_time = per_call(lambda: peer_frame.decode(peer_data), 5_000)
    report("frame of 5 signals (DBC)", per_call(lambda: database.decode(291, data), 100_000),
           peer_time, "at least 50x")
    # What any decoder returning a dict pays in CPython alone: a dict display
    # of the same keys and as many new floats, with no call at all.
    keys = list(database.decode(291, data))
    display = eval("lambda x: {" + ", ".join(f"{key!r}: x * {k}.0" for k, key in
                                             enumerate(keys)) + "}")
    report(f"  dict of {len(keys)} new floats", per_call(lambda: display(1.5), 100_000),
           peer_time, "CPython's own floor for a dict result")


if __name__ == "__main__":
    main()
