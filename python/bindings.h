// The pieces of the Python module `ombrix._ombrix`, one per subsystem, and
// what they share: Variant conversion both ways and the translation of the
// library's errors into ombrix.Error.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ombrix/frame/property_bag.h"
#include "ombrix/frame/variant.h"

namespace ombrix::python {

namespace py = pybind11;

/// A 32-bit signed argument: a Python int outside its range is the
/// library's error 6 (Overflow), never a silent wrap.
struct Long {
  int32_t value;
};
/// A byte argument: a Python int outside 0..255 is error 6.
struct Byte {
  uint8_t value;
};

/// The bytes of a bytes-like Python object (bytes, bytearray, memoryview,
/// any contiguous buffer), held while this lives. TypeError naming
/// `parameter` for anything else.
class PyBytes {
 public:
  PyBytes(py::handle object, const char* parameter);
  PyBytes(const PyBytes&) = delete;
  PyBytes& operator=(const PyBytes&) = delete;
  ~PyBytes() { PyBuffer_Release(&view_); }
  std::span<const uint8_t> Span() const noexcept {
    return {static_cast<const uint8_t*>(view_.buf), static_cast<size_t>(view_.len)};
  }

 private:
  Py_buffer view_{};
};

/// Trace, TraceFrame, decode_trace.
void BindTraces(py::module_& m);
/// ombrix.Error and ombrix.FileError, and the translation of every C++
/// error the library throws into one of them.
void BindErrors(py::module_& m);
/// Null, PropertyBag, MemoryPropertyBag, JsonPropertyBag.
void BindBags(py::module_& m);
/// The enumerators of collections (TextEnumerator, ...).
void BindEnumerators(py::module_& m);
/// ByteArray, its views, ArrayBounds, and their buffer protocol.
void BindBytes(py::module_& m);
/// NumericItem, LittleEndian, BigEndian, ScaledValue, Enumeration, RegionalSettings.
void BindFields(py::module_& m);
/// MemoryMap, MemoryImage, CRC.
void BindMemory(py::module_& m);
/// ImageRegion, ImageFile, read_image, write_image.
void BindFiles(py::module_& m);
/// SignalDatabase: DBC files, decoding and encoding by name.
void BindSignals(py::module_& m);

/// A Python value as a Variant: None Empty, ombrix.Null Null, bool, int
/// (Long; error 6 beyond 32 bits), float, str, bytes-like (an array of
/// bytes), datetime (Date), list or tuple (an array of variants).
/// TypeError naming `parameter` for anything else.
Variant ToVariant(py::handle value, const char* parameter);
/// A Variant as a Python value, the other way round.
py::object FromVariant(const Variant& value);

/// The properties `object` writes to a bag, as a dict.
py::dict SavedState(const std::function<void(PropertyBag&)>& write);
/// A bag holding the properties of `state`, a dict SavedState made.
std::shared_ptr<PropertyBag> BagOf(const py::dict& state);

/// Load, InitProperties, ReadProperties and WriteProperties: the members
/// every class saved to a property bag has; and through them copy.copy,
/// copy.deepcopy and pickle, whose state is the dict of those properties.
template <typename Class>
void BindPersistence(Class& cls) {
  using T = typename Class::type;
  cls.def_static("Load", &T::Load, py::arg("Bag"), "A new object read from Bag.")
      .def("InitProperties", &T::InitProperties, "Gives a new object its initial state.")
      .def("ReadProperties", &T::ReadProperties, py::arg("Bag"), "Reads the state from Bag.")
      .def("WriteProperties", &T::WriteProperties, py::arg("Bag"), "Writes the state to Bag.")
      .def(py::pickle(
          [](const T& object) {
            return SavedState([&](PropertyBag& bag) { object.WriteProperties(bag); });
          },
          [](const py::dict& state) { return T::Load(*BagOf(state)); }));
}

/// "00000100-0000011F, 00000200-00000203, ..." for the first few of `ranges`
/// (low, count pairs), as reprs show them.
std::string RangesText(const std::vector<std::pair<int64_t, int64_t>>& ranges);

/// While alive, other Python threads run: for a call that works on `bytes`
/// bytes, when there are enough of them for the switch to pay (by default,
/// always). The call must touch no Python object meanwhile; the library's
/// objects it uses are the caller's to keep from other threads, as in C++.
class LetOthersRun {
 public:
  static constexpr size_t kFrom = size_t{64} << 10;
  explicit LetOthersRun(size_t bytes = kFrom) {
    if (bytes >= kFrom) release_.emplace();
  }

 private:
  std::optional<py::gil_scoped_release> release_;
};

/// The C++ object behind `self`, an instance of a class bound as T: found
/// without the search by type of a general cast, which a method descriptor
/// of T's class makes needless (it admits only T's instances, or those of
/// Python classes derived from it). Null while the instance holds none.
template <typename T>
T* InstanceValue(PyObject* self) {
  const auto holder = reinterpret_cast<py::detail::instance*>(self)->get_value_and_holder();
  return holder.holder_constructed() ? holder.value_ptr<T>() : nullptr;
}

/// A method in CPython's own calling form (METH_FASTCALL | METH_KEYWORDS).
using FastFunction = PyObject* (*)(PyObject* self, PyObject* const* args, Py_ssize_t count,
                                   PyObject* keywords);

/// Puts `method` in front of the general binding of the same name, which
/// moves to `_<name>`: the fast one serves the common calls, whose argument
/// matching would cost more than their work, and hands every other call to
/// the general one (see CallGeneral). `method` must outlive the module.
void PutInFront(py::handle cls, PyMethodDef& method);

/// The same for Function, under `name` with the docstring `doc` (which, as
/// CPython's own, starts with the signature: "name($self, /, ...)\n--\n\n").
template <FastFunction Function>
void PutInFront(py::handle cls, const char* name, const char* doc) {
  // CPython keeps a pointer to the entry for good: one for each function.
  static PyMethodDef method = {
      name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Function)),
      METH_FASTCALL | METH_KEYWORDS, doc};
  PutInFront(cls, method);
}

/// A fast method's way out: calls self._<name>(*args, **keywords), which
/// answers or raises as the general binding does.
PyObject* CallGeneral(PyObject* self, const char* name, PyObject* const* args, Py_ssize_t count,
                      PyObject* keywords);

/// Raises the error `error` (an ombrix::Error) as ombrix.Error in Python:
/// for code that runs outside pybind11's own translation.
void SetPythonError(std::exception_ptr error);

}  // namespace ombrix::python

namespace pybind11::detail {

// Python ints into Long and Byte, range-checked by the library's rule.
template <>
struct type_caster<ombrix::python::Long> {
  PYBIND11_TYPE_CASTER(ombrix::python::Long, const_name("int"));
  bool load(handle source, bool convert);
  static handle cast(ombrix::python::Long value, return_value_policy, handle) {
    return PyLong_FromLong(value.value);
  }
};
template <>
struct type_caster<ombrix::python::Byte> {
  PYBIND11_TYPE_CASTER(ombrix::python::Byte, const_name("int"));
  bool load(handle source, bool convert);
  static handle cast(ombrix::python::Byte value, return_value_policy, handle) {
    return PyLong_FromLong(value.value);
  }
};

}  // namespace pybind11::detail
