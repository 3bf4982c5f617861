// ombrix.Error carries the library error's Number, Source and Description;
// its subclasses are also the built-in exceptions Python raises for the same
// faults. ombrix.FileError, one of them, is what the formats library says
// of a file; FileSystemError, a file the system refused, is an OSError too.
#include <cstring>
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

// Each library error number with the ombrix.Error subclass that also is the
// built-in exception Python code raises for the same fault.
struct Kind {
  int32_t number;
  const char* name;
  const char* doc;
};
constexpr Kind kKinds[] = {
    {errors::kInvalidArgument, "ArgumentError",
     "Error 5, an argument the member refuses; also a ValueError."},
    {errors::kOverflow, "NumberOverflowError",
     "Error 6, a number beyond what it goes into; also an OverflowError."},
    {errors::kOutOfMemory, "OutOfMemoryError", "Error 7, memory ran out; also a MemoryError."},
    {errors::kSubscriptOutOfRange, "SubscriptError",
     "Error 9, an index or address outside the bytes; also an IndexError."},
    {errors::kTypeMismatch, "TypeMismatchError",
     "Error 13, a value of the wrong type or text that does not convert; also a TypeError and "
     "a ValueError, so that either handler Python code has for the same fault catches it."},
    {errors::kObjectNotSet, "NotSetError",
     "Error 91, an object that is not set (None, or a field bound to nothing); also a "
     "TypeError."},
    {errors::kInvalidUseOfNull, "NullError",
     "Error 94, Null where a value is needed; also a TypeError."},
    {errors::kFieldRange, "FieldRangeError",
     "Error 2000, a value outside a field's limits; also a ValueError."},
};

const char* TypeFor(int32_t number) {
  for (const Kind& kind : kKinds) {
    if (kind.number == number) return kind.name;
  }
  return "Error";
}

py::object Make(const char* type_name, const std::string& message, py::object number,
                const std::string& source, const std::string& description) {
  const py::object type = ModuleType(type_name);
  py::object error = type(message);
  error.attr("Number") = std::move(number);
  error.attr("Source") = source;
  error.attr("Description") = description;
  return error;
}

void Throw(const py::object& error) { PyErr_SetObject(error.get_type().ptr(), error.ptr()); }

void Translate(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const Error& error) {
    Throw(Make(TypeFor(error.Number()), error.what(), py::int_(error.Number()), error.Source(),
               error.Description()));
  } catch (const formats::FileError& error) {
    if (error.SystemError() == 0) {
      Throw(Make("FileError", error.what(), py::int_(0), error.File(), error.Message()));
      return;
    }
    py::object refused =
        Make("FileSystemError", error.what(), py::int_(0), error.File(), error.Message());
    refused.attr("errno") = error.SystemError();
    refused.attr("strerror") = std::strerror(error.SystemError());
    refused.attr("filename") = error.File();
    Throw(refused);
  } catch (const std::bad_alloc&) {
    Throw(Make("OutOfMemoryError", Error(errors::kOutOfMemory).what(),
               py::int_(errors::kOutOfMemory), "Ombrix",
               StandardDescription(errors::kOutOfMemory)));
  }
}

// A new exception class of the module, derived from `bases`, with the
// attributes in `dict`.
py::object NewClass(py::module_& m, const char* name, const char* doc, py::tuple bases,
                    py::dict dict = {}) {
  const std::string qualified = std::string("ombrix.") + name;
  py::object type = py::reinterpret_steal<py::object>(
      PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), dict.ptr()));
  if (!type) throw py::error_already_set();
  m.attr(name) = type;
  return type;
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
  const py::object error =
      NewClass(m, "Error",
               "A library error: Number (9, 1000, ...), Source and Description; str() gives "
               "'error N: description'. The numbers Python has a built-in exception for come "
               "as subclasses that are that exception too (SubscriptError is an IndexError, "
               "...).",
               py::make_tuple(py::handle(PyExc_Exception)));
  error.attr("Number") = py::none();
  error.attr("Source") = "Ombrix";
  error.attr("Description") = "";
  const auto builtin = [](int32_t number) -> py::tuple {
    switch (number) {
      case errors::kInvalidArgument:
      case errors::kFieldRange:
        return py::make_tuple(py::handle(PyExc_ValueError));
      case errors::kOverflow:
        return py::make_tuple(py::handle(PyExc_OverflowError));
      case errors::kOutOfMemory:
        return py::make_tuple(py::handle(PyExc_MemoryError));
      case errors::kSubscriptOutOfRange:
        return py::make_tuple(py::handle(PyExc_IndexError));
      case errors::kTypeMismatch:
        return py::make_tuple(py::handle(PyExc_TypeError), py::handle(PyExc_ValueError));
      default:
        return py::make_tuple(py::handle(PyExc_TypeError));
    }
  };
  for (const Kind& kind : kKinds) {
    py::tuple bases = py::make_tuple(error) + builtin(kind.number);
    NewClass(m, kind.name, kind.doc, bases);
  }
  const py::object file_error = NewClass(
      m, "FileError",
      "A file that cannot be read or written: Source is the file, Description what is wrong, "
      "Number 0; str() gives 'file:line: message' as the program prints it.",
      py::make_tuple(error));
  NewClass(m, "FileSystemError",
           "A file the system refused (missing, not allowed, disk full, ...): a FileError "
           "that is also an OSError, with errno, strerror and filename.",
           py::make_tuple(file_error, py::handle(PyExc_OSError)),
           // str() stays the program's own text rather than OSError's.
           py::dict(py::arg("__str__") =
                        py::module_::import("builtins").attr("BaseException").attr("__str__")));
  // Any other exception leaves Translate as it came and goes on to
  // pybind11's own translators.
  py::register_exception_translator(&Translate);
}

}  // namespace ombrix::python
