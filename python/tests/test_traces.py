"""Bus traces from Python: the frames python-can writes read back frame by
frame, each frame's data a view on the frame itself; and a whole trace
decoded into columns, compared with canmatrix decoding the same frames."""
import math
import os
import random

import pytest

import ombrix

can = pytest.importorskip("can")
canmatrix = pytest.importorskip("canmatrix")
import canmatrix.formats  # noqa: E402

SAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "samples")


def random_messages(count, seed):
    r = random.Random(seed)
    t = 1700000000.0
    messages = []
    for _ in range(count):
        t = round(t + r.random(), 6)
        fd = r.random() < 0.3
        extended = r.random() < 0.3
        length = r.choice([0, 8, 12, 64]) if fd else r.randrange(9)
        messages.append(can.Message(
            timestamp=t, arbitration_id=r.choice([0x123, 0x7DF])
            if r.random() < 0.5 else r.randrange(0x20000000 if extended else 0x800),
            is_extended_id=extended, is_fd=fd, bitrate_switch=fd and r.random() < 0.5,
            dlc=length, data=bytes(r.randrange(256) for _ in range(length)),
            channel=r.randrange(2), is_rx=r.random() < 0.8))
    return messages


@pytest.mark.parametrize("suffix", [".log", ".asc", ".blf"])
def test_frames_read_as_python_can_wrote_them(tmp_path, suffix):
    messages = random_messages(300, len(suffix))
    path = str(tmp_path / ("trace" + suffix))
    with can.Logger(path) as logger:
        for message in messages:
            logger.on_message_received(message)
    frames = list(ombrix.Trace(path))
    assert len(frames) == len(messages)
    start = frames[0].nanoseconds
    for frame, message in zip(frames, messages):
        assert (frame.id, frame.extended, frame.fd, frame.bit_rate_switch, frame.transmitted) == (
            message.arbitration_id, message.is_extended_id, message.is_fd,
            message.bitrate_switch, not message.is_rx)
        assert bytes(frame.data) == bytes(message.data)
        assert frame.length == len(message.data)
        # ASC and BLF keep times from their start, whose date has milliseconds.
        elapsed = (frame.nanoseconds - start) / 1e9
        assert abs(elapsed - (message.timestamp - messages[0].timestamp)) < 2e-6
    # The data is a view on the frame's own bytes, not a copy.
    view = frames[0].data
    assert view.obj is frames[0] and view.readonly and memoryview(frames[0]) == view


def test_bad_lines_are_skipped_or_refused(tmp_path):
    path = tmp_path / "bad.log"
    path.write_text("(1.0) can0 123#11\n(2.0) can0 12#11\n(3.0) can0 124#22\n")
    trace = ombrix.Trace(str(path))
    assert [f.id for f in trace] == [0x123, 0x124] and trace.skipped == 1
    with pytest.raises(ombrix.FileError, match="bad.log:2"):
        list(ombrix.Trace(str(path), strict=True))
    with pytest.raises(ValueError):
        ombrix.Trace(str(path), format="nope")


def test_a_whole_trace_decodes_into_the_columns_canmatrix_gives(tmp_path):
    dbc = os.path.join(SAMPLES, "engine.dbc")
    database = ombrix.SignalDatabase.read(dbc)
    r = random.Random(3)
    path = str(tmp_path / "drive.log")
    with can.Logger(path) as logger:
        for k in range(500):
            speed, rpm = r.uniform(0, 650), r.uniform(0, 16000)
            data = database.encode("EngineData", {"Speed": speed, "Rpm": rpm,
                                                  "Temperature": float(r.randrange(-40, 80)),
                                                  "State": float(r.choice([0, 1, 2, 15]))})
            logger.on_message_received(can.Message(timestamp=1700000000 + k / 100,
                                                   arbitration_id=0x123, is_extended_id=False,
                                                   data=data))
            logger.on_message_received(can.Message(timestamp=1700000000 + k / 100 + 0.001,
                                                   arbitration_id=0x7DF, is_extended_id=False,
                                                   data=bytes(8)))
    columns = ombrix.decode_trace(path, dbc, ["EngineData.Speed", "EngineData.State"])
    matrix = canmatrix.formats.loadp_flat(dbc)
    frame = matrix.frame_by_id(canmatrix.ArbitrationId(0x123, extended=False))
    expected = {"EngineData.Speed": ([], []), "EngineData.State": ([], [])}
    for message in can.LogReader(path):
        if message.arbitration_id != 0x123:
            continue
        decoded = frame.decode(message.data)
        for name in expected:
            expected[name][0].append(message.timestamp)
            expected[name][1].append(float(decoded[name.split(".")[1]].phys_value))
    assert sorted(columns) == sorted(expected)
    for name, (times, values) in columns.items():
        assert len(times) == len(expected[name][0]) == 500
        assert all(abs(a - b) < 1e-6 for a, b in zip(times, expected[name][0]))
        assert all(math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-9)
                   for a, b in zip(values, expected[name][1]))
    with pytest.raises(KeyError):
        ombrix.decode_trace(path, dbc, ["EngineData.Nope"])
