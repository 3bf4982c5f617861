"""The other classes from Python: fields and scaled values, enumerations,
memory maps and images as collections, property bags as mappings, image
files, and the documentation and stubs that ship with the module."""
import os
import pydoc
import sys
import tempfile

import pytest

import ombrix


def test_fields_scaled_values_and_enumerations():
    frame = ombrix.ByteArray.from_bytes(bytes.fromhex("10A53C7B0BB8020028D6"))
    speed = ombrix.LittleEndian()
    speed.RefersTo(frame, 8, 16)
    scaled = ombrix.ScaledValue()
    scaled.RefersTo, scaled.CoeffA, scaled.Precision = speed, 0.01, 2
    scaled.Settings = ombrix.RegionalSettings.French()
    assert (speed.Value, speed.Mask, scaled.Text) == (15525, "FFFF", "155,25")
    scaled.Text = "100,5"
    assert speed.Value == 10050 and frame.Text.startswith("104227")
    assert scaled.ToPhysical(200) == 2.0 and scaled.ToRaw(1.5) == 150
    # A field holds the array it is bound to now, and no other.
    held = sys.getrefcount(frame)
    other = ombrix.LittleEndian()
    other.RefersTo(frame, 0, 8)
    other.RefersTo(ombrix.ByteArray.from_bytes(b"\x05"), 0, 8)
    assert sys.getrefcount(frame) == held and other.Value == 5
    with pytest.raises(ombrix.Error) as raised:
        ombrix.RegionalSettings.English().ParseStrict("85,5")
    assert raised.value.Number == 13
    with pytest.raises(ombrix.Error) as raised:
        speed.Value = 70000
    assert (raised.value.Number, raised.value.Description) == (2000, "Value too big")
    states = ombrix.Enumeration()
    for text, value in (("Arrêt", 0), ("Marche", 2), ("Défaut", 3)):
        states.Add(text, value)
    assert list(states) == ["Arrêt", "Marche", "Défaut"] and len(states) == 3
    assert states.Text(2) == "Marche" and states.FindText(9) is None
    walk = states.NewEnum()
    assert next(walk) == "Arrêt" and walk.Skip(1) and walk.Next() == "Défaut" and walk.Next() is None


def test_maps_images_and_bags():
    memory_map = ombrix.MemoryMap()
    memory_map.Add(0x100, 16)
    memory_map.Add(0x110, 16)
    assert [(s.LowIndex, s.Count) for s in memory_map] == [(0x100, 32)]
    image = memory_map.MemoryImage(0xFF)
    assert len(image) == 1 and image.Item(1).Text == "FF" * 32
    image.MemoryWrite(ombrix.ByteArray.from_bytes(b"\x01\x02", 0x104))
    assert bytes(image.MemoryRead(0x103, 4)) == b"\xff\x01\x02\xff"
    assert image.MemoryRead(0x11F, 2) is None and image.Holding(0x200) is None
    assert image.Map.BytesCount == 32
    assert image.read_bytes(0x104, 2) == b"\x01\x02"
    # A stored array its caller moves or cuts short reads within what it holds.
    image.Holding(0x100).LowIndex = 0x7FFFFF00
    assert image.read_bytes(0x104, 2) == b"\x01\x02" and image.read_bytes(0x7FFFFF00, 1) is None
    image.Item(1).Count = 4
    assert image.read_bytes(0x100, 16) is None and image.Holding(0x104) is None
    image.Item(1).Count, image.Item(1).LowIndex = 32, 0x100
    bag = ombrix.MemoryPropertyBag()
    image.WriteProperties(bag)
    assert list(bag) == ["Count", "Start0", "Text0"] and bag["Start0"] == 0x100
    assert "Text1" not in bag and bag.ReadProperty("Text1", "none") == "none"
    with pytest.raises(KeyError):
        bag["Text1"]
    bag["Start0"] = 0x300
    assert ombrix.MemoryImage.Load(bag).Item(1).LowIndex == 0x300
    del bag["Count"]
    assert len(ombrix.MemoryImage.Load(bag)) == 0
    bag["kinds"] = [True, 1.5, ombrix.Null, None, "x", b"\x00"]
    assert bag["kinds"] == [True, 1.5, ombrix.Null, None, "x", b"\x00"]


