// The extension module ombrix._ombrix; the package ombrix re-exports it.
#include "python/bindings.h"

PYBIND11_MODULE(_ombrix, m) {
  m.doc() =
      "Byte arrays with a movable lower index and hexadecimal text, live views, bit fields in "
      "Intel or Motorola order, scaled values, enumerations, memory maps and images, and the "
      "HDLC frame check sequence.";
  // Classes come before the members that name them, so that signatures
  // give Python names.
  ombrix::python::BindErrors(m);
  ombrix::python::BindBags(m);
  ombrix::python::BindBytes(m);
  ombrix::python::BindEnumerators(m);
  ombrix::python::BindFields(m);
  ombrix::python::BindMemory(m);
  ombrix::python::BindFiles(m);
  ombrix::python::BindSignals(m);
  ombrix::python::BindTraces(m);
}
