// Memory maps and images, their enumerators, and the frame check sequence.
#include <pybind11/stl.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "ombrix/checksum/crc.h"
#include "ombrix/frame/enumerator.h"
#include "ombrix/memory/memory_image.h"
#include "ombrix/memory/memory_map.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

// An enumerator is a Python iterator, and keeps its members.
template <typename T>
void BindEnumerator(py::module_& m, const char* name) {
  using Walk = Enumerator<T>;
  py::class_<Walk, std::shared_ptr<Walk>>(m, name,
                                          "An iterator over a snapshot of a collection's items.")
      .def("__iter__", [](const std::shared_ptr<Walk>& walk) { return walk; })
      .def("__next__",
           [](Walk& walk) {
             T item{};
             if (!walk.Next(item)) throw py::stop_iteration();
             return item;
           })
      .def(
          "Next",
          [](Walk& walk) -> py::object {
            T item{};
            if (!walk.Next(item)) return py::none();
            return py::cast(item);
          },
          "The next item, or None past the last one.")
      .def(
          "Skip", [](Walk& walk, Long count) { return walk.Skip(count.value); }, py::arg("Count"),
          "Passes over Count items; False when fewer were left.")
      .def("Reset", &Walk::Reset, "Back to the first item.");
}

// "<MemoryMap 2 segments, 48 bytes: 00000100-0000011F, ...>": a map's or an
// image's count, bytes and first few address ranges.
template <typename Collection>
std::string Summary(const Collection& object, const char* kind, const char* noun) {
  std::vector<std::pair<int64_t, int64_t>> ranges;
  for (int32_t k = 1; k <= object.Count() && k <= 5; ++k) {
    const auto item = object.Item(k);
    ranges.emplace_back(item->LowIndex(), item->Count());
  }
  return "<" + std::string(kind) + " " + std::to_string(object.Count()) + " " + noun + ", " +
         std::to_string(static_cast<uint32_t>(object.BytesCount())) + " bytes" +
         (ranges.empty() ? "" : ": " + RangesText(ranges)) + ">";
}