def test_every_form_of_a_read_gives_the_same_bytes():
    # read_bytes(address, count) takes a faster road than its other forms;
    # all agree with MemoryRead, at the stored arrays' edges too.
    image = ombrix.MemoryImage()
    image.add_bytes(0x100, bytes(range(32)))
    image.add_bytes(0x140, bytes(range(9)))
    for address in range(0xF8, 0x150):
        for count in (1, 2, 8, 40):
            array = image.MemoryRead(address, count)
            assert image.read_bytes(address, count) == image.read_bytes(
                address=address, count=count) == (None if array is None else bytes(array))
    for address, count, error in ((0x100, -1, ombrix.Error), (2**40, 1, OverflowError),
                                  (0x100, 2**70, OverflowError), (0x100, 1.0, TypeError)):
        with pytest.raises(error):
            image.read_bytes(address, count)
    # So does add_bytes(address, data): joined, refused, or not bytes at all.
    image.add_bytes(0x120, memoryview(b"\xAA\xBB"))
    assert image.read_bytes(0x11F, 3) == b"\x1f\xaa\xbb" and len(image) == 2
    for address, data, error in ((0x104, b"\x00", ombrix.Error), (0x200, "AA", TypeError),
                                 (2**31, b"\x00", OverflowError)):
        with pytest.raises(error):
            image.add_bytes(address, data)
    assert image.Map.BytesCount == 43


def test_image_files_and_their_errors():
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "image.s37")
        image = ombrix.MemoryImage()
        image.add_bytes(0x7FFFFF00, bytes(range(32)))
        file = ombrix.ImageFile()
        file.Image, file.Base, file.StartAddress = image, 0x10000000, 0x8FFFFF00
        ombrix.write_image(file, path)
        read = ombrix.read_image(path)  # above 2 GiB: based at the lowest address
        assert (read.Base, read.StartAddress) == (0x8FFFFF00, 0x8FFFFF00)
        assert bytes(read.Image.Item(1)) == bytes(range(32))
        bad = os.path.join(folder, "bad.hex")
        with open(bad, "w") as text:
            text.write(":0100000001FF\n")
        with pytest.raises(ombrix.FileError) as raised:
            ombrix.read_image(bad)
        assert isinstance(raised.value, ombrix.Error) and str(raised.value).startswith(bad + ":1:")
        with pytest.raises(ValueError):
            ombrix.read_image(bad, format="pdf")
        # Flash at 08000000 and at 90000000: two regions, read by file address.
        wide = os.path.join(folder, "wide.hex")
        with open(wide, "w") as text:
            text.write(":020000040800F2\n:0100000011EE\n:0200000490006A\n:0100000022DD\n"
                       ":00000001FF\nvendor trailer\n")
        read = ombrix.read_image(wide)
        assert [region.Base for region in read.Regions] == [0, 0x90000000]
        assert read.read_bytes(0x90000000, 1) == b"\x22" and read.read_bytes(0x90000001, 1) is None
        assert read.Notices == [wide + ":6: 1 line after the end-of-file record ignored"]
        with pytest.raises(ValueError):
            read.Image
        with pytest.raises(ombrix.FileError):
            ombrix.read_image(wide, strict=True)
        with pytest.raises(ombrix.Error) as raised:
            file.Image = None
        assert raised.value.Number == 91


def test_documentation_and_stubs_ship_with_the_module():
    assert "Count bytes" in pydoc.render_doc(ombrix.ByteArray)
    assert "error 9 where there is no such byte" in pydoc.render_doc(ombrix.ByteArray.Item)
    package = os.path.dirname(ombrix.__file__)
    assert os.path.exists(os.path.join(package, "py.typed"))
    with open(os.path.join(package, "_ombrix.pyi")) as stubs:
        text = stubs.read()
    for name in dir(ombrix._ombrix):
        if not name.startswith("_"):
            assert name in text, f"{name} has no stub"
