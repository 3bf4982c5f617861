#!/usr/bin/env python3
"""Decodes a frame through the component server (libombrix.so.1) with
ctypes alone, by late binding, as any language that loads a C library can:
a field of the frame read in Intel or Motorola order and scaled.

    decode_frame_ctypes.py HEX_FRAME [--motorola] [--skip N] [--bits N]
                           [--signed] [--scale A,B,C]

The library is found through OMBRIX_COMPONENT (a path) or the system's
library path."""
import argparse
import ctypes
import ctypes.util
import os
import sys

OMBRIX_EMPTY, OMBRIX_BOOLEAN, OMBRIX_LONG, OMBRIX_DOUBLE = 0, 2, 5, 6
OMBRIX_STRING, OMBRIX_BYTES, OMBRIX_OBJECT = 8, 9, 10
METHOD, GET, LET, SET = 1, 2, 4, 8


class _Text(ctypes.Structure):
    _fields_ = [("data", ctypes.c_char_p), ("size", ctypes.c_size_t)]


class _Bytes(ctypes.Structure):
    _fields_ = [("data", ctypes.POINTER(ctypes.c_uint8)), ("size", ctypes.c_size_t)]


class _As(ctypes.Union):
    _fields_ = [("boolean", ctypes.c_int32), ("byte", ctypes.c_uint8),
                ("integer", ctypes.c_int16), ("long_value", ctypes.c_int32),
                ("number", ctypes.c_double), ("text", _Text), ("bytes", _Bytes),
                ("object", ctypes.c_void_p)]


class Value(ctypes.Structure):
    """ombrix_value: an argument or a result."""
    _fields_ = [("kind", ctypes.c_int32), ("lower_bound", ctypes.c_int32), ("as_", _As),
                ("owned", ctypes.c_void_p)]


class OmbrixError(Exception):
    def __init__(self, number, description, source):
        super().__init__(f"error {number}: {description}")
        self.number, self.description, self.source = number, description, source


def load(path=None):
    """The component server, its functions declared."""
    path = path or os.environ.get("OMBRIX_COMPONENT") or ctypes.util.find_library("ombrix")
    if not path:
        raise OSError("libombrix.so.1 not found: set OMBRIX_COMPONENT")
    lib = ctypes.CDLL(path)
    lib.ombrix_create.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
    lib.ombrix_release.argtypes = [ctypes.c_void_p]
    lib.ombrix_release.restype = ctypes.c_uint32
    lib.ombrix_invoke.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_uint32,
                                  ctypes.POINTER(Value), ctypes.c_size_t, ctypes.POINTER(Value)]
    lib.ombrix_value_clear.argtypes = [ctypes.POINTER(Value)]
    lib.ombrix_error_description.restype = ctypes.c_char_p
    lib.ombrix_error_source.restype = ctypes.c_char_p
    return lib


class Object:
    """A counted reference to one of the library's objects; members by name."""

    def __init__(self, lib, handle):
        self._lib, self._handle = lib, handle

    @classmethod
    def create(cls, lib, name):
        handle = ctypes.c_void_p()
        cls._check(lib, lib.ombrix_create(name.encode(), ctypes.byref(handle)))
        return cls(lib, handle.value)

    @staticmethod
    def _check(lib, status):
        if status != 0:
            raise OmbrixError(status, lib.ombrix_error_description().decode(),
                              lib.ombrix_error_source().decode())

    def __del__(self):
        if self._handle:
            self._lib.ombrix_release(self._handle)
            self._handle = None

    def _argument(self, python, keep):
        value = Value()
        if isinstance(python, Object):
            value.kind, value.as_.object = OMBRIX_OBJECT, python._handle
        elif isinstance(python, bool):
            value.kind, value.as_.boolean = OMBRIX_BOOLEAN, int(python)
        elif isinstance(python, int):
            value.kind, value.as_.long_value = OMBRIX_LONG, python
        elif isinstance(python, float):
            value.kind, value.as_.number = OMBRIX_DOUBLE, python
        elif isinstance(python, str):
            data = python.encode()
            keep.append(data)
            value.kind, value.as_.text = OMBRIX_STRING, _Text(data, len(data))
        elif isinstance(python, (bytes, bytearray)):
            buffer = (ctypes.c_uint8 * len(python)).from_buffer_copy(python)
            keep.append(buffer)
            value.kind, value.as_.bytes = OMBRIX_BYTES, _Bytes(buffer, len(python))
        return value

    def _result(self, value):
        try:
            if value.kind == OMBRIX_LONG:
                return value.as_.long_value
            if value.kind == OMBRIX_DOUBLE:
                return value.as_.number
            if value.kind == OMBRIX_BOOLEAN:
                return bool(value.as_.boolean)
            if value.kind == OMBRIX_STRING:
                return ctypes.string_at(value.as_.text.data, value.as_.text.size).decode()
            if value.kind == OMBRIX_BYTES:
                return ctypes.string_at(value.as_.bytes.data, value.as_.bytes.size)
            if value.kind == OMBRIX_OBJECT and value.as_.object:
                self._lib.ombrix_add_ref(ctypes.c_void_p(value.as_.object))
                return Object(self._lib, value.as_.object)
            return None
        finally:
            self._lib.ombrix_value_clear(ctypes.byref(value))

    def invoke(self, name, kinds, *arguments):
        keep = []
        values = (Value * max(1, len(arguments)))(*[self._argument(a, keep) for a in arguments])
        result = Value()
        self._check(self._lib, self._lib.ombrix_invoke(self._handle, name.encode(), kinds, values,
                                                       len(arguments), ctypes.byref(result)))
        return self._result(result)

    def get(self, name, *arguments):
        return self.invoke(name, GET, *arguments)

    def let(self, name, *arguments):
        self.invoke(name, LET, *arguments)

    def call(self, name, *arguments):
        return self.invoke(name, METHOD, *arguments)


def decode(lib, frame, motorola=False, skip=0, bits=8, signed=False, scale=(1.0, 0.0, 1.0)):
    """The field's raw value and its scaled value, by late binding alone."""
    array = Object.create(lib, "ByteArray")
    array.let("Value", bytes(frame))
    field = Object.create(lib, "BigEndian" if motorola else "LittleEndian")
    field.call("RefersTo", array, skip, bits, signed)
    scaled = Object.create(lib, "ScaledValue")
    scaled.invoke("RefersTo", SET, field)
    for name, coefficient in zip(("CoeffA", "CoeffB", "CoeffC"), scale):
        scaled.let(name, float(coefficient))
    return field.get("Value"), scaled.get("Value")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("frame")
    parser.add_argument("--motorola", action="store_true")
    parser.add_argument("--skip", type=int, default=0)
    parser.add_argument("--bits", type=int, default=8)
    parser.add_argument("--signed", action="store_true")
    parser.add_argument("--scale", default="1,0,1")
    options = parser.parse_args(argv)
    lib = load()
    try:
        raw, value = decode(lib, bytes.fromhex(options.frame), options.motorola, options.skip,
                            options.bits, options.signed,
                            tuple(float(x) for x in options.scale.split(",")))
    except OmbrixError as error:
        print(f"decode_frame_ctypes: {error}", file=sys.stderr)
        return 2
    print(f"raw {raw}\nvalue {value!r}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
