"""Ombrix: byte arrays with a movable lower index and hexadecimal text, live
views, bit fields in Intel or Motorola order, scaled values, enumerations,
memory maps and images, and the HDLC frame check sequence.

Library errors arrive as ombrix.Error (Number, Source, Description); file
errors as ombrix.FileError, one of them.

Threads: an object is used by one thread at a time, reads included; objects
tied by references (a view and its array, a field and its array, an image
and the arrays it handed out) count as one; distinct objects may be used on
distinct threads. Long calls (the CRC and hexadecimal text of large arrays,
read_image and write_image, large image reads and writes) let other Python
threads run meanwhile; the objects such a call uses stay the caller's to keep
from other threads, as in C++.
"""
from ._ombrix import *  # noqa: F401,F403
from ._ombrix import Error, FileError, Null  # noqa: F401