// An exact int within the 32-bit range, or none: what the fast forms below
// take, leaving anything else to the general methods.
std::optional<int32_t> ExactLong(PyObject* object) {
  if (!PyLong_CheckExact(object)) return std::nullopt;
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(object, &overflow);
  if (overflow != 0 || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

// MemoryImage.read_bytes as CPython calls its own methods: the common call,
// read_bytes(address, count) with a count too small to let other threads
// run, goes straight into a new bytes object; any other call, and any that
// must raise, goes to the general method, which answers the same.
PyObject* ReadBytesFast(PyObject* self, PyObject* const* args, Py_ssize_t count,
                        PyObject* keywords) {
  const MemoryImage* image = InstanceValue<MemoryImage>(self);
  const auto address = keywords == nullptr && count == 2 ? ExactLong(args[0]) : std::nullopt;
  const auto wanted = address ? ExactLong(args[1]) : std::nullopt;
  if (image != nullptr && wanted && *wanted > 0 &&
      static_cast<size_t>(*wanted) < LetOthersRun::kFrom) {
    PyObject* const result = PyBytes_FromStringAndSize(nullptr, *wanted);
    if (result == nullptr) return nullptr;
    const std::span<uint8_t> room(reinterpret_cast<uint8_t*>(PyBytes_AS_STRING(result)),
                                  static_cast<size_t>(*wanted));
    try {
      if (image->ReadInto(*address, room)) return result;
      Py_DECREF(result);
      Py_RETURN_NONE;
    } catch (...) {
      Py_DECREF(result);
    }
  }
  return CallGeneral(self, "read_bytes", args, count, keywords);
}

// MemoryImage.add_bytes in the same form: add_bytes(address, data) with a
// short bytes-like object is served here, and any call that must raise goes
// to the general method (a refused Add changes nothing, so it raises the same).
PyObject* AddBytesFast(PyObject* self, PyObject* const* args, Py_ssize_t count,
                       PyObject* keywords) {
  MemoryImage* image = InstanceValue<MemoryImage>(self);
  const auto address = keywords == nullptr && count == 2 ? ExactLong(args[0]) : std::nullopt;
  if (image != nullptr && address) {
    try {
      const PyBytes bytes(args[1], "data");
      if (bytes.Span().size() < LetOthersRun::kFrom) {
        image->Add(*address, bytes.Span());
        Py_RETURN_NONE;
      }
    } catch (...) {
    }
  }
  return CallGeneral(self, "add_bytes", args, count, keywords);
}

using MapClass = py::class_<MemoryMap, std::shared_ptr<MemoryMap>>;
using ImageClass = py::class_<MemoryImage, std::shared_ptr<MemoryImage>>;

void BindMap(MapClass& map_class) {
  map_class.def(py::init([] { return MemoryMap::New(); }))
      .def(
          "Add", [](MemoryMap& map, Long start, Long count) { map.Add(start.value, count.value); },
          py::arg("StartAddress"), py::arg("Count"),
          "Adds StartAddress..StartAddress+Count-1 (error 1000 on an overlap).")
      .def("Check", &MemoryMap::Check, py::arg("S"), "True when one segment covers S wholly.")
      .def("Clear", &MemoryMap::Clear)
      .def_property_readonly("Count", &MemoryMap::Count)
      .def("Exclude", &MemoryMap::Exclude, py::arg("MM"),
           "A new map of the addresses of this one that MM lacks.")
      .def(
          "Item", [](const MemoryMap& map, Long index) { return map.Item(index.value); },
          py::arg("Index"), "The stored segment Index (1 for the lowest).")
      .def(
          "MemoryImage",
          [](const MemoryMap& map, Byte pattern) { return map.MemoryImage(pattern.value); },
          py::arg("Pattern") = Byte{0}, "A new image with an array for each segment.")
      .def("NewEnum", &MemoryMap::NewEnum)
      .def(
          "Remove",
          [](MemoryMap& map, Long start, Long count) { map.Remove(start.value, count.value); },
          py::arg("StartAddress"), py::arg("Count"), "Not available: error 1000.")
      .def_property_readonly("BytesCount", &MemoryMap::BytesCount)
      .def("__len__", &MemoryMap::Count)
      .def("__iter__", &MemoryMap::NewEnum)
      .def("__repr__",
           [](const MemoryMap& object) { return Summary(object, "MemoryMap", "segments"); });
  BindPersistence(map_class);
}

void BindImage(ImageClass& image_class) {
  image_class.def(py::init([] { return MemoryImage::New(); }))
      .def_property_readonly("Count", &MemoryImage::Count)
      .def_property_readonly("BytesCount", &MemoryImage::BytesCount)
      .def(
          "Add",
          [](MemoryImage& image, const IByteArray& b) {
            const LetOthersRun others(static_cast<size_t>(std::max(b.Count(), 0)));
            image.Add(b);
          },
          py::arg("B"), "Places a copy of B's bytes at B.LowIndex..B.HighIndex.")
      .def(
          "add_bytes",
          [](MemoryImage& image, Long address, const py::buffer& data) {
            const PyBytes bytes(data, "data");
            const LetOthersRun others(bytes.Span().size());
            image.Add(address.value, bytes.Span());
          },
          py::arg("address"), py::arg("data"),
          "Add of a bytes-like object placed at address, without making a ByteArray first.")
      .def("Clear", &MemoryImage::Clear)
      .def_property_readonly("Map", &MemoryImage::Map, "A new map of the stored arrays' bounds.")
      .def("GetMap", &MemoryImage::Map, "A new map of the stored arrays' bounds.")
      .def(
          "MemoryRead",
          [](const MemoryImage& image, Long start, Long count) {
            const LetOthersRun others(static_cast<size_t>(std::max(count.value, 0)));
            return image.MemoryRead(start.value, count.value);
          },
          py::arg("StartAddress"), py::arg("Count"),
          "A new array with the bytes from StartAddress, or None unless one array holds them.")
      .def(
          "read_bytes",
          [](const MemoryImage& image, Long start, Long count) -> py::object {
            // MemoryRead's answer, so that an array a caller has moved or
            // resized reads as the image sees it, never outside its bytes.
            // A short read (one that keeps the interpreter) goes straight
            // into the bytes object, which is made before the image is asked.
            if (count.value > 0 && static_cast<size_t>(count.value) < LetOthersRun::kFrom) {
              auto result = py::reinterpret_steal<py::object>(
                  PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(count.value)));
              if (!result) throw py::error_already_set();
              const std::span<uint8_t> room(
                  reinterpret_cast<uint8_t*>(PyBytes_AS_STRING(result.ptr())),
                  static_cast<size_t>(count.value));
              if (!image.ReadInto(start.value, room)) return py::none();
              return result;
            }
            std::shared_ptr<ByteArray> bytes;
            {
              const LetOthersRun others(static_cast<size_t>(std::max(count.value, 0)));
              bytes = image.MemoryRead(start.value, count.value);
            }
            if (!bytes) return py::none();
            return py::bytes(reinterpret_cast<const char*>(bytes->data()), bytes->size());
          },
          py::arg("address"), py::arg("count"),
          "MemoryRead's bytes as bytes, or None unless one stored array holds them all.")
      .def(
          "MemoryWrite",
          [](MemoryImage& image, const IByteArray& b) {
            const LetOthersRun others(static_cast<size_t>(std::max(b.Count(), 0)));
            image.MemoryWrite(b);
          },
          py::arg("B"),
          "Writes B's bytes over the image (error 9 unless one array holds them all).")
      .def(
          "Item", [](const MemoryImage& image, Long index) { return image.Item(index.value); },
          py::arg("Index"), "The stored array Index (1 for the lowest) itself.")
      .def(
          "Holding",
          [](const MemoryImage& image, Long address) { return image.Holding(address.value); },
          py::arg("Address"), "The stored array that holds Address, or None.")
      .def("NewEnum", &MemoryImage::NewEnum)
      .def("__len__", &MemoryImage::Count)
      .def("__iter__", &MemoryImage::NewEnum)
      .def("__repr__",
           [](const MemoryImage& object) { return Summary(object, "MemoryImage", "arrays"); });
  BindPersistence(image_class);
  PutInFront<ReadBytesFast>(
      image_class, "read_bytes",
      "read_bytes($self, /, address, count)\n--\n\n"
      "MemoryRead's bytes as bytes, or None unless one stored array holds them all.");
  PutInFront<AddBytesFast>(
      image_class, "add_bytes",
      "add_bytes($self, /, address, data)\n--\n\n"
      "Add of a bytes-like object placed at address, without making a ByteArray first.");
}

void BindCrc(py::module_& m) {
  py::class_<CRC, std::shared_ptr<CRC>>(
      m, "CRC", "The 16-bit HDLC frame check sequence (CRC-16/X.25), computed and checked.")
      .def(py::init([] { return CRC::New(); }))
      .def(
          "Append",
          [](CRC& crc, const IByteArray& b) {
            const LetOthersRun others(static_cast<size_t>(std::max(b.Count(), 0)));
            crc.Append(b);
          },
          py::arg("B"), "Runs B's bytes through the register (other threads run meanwhile).")
      .def("Clear", &CRC::Clear, "Sets the register to FFFF.")
      .def_property_readonly("Check", &CRC::Check,
                             "True when the register holds an intact frame's residue.")
      .def("Send", &CRC::Send, py::arg("B"), "Writes the check bytes into B's last two bytes.")
      .def_property_readonly("Register", &CRC::Register, "The register as it stands.")
      .def_static(
          "Of",
          [](const py::buffer& data) {
            const PyBytes bytes(data, "data");
            const LetOthersRun others(bytes.Span().size());
            return CRC::Of(bytes.Span());
          },
          py::arg("data"), "The check sequence of a bytes-like object, as an int.")
      .def_static("Stamp", &CRC::Stamp, py::arg("Frame"),
                  "Grows Frame by two bytes and writes its check sequence there.")
      .def_static("Intact", &CRC::Intact, py::arg("Frame"),
                  "True when Frame, its check bytes included, is intact.")
      .def("__repr__", [](const CRC& crc) {
        return py::str("<CRC Register=0x{:04X}>").format(crc.Register()).cast<std::string>();
      });
}

}  // namespace

void BindEnumerators(py::module_& m) {
  BindEnumerator<std::string>(m, "TextEnumerator");
  BindEnumerator<std::shared_ptr<ByteArray>>(m, "ByteArrayEnumerator");
  BindEnumerator<std::shared_ptr<ArrayBounds>>(m, "ArrayBoundsEnumerator");
}

void BindMemory(py::module_& m) {
  // Both classes exist before either's members, which name the other.
  MapClass map_class(m, "MemoryMap",
                     "Segments of addresses: touching ones merge, overlapping ones are refused.");
  ImageClass image_class(m, "MemoryImage",
                         "The known contents of a memory: byte arrays at addresses (their "
                         "LowIndex); touching arrays join, overlapping ones are refused.");
  BindMap(map_class);
  BindImage(image_class);
  BindCrc(m);
}

}  // namespace ombrix::python
