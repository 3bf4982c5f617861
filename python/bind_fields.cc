// Numeric fields, scaled values, enumerations and regional settings.
#include <pybind11/stl.h>

#include <string>

#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/scaled_value.h"
#include "ombrix/frame/regional_settings.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

void BindNumericItems(py::module_& m) {
  py::class_<NumericItem, std::shared_ptr<NumericItem>>(
      m, "NumericItem",
      "A bit field of a byte array, read and written as a 32-bit integer; LittleEndian and "
      "BigEndian are the two byte orders.")
      .def_property_readonly("Max", &NumericItem::Max, "The largest value the field holds.")
      .def_property_readonly("Min", &NumericItem::Min, "The smallest value the field holds.")
      .def_property(
          "Value", [](const NumericItem& f) { return f.Value(); },
          [](NumericItem& f, Long v) { f.Value(v.value); },
          "The field's value, read from the array each time; setting it writes the field's "
          "bits in place (error 2000 outside Min..Max).")
      .def_property_readonly("Mask", &NumericItem::Mask,
                             "The bytes the field touches, its bits set, as hexadecimal text.")
      .def(
          "RefersTo",
          [](NumericItem& f, IByteArray& array, Long skipped, Long bits, bool is_signed) {
            f.RefersTo(array, skipped.value, bits.value, is_signed);
          },
          // The field's view keeps the array alive on the C++ side, and only
          // the array it is bound to now: no Python reference is added.
          py::arg("I"), py::arg("SkippedBits"), py::arg("NumBits"), py::arg("S") = false,
          "Binds the field to NumBits bits of I after SkippedBits bits, signed when S.");
  py::class_<LittleEndian, NumericItem, std::shared_ptr<LittleEndian>>(
      m, "LittleEndian", "A field stored low-order byte first (Intel order).")
      .def(py::init([] { return LittleEndian::New(); }));
  py::class_<BigEndian, NumericItem, std::shared_ptr<BigEndian>>(
      m, "BigEndian", "A field stored high-order byte first (Motorola order).")
      .def(py::init([] { return BigEndian::New(); }));
}

void BindSettings(py::module_& m) {
  py::class_<RegionalSettings>(m, "RegionalSettings",
                               "How numbers are written and read in a user's language.")
      .def_static("User", &RegionalSettings::User, "The settings of the process locale.")
      .def_static("English", &RegionalSettings::English, "1,234.56 and -1,234.56.")
      .def_static("French", &RegionalSettings::French, "1 234,56 and -1 234,56.")
      .def_readwrite("DecimalSeparator", &RegionalSettings::DecimalSeparator)
      .def_readwrite("GroupSeparator", &RegionalSettings::GroupSeparator)
      .def_readwrite("Grouping", &RegionalSettings::Grouping)
      .def_readwrite("DefaultDecimals", &RegionalSettings::DefaultDecimals)
      .def(
          "Format",
          [](const RegionalSettings& s, double value, Long decimals) {
            return s.Format(value, decimals.value);
          },
          py::arg("Value"), py::arg("Decimals"), "Value with exactly Decimals decimals.")
      .def("Parse", &RegionalSettings::Parse, py::arg("Text"),
           "A number written in these settings.")
      .def("ParseStrict", &RegionalSettings::ParseStrict, py::arg("Text"),
           "Parse for typed text: group separators only at every group boundary.");
}

