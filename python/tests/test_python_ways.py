"""The module behaves as Python code expects: its errors are the built-in
exceptions Python raises for the same faults, value classes compare by
value, every class has a useful repr, persistable objects copy and pickle,
and long calls let other threads run."""
import copy
import errno
import os
import pickle
import tempfile

import pytest

import ombrix


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
