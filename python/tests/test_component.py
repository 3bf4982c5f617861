"""The component server through ctypes alone (no compiled module), against
the Python module on random frames and fields: both must read the same raw
and scaled values and refuse the same fields with the same errors."""
import os
import sys

import pytest
from hypothesis import given, settings, strategies as st

import ombrix

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
import decode_frame_ctypes as component  # noqa: E402

if not os.environ.get("OMBRIX_COMPONENT"):
    pytest.skip("OMBRIX_COMPONENT does not name libombrix.so.1", allow_module_level=True)

LIB = component.load()


def module_decode(frame, motorola, skip, bits, signed, scale):
    array = ombrix.ByteArray.from_bytes(frame)
    field = ombrix.BigEndian() if motorola else ombrix.LittleEndian()
    field.RefersTo(array, skip, bits, signed)
    scaled = ombrix.ScaledValue()
    scaled.RefersTo = field
    scaled.CoeffA, scaled.CoeffB, scaled.CoeffC = scale
    return field.Value, scaled.Value


@settings(max_examples=int(os.environ.get("OMBRIX_EXAMPLES", "300")), derandomize=True,
          deadline=None)
@given(frame=st.binary(min_size=1, max_size=8), motorola=st.booleans(),
       skip=st.integers(-2, 70), bits=st.integers(0, 33), signed=st.booleans(),
       scale=st.tuples(st.sampled_from([1.0, 0.5, -0.25, 0.1]), st.sampled_from([0.0, -40.0, 3.5]),
                       st.sampled_from([1.0, 4.0, 0.0])))
def test_late_binding_through_ctypes_reads_what_the_module_reads(frame, motorola, skip, bits,
                                                                 signed, scale):
    try:
        expected = module_decode(frame, motorola, skip, bits, signed, scale)
    except ombrix.Error as error:
        with pytest.raises(component.OmbrixError) as raised:
            component.decode(LIB, frame, motorola, skip, bits, signed, scale)
        assert (raised.value.number, raised.value.description) == (error.Number,
                                                                   error.Description)
        return
    raw, value = component.decode(LIB, frame, motorola, skip, bits, signed, scale)
    assert raw == expected[0]
    assert value == expected[1] or (value != value and expected[1] != expected[1])


def test_the_script_prints_a_decoded_field(capsys):
    assert component.main(["0123456789ABCDEF", "--motorola", "--skip", "4", "--bits", "12",
                           "--scale", "0.25,0,1"]) == 0
    assert capsys.readouterr().out == "raw 291\nvalue 72.75\n"
    assert component.main(["01", "--bits", "40"]) == 2
    assert "error 1: Invalid data position" in capsys.readouterr().err
