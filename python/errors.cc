// ombrix.Error carries the library error's Number, Source and Description;
// ombrix.FileError, one of them, what the formats library says of a file.
#include <exception>
#include <new>
#include <string>

#include "formats/file_error.h"
#include "ombrix/frame/error.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

// The exception types live in the module; the translator finds them there.
py::object ModuleType(const char* name) { return py::module_::import("ombrix._ombrix").attr(name); }

void Throw(const char* type_name, const std::string& message, py::object number,
           const std::string& source, const std::string& description) {
  const py::object type = ModuleType(type_name);
  py::object error = type(message);
  error.attr("Number") = std::move(number);
  error.attr("Source") = source;
  error.attr("Description") = description;
  PyErr_SetObject(type.ptr(), error.ptr());
}

void Translate(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const Error& error) {
    Throw("Error", error.what(), py::int_(error.Number()), error.Source(), error.Description());
  } catch (const formats::FileError& error) {
    Throw("FileError", error.what(), py::int_(0), error.File(), error.Message());
  } catch (const std::bad_alloc&) {
    Throw("Error", Error(errors::kOutOfMemory).what(), py::int_(errors::kOutOfMemory), "Ombrix",
          StandardDescription(errors::kOutOfMemory));
  }
}

}  // namespace

void SetPythonError(std::exception_ptr error) {
  try {
    Translate(error);
  } catch (...) {
    // Not one of ours: pybind11's own translation (TypeError and the like).
    py::detail::translate_exception(std::current_exception());
  }
}

void BindErrors(py::module_& m) {
  const py::object error = py::reinterpret_steal<py::object>(
      PyErr_NewExceptionWithDoc("ombrix._ombrix.Error",
                                "A library error: Number (9, 1000, ...), Source and Description; "
                                "str() gives 'error N: description'.",
                                PyExc_Exception, nullptr));
  error.attr("Number") = py::none();
  error.attr("Source") = "Ombrix";
  error.attr("Description") = "";
  m.attr("Error") = error;
  m.attr("FileError") = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
      "ombrix._ombrix.FileError",
      "A file that cannot be read or written: Source is the file, Description what is wrong, "
      "Number 0; str() gives 'file:line: message' as the program prints it.",
      error.ptr(), nullptr));
  // Any other exception leaves Translate as it came and goes on to
  // pybind11's own translators.
  py::register_exception_translator(&Translate);
}

}  // namespace ombrix::python
