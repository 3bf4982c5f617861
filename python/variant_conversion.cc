// Variants to Python values and back.
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ombrix/frame/error.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

// Dates count days from 30 December 1899, the fraction being the time of day.
py::object DateOrigin() { return py::module_::import("datetime").attr("datetime")(1899, 12, 30); }

}  // namespace

Variant ToVariant(py::handle value, const char* parameter) {
  if (value.is_none()) return Variant();
  if (py::isinstance(value, py::module_::import("ombrix._ombrix").attr("NullType"))) {
    return Variant::Null();
  }
  if (py::isinstance<py::bool_>(value)) return Variant(value.cast<bool>());
  if (py::isinstance<py::int_>(value)) return Variant(value.cast<Long>().value);
  if (py::isinstance<py::float_>(value)) return Variant(value.cast<double>());
  if (py::isinstance<py::str>(value)) return Variant(value.cast<std::string>());
  if (PyObject_CheckBuffer(value.ptr()) != 0) {
    const PyBytes bytes(value, parameter);
    const std::span<const uint8_t> span = bytes.Span();
    return Variant(SafeArray<uint8_t>(0, std::vector<uint8_t>(span.begin(), span.end())));
  }
  if (py::isinstance(value, py::module_::import("datetime").attr("datetime"))) {
    const py::object since = value - DateOrigin();
    return Variant::Date(since.attr("total_seconds")().cast<double>() / 86400.0);
  }
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    std::vector<Variant> items;
    for (const py::handle item : value) items.push_back(ToVariant(item, parameter));
    return Variant(SafeArray<Variant>(0, std::move(items)));
  }
  throw py::type_error(std::string(parameter) +
                       ": expected None, bool, int, float, str, bytes-like, datetime or a list, "
                       "not " +
                       std::string(py::str(value.get_type().attr("__name__"))));
}

py::object FromVariant(const Variant& value) {
  switch (value.GetKind()) {
    case Variant::Kind::Empty:
      return py::none();
    case Variant::Kind::Null:
      return py::module_::import("ombrix._ombrix").attr("Null");
    case Variant::Kind::Boolean:
      return py::bool_(value.ToString() == "True");
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return py::int_(value.ToLong());
    case Variant::Kind::Double:
      return py::float_(value.ToDouble());
    case Variant::Kind::Date: {
      const py::object timedelta = py::module_::import("datetime").attr("timedelta");
      return DateOrigin() + timedelta(py::arg("days") = value.ToDouble());
    }
    case Variant::Kind::String:
      return py::str(value.ToString());
    case Variant::Kind::ByteArray: {
      const SafeArray<uint8_t>& bytes = *value.ByteArray();
      return py::bytes(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<size_t>(bytes.Count()));
    }
    case Variant::Kind::VariantArray: {
      py::list items;
      const SafeArray<Variant>& array = *value.VariantArray();
      for (int32_t k = 0; k < array.Count(); ++k) items.append(FromVariant(array.data()[k]));
      return items;
    }
  }
  return py::none();
}

}  // namespace ombrix::python
