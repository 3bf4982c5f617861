// ByteArray, its two views and ArrayBounds. Properties are Python
// properties (a.Count = 4); Item, with its index, is a method (a.Item(3),
// a.Item(3, 0x41)) and a[i] by the array's own index. Arrays and views lend
// their bytes through the buffer protocol, without a copy; while a buffer is
// out, the array cannot change size (error 10).
#include <pybind11/stl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/bytes/hex_text_internal.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

// The buffer protocol by hand, so that releasing a buffer unpins its array.
int GetBuffer(PyObject* self, Py_buffer* view, int flags) {
  try {
    IByteArray& array = py::handle(self).cast<IByteArray&>();
    const std::span<uint8_t> bytes = array.Bytes();
    const detail::StoreWindow window = detail::ByteAccess::WindowOf(array);
    view->obj = py::handle(self).inc_ref().ptr();
    // An empty array has no bytes to point at; any valid address serves.
    view->buf = bytes.empty() ? static_cast<void*>(&view->len) : bytes.data();
    view->len = static_cast<Py_ssize_t>(bytes.size());
    view->readonly = 0;
    view->itemsize = 1;
    view->format = (flags & PyBUF_FORMAT) == PyBUF_FORMAT ? const_cast<char*>("B") : nullptr;
    view->ndim = 1;
    view->shape = (flags & PyBUF_ND) == PyBUF_ND ? &view->len : nullptr;
    view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? &view->itemsize : nullptr;
    view->suboffsets = nullptr;
    view->internal = const_cast<ByteArray*>(window.array);
    detail::ByteAccess::Pin(*window.array);
    return 0;
  } catch (...) {
    SetPythonError(std::current_exception());
    view->obj = nullptr;
    return -1;
  }
}

void ReleaseBuffer(PyObject*, Py_buffer* view) {
  detail::ByteAccess::Unpin(*static_cast<const ByteArray*>(view->internal));
}

template <typename Class>
void LendBytes(Class& cls) {
  auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  type->tp_as_buffer->bf_getbuffer = &GetBuffer;
  type->tp_as_buffer->bf_releasebuffer = &ReleaseBuffer;
}

