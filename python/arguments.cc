// Python arguments into the library's types: ints range-checked as the
// library would (error 6), bytes-like objects read in place.
#include <limits>
#include <string>

#include "ombrix/frame/error.h"
#include "python/bindings.h"

namespace pybind11::detail {
namespace {

// An int (not a bool, which is one too) as a long long; false otherwise.
// Beyond even 64 bits is the library's overflow.
bool LoadInteger(handle source, long long& number) {
  if (!PyLong_Check(source.ptr()) || PyBool_Check(source.ptr())) return false;
  int overflow = 0;
  number = PyLong_AsLongLongAndOverflow(source.ptr(), &overflow);
  if (overflow != 0) ombrix::Raise(ombrix::errors::kOverflow);
  return true;
}

}  // namespace

bool type_caster<ombrix::python::Long>::load(handle source, bool) {
  long long number = 0;
  if (!LoadInteger(source, number)) return false;
  if (number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    ombrix::Raise(ombrix::errors::kOverflow);
  }
  value.value = static_cast<int32_t>(number);
  return true;
}

bool type_caster<ombrix::python::Byte>::load(handle source, bool) {
  long long number = 0;
  if (!LoadInteger(source, number)) return false;
  if (number < 0 || number > 255) ombrix::Raise(ombrix::errors::kOverflow);
  value.value = static_cast<uint8_t>(number);
  return true;
}

}  // namespace pybind11::detail

namespace ombrix::python {

PyBytes::PyBytes(py::handle object, const char* parameter) {
  if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) {
    PyErr_Clear();
    throw py::type_error(std::string(parameter) + ": expected a bytes-like object, not " +
                         std::string(py::str(object.get_type().attr("__name__"))));
  }
}

}  // namespace ombrix::python
