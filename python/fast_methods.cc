// Methods in CPython's own calling form, put in front of general bindings.
#include <string>

#include "python/bindings.h"

namespace ombrix::python {

void PutInFront(py::handle cls, PyMethodDef& method) {
  const std::string name = method.ml_name;
  // The class's own entry, which binds to an instance as the general
  // method does (the class attribute would be the bare function).
  const py::object general = cls.attr("__dict__")[name.c_str()];
  py::setattr(cls, ("_" + name).c_str(), general);
  const auto fast = py::reinterpret_steal<py::object>(
      PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(cls.ptr()), &method));
  if (!fast) throw py::error_already_set();
  py::setattr(cls, name.c_str(), fast);
}

PyObject* CallGeneral(PyObject* self, const char* name, PyObject* const* args, Py_ssize_t count,
                      PyObject* keywords) {
  PyObject* const general_name = PyUnicode_FromFormat("_%s", name);
  if (general_name == nullptr) return nullptr;
  PyObject* const general = PyObject_GetAttr(self, general_name);
  Py_DECREF(general_name);
  if (general == nullptr) return nullptr;
  PyObject* const result = PyObject_Vectorcall(general, args, static_cast<size_t>(count), keywords);
  Py_DECREF(general);
  return result;
}

}  // namespace ombrix::python