// The members every array and view shares, as the interface lists them.
void BindInterface(py::module_& m) {
  py::class_<IByteArray, std::shared_ptr<IByteArray>>(
      m, "IByteArray",
      "What ByteArray and its views share: Count bytes at the indexes LowIndex..HighIndex.")
      .def_property_readonly("Bounds", &IByteArray::Bounds,
                             "A snapshot of the segment: this LowIndex and Count.")
      .def_property(
          "Count", [](const IByteArray& a) { return a.Count(); },
          [](IByteArray& a, Long v) { a.Count(v.value); },
          "Number of bytes; setting it resizes, kept bytes stay and new ones are 0.")
      .def_property(
          "HighIndex", [](const IByteArray& a) { return a.HighIndex(); },
          [](IByteArray& a, Long v) { a.HighIndex(v.value); },
          "LowIndex + Count - 1; setting it sets Count.")
      .def(
          "Interval",
          [](IByteArray& a, Long index, Long count) {
            return a.Interval(index.value, count.value);
          },
          py::arg("Index"), py::arg("Count") = Long{0},
          "A live view from Index on: Count bytes, or with Count 0 the tail to the end.")
      .def(
          "Item", [](const IByteArray& a, Long index) { return a.Item(index.value); },
          py::arg("Index"),
          "The byte at Index, 0..255; error 9 where there is no such byte (a view checks only its "
          "parent's bounds, not its own).")
      .def(
          "Item", [](IByteArray& a, Long index, Long value) { a.Item(index.value, value.value); },
          py::arg("Index"), py::arg("Value"), "Stores the low 8 bits of Value at Index.")
      .def_property(
          "LowIndex", [](const IByteArray& a) { return a.LowIndex(); },
          [](IByteArray& a, Long v) { a.LowIndex(v.value); },
          "The index of the first byte (1 for a new array); setting it moves no byte.")
      .def("Check", &IByteArray::Check, py::arg("V"),
           "True when V holds the same bytes at every index both have (V a ByteArray).")
      .def_property(
          "Copy", [](const IByteArray& a) { return a.Copy(); },
          [](IByteArray& a, const IByteArray& v) { a.Copy(v); },
          "A new, independent ByteArray with these bytes; setting it takes V's bytes.")
      .def("Sum", &IByteArray::Sum, "Sum of the bytes, wrapping modulo 2^32.")
      .def(
          "WriteBytes",
          [](const IByteArray& a, py::bytearray& destination, Long destination_index,
             Long source_index, Long count) {
            // The bytearray is the destination array, indexed from 0.
            char* data = PyByteArray_AsString(destination.ptr());
            const auto size = static_cast<size_t>(PyByteArray_Size(destination.ptr()));
            SafeArray<uint8_t> target(0, std::vector<uint8_t>(data, data + size));
            a.WriteBytes(target, destination_index.value, source_index.value, count.value);
            std::memcpy(data, target.data(), size);
          },
          py::arg("Destination"), py::arg("DestinationIndex"), py::arg("SourceIndex"),
          py::arg("Count"),
          "Copies Count bytes from SourceIndex on into the bytearray Destination from its "
          "index DestinationIndex on.")
      .def_property(
          "Text",
          [](const IByteArray& a) -> py::object {
            // A library array's bytes go straight into the new str, written
            // while other threads run: no second copy, no decoding.
            const detail::StoreWindow window = detail::ByteAccess::WindowOf(a);
            const int64_t count = int64_t{window.high} - window.low + 1;
            if (window.array != nullptr && count > 0) {
              const std::span<const uint8_t> bytes =
                  detail::ByteAccess::Available(*window.array, window.origin + window.low, count);
              if (static_cast<int64_t>(bytes.size()) == count) {
                auto text = py::reinterpret_steal<py::str>(PyUnicode_New(2 * count, 127));
                if (!text) throw py::error_already_set();
                auto* out = reinterpret_cast<char*>(PyUnicode_1BYTE_DATA(text.ptr()));
                const LetOthersRun others(bytes.size());
                detail::EncodeHex(bytes.data(), bytes.size(), out);
                return text;
              }
            }
            // Anything else raises what Text raises.
            std::string text;
            {
              const LetOthersRun others(static_cast<size_t>(std::max(a.Count(), 0)));
              text = a.Text();
            }
            return py::str(text);
          },
          [](IByteArray& a, const std::string& text) {
            const LetOthersRun others(text.size() / 2);
            a.Text(text);
          },
          "The bytes as hexadecimal text, two upper-case digits per byte.")
      .def_property(
          "Value", [](const IByteArray& a) { return FromVariant(a.Value()); },
          [](IByteArray& a, const py::object& value) { a.Value(ToVariant(value, "Value")); },
          "The bytes as bytes (None when there are none); setting it takes None, str "
          "(code page 1252), bytes-like, a list, or an int 0..255.")
      .def(
          "Skip",
          [](const IByteArray& a, Byte pattern, Long start) {
            return a.Skip(pattern.value, start.value);
          },
          py::arg("Pattern"), py::arg("Start"),
          "How many consecutive bytes from Start on equal Pattern.")
      .def(
          "Fill", [](IByteArray& a, Byte pattern) { a.Fill(pattern.value); }, py::arg("Pattern"),
          "Sets every byte to Pattern.")
      .def("__len__", [](const IByteArray& a) { return a.Count(); })
      .def("__getitem__", [](const IByteArray& a, Long index) { return a.Item(index.value); })
      .def("__setitem__",
           [](IByteArray& a, Long index, Long value) { a.Item(index.value, value.value); })
      .def("__iter__",
           [](const IByteArray& a) {
             // A snapshot: the bytes as they are when the loop starts.
             const std::span<const uint8_t> bytes = a.Bytes();
             return py::iter(py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
           })
      .def("__bytes__",
           [](const IByteArray& a) {
             const std::span<const uint8_t> bytes = a.Bytes();
             return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
           })
      .def("__repr__", [](const py::object& self) {
        IByteArray& a = self.cast<IByteArray&>();
        return "<" + std::string(py::str(self.get_type().attr("__name__"))) +
               " LowIndex=" + std::to_string(a.LowIndex()) + " Text='" +
               (a.Count() > 32 ? a.Interval(a.LowIndex(), 32)->Text() + "..." : a.Text()) + "'>";
      });
}

}  // namespace

