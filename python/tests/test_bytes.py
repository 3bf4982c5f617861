"""ByteArray and its views from Python: properties, indexing, the buffer
protocol (no copy, writes seen both ways, no resize while lent) and errors."""
import pytest

import ombrix


def test_python_face_of_an_array_and_its_views():
    a = ombrix.ByteArray.from_bytes(b"\x01\x02\x03\x04", low_index=10)
    assert (a.LowIndex, a.HighIndex, a.Count, len(a), a.Text) == (10, 13, 4, 4, "01020304")
    assert a.Item(11) == 2 and a[13] == 4 and list(a) == [1, 2, 3, 4]
    a.Item(12, 0x141)  # the low 8 bits, as Item let keeps them
    a[13] = -1
    assert bytes(a) == b"\x01\x02\x41\xff" and a.Value == b"\x01\x02\x41\xff"
    view = a.Interval(11, 2)
    trail = a.Interval(12)
    assert type(view) is ombrix.ByteArrayInterval and type(trail) is ombrix.ByteArrayTrail
    view.Text = "AABB"
    assert a.Text == "01AABBFF" and trail.Text == "BBFF"
    trail.Count = 4  # a trail resizes its array
    assert a.Count == 6 and a.Bounds.HighIndex == 15
    a.Copy = ombrix.ByteArray.from_bytes(b"xy")
    assert a.Text == "7879" and a.LowIndex == 10 and a.Copy.LowIndex == 1
    a.Value = "é€"  # text goes to code page 1252
    assert bytes(a) == b"\xe9\x80"
    a.Value = None
    assert a.Count == 0 and a.Value is None
    destination = bytearray(4)
    ombrix.ByteArray.from_bytes(b"\x05\x06\x07").WriteBytes(destination, 1, 2, 2)
    assert destination == bytearray(b"\x00\x06\x07\x00")


def test_memoryview_lends_the_bytes_themselves():
    a = ombrix.ByteArray.from_bytes(bytes(range(8)))
    with memoryview(a) as lent:
        assert lent.format == "B" and lent.readonly is False and lent.nbytes == 8
        lent[0] = 0xAA
        a.Item(2, 0xBB)
        assert a.Item(1) == 0xAA and lent[1] == 0xBB
        # No size change while the bytes are lent: error 10, nothing changed.
        for resize in (lambda: setattr(a, "Count", 9), lambda: setattr(a, "Text", "00"),
                       lambda: setattr(a.Interval(9), "Count", 2)):
            with pytest.raises(ombrix.Error) as raised:
                resize()
            assert raised.value.Number == 10
            assert raised.value.Description == "This array is fixed or temporarily locked"
        a.Text = "FF" * 8  # the same size writes in place
        assert lent.tobytes() == b"\xff" * 8
    a.Count = 3  # released: resizing works again
    view = a.Interval(2, 2)
    with memoryview(view) as lent:
        lent[1] = 7
        assert a.Item(3) == 7
        with pytest.raises(ombrix.Error):
            a.Count = 1  # a view's buffer holds its parent
    a.Count = 1
    with pytest.raises(ombrix.Error) as raised:
        memoryview(view)  # the view's bytes are gone: what reading them says
    assert raised.value.Number == 9
    assert bytes(ombrix.ByteArray()) == b"" and memoryview(ombrix.ByteArray()).nbytes == 0


def test_errors_carry_number_source_and_description():
    a = ombrix.ByteArray()
    with pytest.raises(ombrix.Error) as raised:
        a.Text = "ABC"
    error = raised.value
    assert (error.Number, error.Source) == (1000, "Ombrix")
    assert error.Description == "la propriété Text doit être de longueur paire"
    assert str(error) == "error 1000: la propriété Text doit être de longueur paire"
    with pytest.raises(ombrix.Error) as raised:
        a.Interval(1, 2).Count = 3
    assert raised.value.Source == "Propriété Count en lecture seule"
    # Beyond 32 bits is the library's overflow, never a wrap; bytes past 255 too.
    for call in (lambda: a.Item(2**32), lambda: setattr(a, "LowIndex", -2**31 - 1),
                 lambda: a.Fill(256), lambda: setattr(a, "Value", [2**40])):
        with pytest.raises(ombrix.Error) as raised:
            call()
        assert raised.value.Number == 6
    a.LowIndex = -2**31
    assert a.LowIndex == -2**31
    with pytest.raises(TypeError, match="Index"):
        a.Item("1")
    with pytest.raises(TypeError, match="data"):
        ombrix.ByteArray.from_bytes("text")
    with pytest.raises(TypeError, match="Value"):
        a.Value = object()
