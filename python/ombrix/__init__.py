"""Ombrix: byte arrays with a movable lower index and hexadecimal text, live
views, bit fields in Intel or Motorola order, scaled values, enumerations,
memory maps and images, and the HDLC frame check sequence.

Library errors arrive as ombrix.Error (Number, Source, Description); file
errors as ombrix.FileError, one of them.
"""
from ._ombrix import *  # noqa: F401,F403
from ._ombrix import Error, FileError, Null  # noqa: F401
