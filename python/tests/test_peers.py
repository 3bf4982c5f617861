"""Property-based tests against the Python peers on random data: the CRC
against crcmod's CRC-16/X.25, images against intelhex (built from the same
chunks, and through each other's Intel HEX files), fields against bitstruct
(Motorola order) and against plain integer arithmetic (Intel order)."""
import os
import tempfile

import bitstruct
import crcmod.predefined
import intelhex
from hypothesis import given, settings, strategies as st

import ombrix

X25 = crcmod.predefined.mkCrcFun("x-25")


@settings(max_examples=300, deadline=None)
@given(st.binary(max_size=3000), st.integers(0, 3000))
def test_crc_matches_crcmod(data, split):
    fcs = X25(data)
    assert ombrix.CRC.Of(data) == fcs
    frame = ombrix.ByteArray.from_bytes(data, low_index=-5)
    crc = ombrix.CRC()
    crc.Append(frame.Interval(-5, split) if 0 < split < len(data) else frame)
    if 0 < split < len(data):
        crc.Append(frame.Interval(-5 + split))
    assert crc.Register ^ 0xFFFF == fcs
    ombrix.CRC.Stamp(frame)
    assert bytes(frame) == data + fcs.to_bytes(2, "little") and ombrix.CRC.Intact(frame)


chunks = st.lists(st.tuples(st.integers(0, 5000), st.binary(min_size=1, max_size=64)), max_size=60)


@settings(max_examples=150, deadline=None)
@given(chunks)
def test_images_match_intelhex(pieces):
    image, peer, held = ombrix.MemoryImage(), intelhex.IntelHex(), set()
    for address, data in pieces:
        span = set(range(address, address + len(data)))
        if span & held:  # an overlap: refused, nothing changes
            try:
                image.add_bytes(address, data)
                raise AssertionError("overlap accepted")
            except ombrix.Error as error:
                assert error.Number == 1000
            continue
        image.add_bytes(address, data)
        peer.puts(address, data)
        held |= span
    assert [(a.LowIndex, a.HighIndex + 1) for a in image] == peer.segments()
    for low, high in peer.segments():
        assert bytes(image.MemoryRead(low, high - low)) == peer.tobinstr(low, high - 1)
        # Short reads go straight into bytes; past a segment's end, nothing.
        count = min(high - low, 9)
        assert image.read_bytes(low, count) == peer.gets(low, count)
        assert image.read_bytes(high - 1, 2) is None
    with tempfile.TemporaryDirectory() as folder:
        ours, theirs = os.path.join(folder, "ours.hex"), os.path.join(folder, "theirs.hex")
        ombrix.write_image(image, ours, record_bytes=32)
        assert intelhex.IntelHex(ours).todict() == peer.todict()
        peer.write_hex_file(theirs)
        read = ombrix.read_image(theirs).Image
        assert [bytes(a) for a in read] == [bytes(a) for a in image]


@settings(max_examples=400, deadline=None)
@given(st.binary(min_size=5, max_size=5),
       st.integers(0, 7).flatmap(lambda skip: st.tuples(st.just(skip), st.integers(1, 32 - skip))),
       st.booleans())
def test_fields_match_bitstruct_and_integer_arithmetic(data, geometry, signed):
    skipped, bits = geometry
    if bits == 32 and not signed:
        signed = True
    frame = ombrix.ByteArray.from_bytes(data)
    motorola, intel = ombrix.BigEndian(), ombrix.LittleEndian()
    motorola.RefersTo(frame, SkippedBits=skipped, NumBits=bits, S=signed)
    intel.RefersTo(frame, SkippedBits=skipped, NumBits=bits, S=signed)
    code = (f"p{skipped}" if skipped else "") + f"{'s' if signed else 'u'}{bits}"
    assert motorola.Value == bitstruct.unpack(code, data)[0]
    raw = (int.from_bytes(data, "little") >> skipped) & ((1 << bits) - 1)
    if signed and raw >> (bits - 1):
        raw -= 1 << bits
    assert intel.Value == raw
    # Written back, bitstruct reads what was written and the other bits stay.
    motorola.Value = motorola.Min
    written = bytes(frame)
    assert bitstruct.unpack(code, written)[0] == motorola.Min
    rest = ((1 << 40) - 1) ^ (((1 << bits) - 1) << (40 - skipped - bits))
    assert int.from_bytes(written, "big") & rest == int.from_bytes(data, "big") & rest
