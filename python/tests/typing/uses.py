"""Ordinary uses of the module that its type stubs must accept under
mypy --strict (checked, never run)."""
import copy
import pickle

import ombrix


def frame_check(frame: ombrix.ByteArray) -> int:
    tail = frame.Interval(2)
    return ombrix.CRC.Of(frame) ^ ombrix.CRC.Of(tail) ^ ombrix.CRC.Of(b"\x01\x02")


def settings() -> ombrix.RegionalSettings:
    french = ombrix.RegionalSettings.French()
    plain = ombrix.RegionalSettings(DecimalSeparator=",", Grouping=0)
    negative = ombrix.RegionalSettings.NegativeForm.Parentheses
    return french.replace(DefaultDecimals=3, Negative=negative) if french != plain else plain


def copies(image: ombrix.MemoryImage) -> ombrix.MemoryImage:
    twin: ombrix.MemoryImage = copy.deepcopy(image)
    restored: ombrix.MemoryImage = pickle.loads(pickle.dumps(twin))
    return restored


def regions(path: str) -> int:
    try:
        file = ombrix.read_image(path)
    except OSError as refused:
        return refused.errno or 0
    except ombrix.FileError:
        return -1
    file.Regions = [ombrix.ImageRegion(0x10000, region.Image) for region in file.Regions]
    return sum(region.Image.BytesCount for region in file.Regions)


def index_error(array: ombrix.ByteArray) -> int:
    try:
        return array.Item(array.HighIndex + 1)
    except IndexError:
        return -1
