"""The module behaves as Python code expects: its errors are the built-in
exceptions Python raises for the same faults, value classes compare by
value, every class has a useful repr, persistable objects copy and pickle,
and long calls let other threads run."""
import copy
import errno
import os
import pickle
import sys
import tempfile
import threading
import time

import pytest
from hypothesis import given, settings, strategies as st

import ombrix

Settings = ombrix.RegionalSettings


def test_errors_are_also_the_builtin_exceptions():
    array = ombrix.ByteArray.from_bytes(b"\x01\x02")
    field = ombrix.LittleEndian()
    field.RefersTo(array, 0, 8)
    cases = [
        (lambda: array.Item(7), IndexError, 9),
        (lambda: ombrix.RegionalSettings.English().Parse("douze"), ValueError, 13),
        (lambda: ombrix.RegionalSettings.English().Parse("douze"), TypeError, 13),
        (lambda: setattr(field, "Value", 300), ValueError, 2000),
        (lambda: ombrix.MemoryMap().Add(-1, 2), ValueError, 5),
        (lambda: setattr(array, "LowIndex", 2**31), OverflowError, 6),
        (lambda: ombrix.LittleEndian().Value, TypeError, 91),
    ]
    for action, builtin, number in cases:
        with pytest.raises(builtin) as raised:
            action()
        assert isinstance(raised.value, ombrix.Error)
        assert raised.value.Number == number
        assert str(raised.value).startswith(f"error {number}: ")
    # The library's own numbers stay plain ombrix.Error, described as specified.
    with pytest.raises(ombrix.Error) as raised:
        array.Text = "ABC"
    assert type(raised.value) is ombrix.Error and raised.value.Number == 1000
    # A limit and the value refused are in the message, not in Description.
    with pytest.raises(ombrix.FieldRangeError) as raised:
        field.Value = 300
    assert raised.value.Description == "Value too big"
    assert "300 is outside the field's limits 0..255" in str(raised.value)


def test_files_the_system_refuses_are_os_errors():
    with tempfile.TemporaryDirectory() as folder:
        missing = os.path.join(folder, "missing.hex")
        with pytest.raises(OSError) as raised:
            ombrix.read_image(missing)
        error = raised.value
        assert isinstance(error, ombrix.FileError) and isinstance(error, ombrix.Error)
        assert (error.errno, error.filename, error.Source) == (errno.ENOENT, missing, missing)
        assert str(error) == f"{missing}: cannot open: {os.strerror(errno.ENOENT)}"
        with pytest.raises(OSError, match="Is a directory"):
            ombrix.write_image(ombrix.MemoryImage(), folder, "ihex")
        # A file at fault is a FileError, not an OSError.
        bad = os.path.join(folder, "bad.hex")
        with open(bad, "w") as out:
            out.write(":0100000001FF\n")
        with pytest.raises(ombrix.FileError) as raised:
            ombrix.read_image(bad)
        assert not isinstance(raised.value, OSError)
        assert raised.value.Source == bad


def test_stubs_pass_mypy_strict(tmp_path, monkeypatch):
    mypy_api = pytest.importorskip("mypy.api")
    import mypy

    monkeypatch.setenv("MYPYPATH", os.path.dirname(os.path.dirname(ombrix.__file__)))
    here = os.path.join(os.path.dirname(__file__), "typing")
    checked = [os.path.join(here, "uses.py")]
    # memoryview(array) type-checks only where typeshed has the buffer
    # protocol (Buffer, with __buffer__); Debian 12's mypy predates it.
    typeshed = os.path.join(os.path.dirname(mypy.__file__), "typeshed", "stdlib")
    with open(os.path.join(typeshed, "typing_extensions.pyi")) as stub:
        if "class Buffer" in stub.read():
            checked.append(os.path.join(here, "buffer_uses.py"))
    out, err, status = mypy_api.run(["--strict", "--cache-dir", str(tmp_path), *checked])
    assert status == 0, out + err


