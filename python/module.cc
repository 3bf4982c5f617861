// The extension module ombrix._ombrix; the package ombrix re-exports it.
#include "python/bindings.h"

PYBIND11_MODULE(_ombrix, m) {
  m.doc() =
      "Byte arrays with a movable lower index and hexadecimal text, live views, bit fields in "
      "Intel or Motorola order, scaled values, enumerations, memory maps and images, and the "
      "HDLC frame check sequence.";
  ombrix::python::BindErrors(m);
  ombrix::python::BindBytes(m);
  ombrix::python::BindFields(m);
  ombrix::python::BindMemory(m);
  ombrix::python::BindFiles(m);
}