void BindScaledValue(py::module_& m) {
  py::class_<ScaledValue, std::shared_ptr<ScaledValue>>(
      m, "ScaledValue", "A field's raw value as a physical one: (raw × CoeffA + CoeffB) / CoeffC.")
      .def(py::init([] { return ScaledValue::New(); }))
      .def_property(
          "RefersTo", [](const ScaledValue& s) { return s.RefersTo(); },
          [](ScaledValue& s, std::shared_ptr<NumericItem> item) { s.RefersTo(std::move(item)); },
          "The field whose raw value is converted; None when there is none.")
      .def_property("CoeffA", py::overload_cast<>(&ScaledValue::CoeffA, py::const_),
                    py::overload_cast<double>(&ScaledValue::CoeffA), "Multiplies the raw value.")
      .def_property("CoeffB", py::overload_cast<>(&ScaledValue::CoeffB, py::const_),
                    py::overload_cast<double>(&ScaledValue::CoeffB),
                    "Added after the multiplication.")
      .def_property("CoeffC", py::overload_cast<>(&ScaledValue::CoeffC, py::const_),
                    py::overload_cast<double>(&ScaledValue::CoeffC), "Divides the sum.")
      .def_property(
          "Precision", [](const ScaledValue& s) { return s.Precision(); },
          [](ScaledValue& s, Long v) { s.Precision(v.value); },
          "Digits after the decimal separator in Text; -1 takes the settings' default.")
      .def_property(
          "Unit", [](const ScaledValue& s) { return s.Unit(); },
          [](ScaledValue& s, std::string unit) { s.Unit(std::move(unit)); },
          "The unit, kept for the client.")
      .def_property(
          "Settings", [](const ScaledValue& s) { return s.Settings(); },
          [](ScaledValue& s, RegionalSettings settings) { s.Settings(std::move(settings)); },
          "The regional settings Text writes and reads with.")
      .def_property_readonly("Min", &ScaledValue::Min, "The lower physical bound.")
      .def_property_readonly("Max", &ScaledValue::Max, "The upper physical bound.")
      .def_property("Value", py::overload_cast<>(&ScaledValue::Value, py::const_),
                    py::overload_cast<double>(&ScaledValue::Value),
                    "The physical value; setting it writes the raw value, rounded half to even.")
      .def_property(
          "Text", [](const ScaledValue& s) { return s.Text(); },
          [](ScaledValue& s, const std::string& text) { s.Text(text); },
          "Value as text in Settings with Precision decimals.")
      .def(
          "ToPhysical", [](const ScaledValue& s, Long raw) { return s.ToPhysical(raw.value); },
          py::arg("Raw"), "The physical value of a raw one, without a field.")
      .def("ToRaw", &ScaledValue::ToRaw, py::arg("X"),
           "The raw value Value would write for X, without a field.");
}

void BindEnumeration(py::module_& m) {
  auto enumeration_class =
      py::class_<Enumeration, std::shared_ptr<Enumeration>>(
          m, "Enumeration", "Text and value pairs, looked up both ways.")
          .def(py::init([] { return Enumeration::New(); }))
          .def_property_readonly("Count", &Enumeration::Count)
          .def(
              "Item", [](const Enumeration& e, Long index) { return e.Item(index.value); },
              py::arg("Index"), "The text of pair Index (1..Count).")
          .def(
              "Remove", [](Enumeration& e, Long index) { e.Remove(index.value); }, py::arg("Index"))
          .def("Clear", &Enumeration::Clear)
          .def(
              "Add",
              [](Enumeration& e, std::string text, Long value) {
                e.Add(std::move(text), value.value);
              },
              py::arg("Text"), py::arg("Value"), "Appends a pair.")
          .def(
              "Text", [](const Enumeration& e, Long value) { return e.Text(value.value); },
              py::arg("Value"), "The text of the first pair with this value; error 9 when none.")
          .def("Value", &Enumeration::Value, py::arg("Text"),
               "The value of the first pair with this text; error 9 when none.")
          .def(
              "FindText", [](const Enumeration& e, Long value) { return e.FindText(value.value); },
              py::arg("Value"), "The text of the first pair with this value, or None.")
          .def("FindValue", &Enumeration::FindValue, py::arg("Text"),
               "The value of the first pair with this text, or None.")
          .def("NewEnum", &Enumeration::NewEnum, "An enumerator over the texts.")
          .def("__len__", &Enumeration::Count)
          .def("__iter__", &Enumeration::NewEnum);
  BindPersistence(enumeration_class);
}

}  // namespace

void BindFields(py::module_& m) {
  BindNumericItems(m);
  BindSettings(m);
  BindScaledValue(m);
  BindEnumeration(m);
}

}  // namespace ombrix::python