separators = st.sampled_from([".", ",", " ", "\u00a0", "'", ""])
regional = st.builds(
    Settings,
    DecimalSeparator=st.sampled_from([".", ","]),
    GroupSeparator=separators,
    Grouping=st.integers(0, 4),
    LeadingZero=st.booleans(),
    Negative=st.sampled_from(list(Settings.NegativeForm.__members__.values())),
    DefaultDecimals=st.integers(0, 6),
)


@settings(max_examples=200, deadline=None)
@given(regional, regional)
def test_regional_settings_are_values(a, b):
    # Equal exactly when every setting is; equal ones hash alike; copies,
    # pickles and reprs give the same value back.
    fields = ("DecimalSeparator", "GroupSeparator", "Grouping", "LeadingZero", "Negative",
              "DefaultDecimals")
    same = all(getattr(a, f) == getattr(b, f) for f in fields)
    assert (a == b) == same and (a != b) != same
    if same:
        assert hash(a) == hash(b)
    for twin in (copy.copy(a), copy.deepcopy(a), pickle.loads(pickle.dumps(a)),
                 eval(repr(a), {"RegionalSettings": Settings})):
        assert twin == a
    assert a.replace(DefaultDecimals=b.DefaultDecimals).DefaultDecimals == b.DefaultDecimals
    assert a.replace(Grouping=b.Grouping).Format(-1234567.25, 2) == \
        Settings(a.DecimalSeparator, a.GroupSeparator, b.Grouping, a.LeadingZero, a.Negative,
                 a.DefaultDecimals).Format(-1234567.25, 2)


def test_values_cannot_be_changed_through_a_copy():
    scaled = ombrix.ScaledValue()
    with pytest.raises(AttributeError):
        scaled.Settings.DecimalSeparator = ","
    with pytest.raises(TypeError):
        Settings.French().replace(Decimal=",")
    scaled.Settings = Settings.French().replace(DefaultDecimals=4)
    assert scaled.Settings.DefaultDecimals == 4 and scaled.Settings != Settings.French()
    # Bounds are snapshots compared by value.
    array = ombrix.ByteArray.from_bytes(b"\x00" * 4, 0x100)
    bounds = array.Bounds
    assert bounds == array.Bounds and hash(bounds) == hash(array.Bounds)
    assert bounds != ombrix.ByteArray().Bounds and bounds != (0x100, 4)
    assert pickle.loads(pickle.dumps(bounds)) == bounds
    # A file's regions are a tuple of values; the file changes by new ones.
    file = ombrix.ImageFile()
    file.Regions = [ombrix.ImageRegion(0x9000_0000)]
    with pytest.raises(AttributeError):
        file.Regions[0].Base = 0
    with pytest.raises(AttributeError):
        file.Regions.append(ombrix.ImageRegion())
    file.Regions[0].Image.add_bytes(0x10, b"\x01")
    assert file.read_bytes(0x9000_0010, 1) == b"\x01"


@settings(max_examples=100, deadline=None)
@given(st.binary(max_size=64), st.integers(-2**31, 2**31 - 65),
       st.lists(st.tuples(st.text(max_size=8), st.integers(-2**31, 2**31 - 1)), max_size=6),
       st.lists(st.integers(0, 40), max_size=10))
def test_persistable_objects_copy_and_pickle(data, low, pairs, gaps):
    array = ombrix.ByteArray.from_bytes(data, low)
    states = ombrix.Enumeration()
    for text, value in pairs:
        states.Add(text, value)
    memory_map = ombrix.MemoryMap()
    address = 0
    for gap in gaps:
        memory_map.Add(address, gap + 1)
        address += 2 * gap + 2
    image = memory_map.MemoryImage(0xA5)
    for make in (copy.copy, copy.deepcopy, lambda o: pickle.loads(pickle.dumps(o))):
        twin = make(array)
        assert twin is not array and (twin.LowIndex, bytes(twin)) == (low, data)
        twin.Fill(0x5A) if len(twin) else None
        assert bytes(array) == data  # independent of the original
        assert [(t, states.Value(t)) for t in make(states)] == \
            [(t, states.Value(t)) for t in states]
        assert [(s.LowIndex, s.Count) for s in make(memory_map)] == \
            [(s.LowIndex, s.Count) for s in memory_map]
        assert [(a.LowIndex, a.Text) for a in make(image)] == [(a.LowIndex, a.Text) for a in image]