void BindBytes(py::module_& m) {
  BindInterface(m);
  auto byte_array =
      py::class_<ByteArray, IByteArray, std::shared_ptr<ByteArray>>(
          m, "ByteArray", py::buffer_protocol(),
          "Bytes with a movable lower index, owning its bytes. memoryview(a) lends them "
          "without a copy, writable; while it is out, the array cannot change size (error 10).")
          .def(py::init([] { return ByteArray::New(); }),
               "A new, empty array: Count 0, LowIndex 1.")
          .def_static(
              "from_bytes",
              [](const py::buffer& data, Long low_index) {
                const PyBytes bytes(data, "data");
                return ByteArray::New(bytes.Span(), low_index.value);
              },
              py::arg("data"), py::arg("low_index") = Long{1},
              "A new array holding a copy of a bytes-like object, indexed from low_index.");
  BindPersistence(byte_array);
  LendBytes(byte_array);
  auto interval = py::class_<ByteArrayInterval, IByteArray, std::shared_ptr<ByteArrayInterval>>(
      m, "ByteArrayInterval", py::buffer_protocol(),
      "A live view of Count bytes of a ByteArray, made by Interval(Index, Count).");
  LendBytes(interval);
  auto trail = py::class_<ByteArrayTrail, IByteArray, std::shared_ptr<ByteArrayTrail>>(
      m, "ByteArrayTrail", py::buffer_protocol(),
      "A live view of a ByteArray's tail, made by Interval(Index); setting its Count resizes "
      "the array.");
  LendBytes(trail);

  // A snapshot: immutable, so it compares and hashes by its two numbers.
  const auto key = [](const ArrayBounds& b) { return py::make_tuple(b.LowIndex(), b.Count()); };
  py::class_<ArrayBounds, std::shared_ptr<ArrayBounds>>(
      m, "ArrayBounds",
      "A segment of indexes or addresses: LowIndex and Count; an immutable value.")
      .def_property_readonly("Count", &ArrayBounds::Count)
      .def_property_readonly("LowIndex", &ArrayBounds::LowIndex)
      .def_property_readonly("HighIndex", &ArrayBounds::HighIndex)
      .def(
          "ByteArray",
          [](const ArrayBounds& b, Byte pattern) { return b.ByteArray(pattern.value); },
          py::arg("Pattern") = Byte{0}, "A new array over the segment, every byte Pattern.")
      .def("__eq__",
           [key](const ArrayBounds& b, const py::object& other) -> py::object {
             if (!py::isinstance<ArrayBounds>(other))
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             return py::bool_(key(b).equal(key(other.cast<const ArrayBounds&>())));
           })
      .def("__hash__", [key](const ArrayBounds& b) { return py::hash(key(b)); })
      .def(py::pickle(key,
                      [](const py::tuple& t) {
                        const auto low = t[0].cast<int32_t>();
                        const auto count = t[1].cast<int32_t>();
                        return detail::ByteAccess::NewBounds(
                            low, static_cast<int32_t>(static_cast<uint32_t>(low) +
                                                      static_cast<uint32_t>(count) - 1u));
                      }))
      .def("__repr__", [](const ArrayBounds& b) {
        return "<ArrayBounds LowIndex=" + std::to_string(b.LowIndex()) +
               " Count=" + std::to_string(b.Count()) + ">";
      });
}

}  // namespace ombrix::python