def test_every_class_has_a_useful_repr():
    frame = ombrix.ByteArray.from_bytes(bytes.fromhex("10A53C"), 0x100)
    field = ombrix.LittleEndian()
    assert "error 91" in repr(field)
    field.RefersTo(frame, 8, 16)
    scaled = ombrix.ScaledValue()
    scaled.RefersTo, scaled.Unit = field, "rpm"
    states = ombrix.Enumeration()
    states.Add("Arrêt", 0)
    memory_map = ombrix.MemoryMap()
    memory_map.Add(0x100, 32)
    bag = ombrix.MemoryPropertyBag()
    bag["Speed"] = 70
    expected = {
        frame: "<ByteArray LowIndex=256 Text='10A53C'>",
        frame.Interval(0x101, 2): "<ByteArrayInterval LowIndex=1 Text='A53C'>",
        frame.Bounds: "<ArrayBounds LowIndex=256 Count=3>",
        field: "<LittleEndian Value=15525 Min=0 Max=65535>",
        scaled: "<ScaledValue Text='15525' Unit='rpm' CoeffA=1.0 CoeffB=0.0 CoeffC=1.0>",
        states: "<Enumeration 1 pairs: 'Arrêt'=0>",
        memory_map: "<MemoryMap 1 segments, 32 bytes: 00000100-0000011F>",
        memory_map.MemoryImage(0): "<MemoryImage 1 arrays, 32 bytes: 00000100-0000011F>",
        ombrix.CRC(): "<CRC Register=0xFFFF>",
        bag: "<MemoryPropertyBag {'Speed': 70}>",
        ombrix.Null: "ombrix.Null",
    }
    for value, text in expected.items():
        assert repr(value) == text
    file = ombrix.ImageFile()
    file.Regions = [ombrix.ImageRegion(0x1000, memory_map.MemoryImage(0))]
    assert repr(file) == "<ImageFile 1 regions: 00001100-0000111F>"
    assert repr(file.Regions[0]).startswith("ImageRegion(Base=0x00001000, Image=<MemoryImage 1")
    assert repr(Settings.French()).startswith("RegionalSettings(DecimalSeparator=','")
    # help() speaks Python: no C++ type names in any signature.
    import pydoc
    import re
    text = pydoc.render_doc(ombrix._ombrix)
    assert not re.search(r"ombrix::|std::|pybind11::|\bhandle\b", text)


def test_long_calls_let_other_threads_run(tmp_path):
    # The worker notes when its call starts and ends; the main thread notes
    # each of its own steps. A call that held the interpreter would leave no
    # step in the middle half of its time (a switch before it can only take
    # one switch interval, far shorter than the call).
    array = ombrix.ByteArray.from_bytes(os.urandom(1 << 20))
    while True:
        started = time.perf_counter()
        array.Text
        if time.perf_counter() - started > 0.04:
            break
        array = ombrix.ByteArray.from_bytes(bytes(array) * 2)
    times = {}
    image = ombrix.MemoryImage()
    image.Add(array)
    path = str(tmp_path / "big.hex")
    calls = {"hex text": lambda: array.Text,
             "write_image": lambda: ombrix.write_image(image, path),
             "read_image": lambda: ombrix.read_image(path)}
    for name, call in calls.items():
        def work():
            times["start"] = time.perf_counter()
            call()
            times["end"] = time.perf_counter()
        worker = threading.Thread(target=work)
        steps = []
        old_interval = sys.getswitchinterval()
        sys.setswitchinterval(0.001)
        try:
            worker.start()
            while worker.is_alive():
                steps.append(time.perf_counter())
        finally:
            sys.setswitchinterval(old_interval)
        quarter = (times["end"] - times["start"]) / 4
        middle = [t for t in steps if times["start"] + quarter < t < times["end"] - quarter]
        assert len(middle) > 100, name
