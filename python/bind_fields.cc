// Numeric fields, scaled values, enumerations and regional settings.
#include <pybind11/operators.h>
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
          "Binds the field to NumBits bits of I after SkippedBits bits, signed when S.")
      .def("__repr__", [](const py::object& self) {
        const auto& field = self.cast<const NumericItem&>();
        const std::string name = py::str(self.get_type().attr("__name__"));
        try {
          return "<" + name + " Value=" + std::to_string(field.Value()) +
                 " Min=" + std::to_string(field.Min()) + " Max=" + std::to_string(field.Max()) +
                 ">";
        } catch (const Error& error) {
          // Unbound, or its bytes gone: what reading it would say.
          return "<" + name + " " + error.what() + ">";
        }
      });
  py::class_<LittleEndian, NumericItem, std::shared_ptr<LittleEndian>>(
      m, "LittleEndian", "A field stored low-order byte first (Intel order).")
      .def(py::init([] { return LittleEndian::New(); }));
  py::class_<BigEndian, NumericItem, std::shared_ptr<BigEndian>>(
      m, "BigEndian", "A field stored high-order byte first (Motorola order).")
      .def(py::init([] { return BigEndian::New(); }));
}

// RegionalSettings is a value: immutable from Python, compared and hashed
// by its settings, so that `scaled.Settings.X = ...` cannot silently change
// a copy; replace() makes a changed one.
void BindSettings(py::module_& m) {
  using Form = RegionalSettings::NegativeForm;
  py::class_<RegionalSettings> settings(
      m, "RegionalSettings",
      "How numbers are written and read in a user's language; an immutable value (change one "
      "with replace()).");
  py::enum_<Form>(settings, "NegativeForm", "Where the minus sign of a negative number goes.")
      .value("Parentheses", Form::Parentheses, "(1.1)")
      .value("LeadingMinus", Form::LeadingMinus, "-1.1")
      .value("LeadingMinusSpace", Form::LeadingMinusSpace, "- 1.1")
      .value("TrailingMinus", Form::TrailingMinus, "1.1-")
      .value("TrailingMinusSpace", Form::TrailingMinusSpace, "1.1 -");
  const RegionalSettings plain;
  const auto make = [](std::string decimal, std::string group, Long grouping, bool leading_zero,
                       Form negative, Long decimals) {
    RegionalSettings made;
    made.DecimalSeparator = std::move(decimal);
    made.GroupSeparator = std::move(group);
    made.Grouping = grouping.value;
    made.LeadingZero = leading_zero;
    made.Negative = negative;
    made.DefaultDecimals = decimals.value;
    return made;
  };
  const auto state = [](const RegionalSettings& s) {
    return py::make_tuple(s.DecimalSeparator, s.GroupSeparator, s.Grouping, s.LeadingZero,
                          s.Negative, s.DefaultDecimals);
  };
  settings
      .def(py::init(make), py::arg("DecimalSeparator") = plain.DecimalSeparator,
           py::arg("GroupSeparator") = plain.GroupSeparator,
           py::arg("Grouping") = Long{plain.Grouping}, py::arg("LeadingZero") = plain.LeadingZero,
           py::arg("Negative") = plain.Negative,
           py::arg("DefaultDecimals") = Long{plain.DefaultDecimals},
           "Settings given one by one; those left out are the English ones.")
      .def_static("User", &RegionalSettings::User, "The settings of the process locale.")
      .def_static("English", &RegionalSettings::English, "1,234.56 and -1,234.56.")
      .def_static("French", &RegionalSettings::French,
                  "1 234,56 and -1 234,56, grouped with the no-break space U+00A0.")
      .def_readonly("DecimalSeparator", &RegionalSettings::DecimalSeparator,
                    "Separates the integer part from the decimals.")
      .def_readonly("GroupSeparator", &RegionalSettings::GroupSeparator,
                    "Separates digit groups in the integer part.")
      .def_readonly("Grouping", &RegionalSettings::Grouping,
                    "Digits per group in the integer part; 0 writes no groups.")
      .def_readonly("LeadingZero", &RegionalSettings::LeadingZero,
                    "True when a number between -1 and 1 has a 0 before the separator.")
      .def_readonly("Negative", &RegionalSettings::Negative, "The form of negative numbers.")
      .def_readonly("DefaultDecimals", &RegionalSettings::DefaultDecimals,
                    "Decimals shown when a caller asks for the default (Precision -1).")
      .def(
          "replace",
          [make, state](const RegionalSettings& s, const py::kwargs& changes) {
            py::dict values;
            const char* names[] = {"DecimalSeparator", "GroupSeparator", "Grouping",
                                   "LeadingZero",      "Negative",       "DefaultDecimals"};
            const py::tuple current = state(s);
            for (size_t k = 0; k < 6; ++k) values[names[k]] = current[k];
            for (const auto& [key, value] : changes) {
              if (!values.contains(key)) {
                throw py::type_error("replace() has no setting " +
                                     py::str(key).cast<std::string>());
              }
              values[key] = value;
            }
            return py::type::of<RegionalSettings>()(**values).cast<RegionalSettings>();
          },
          "A copy with the settings given by name changed.")
      .def(
          "Format",
          [](const RegionalSettings& s, double value, Long decimals) {
            return s.Format(value, decimals.value);
          },
          py::arg("Value"), py::arg("Decimals"), "Value with exactly Decimals decimals.")
      .def("Parse", &RegionalSettings::Parse, py::arg("Text"),
           "A number written in these settings.")
      .def("ParseStrict", &RegionalSettings::ParseStrict, py::arg("Text"),
           "Parse for typed text: group separators only at every group boundary.")
      .def(py::self == py::self)
      .def("__hash__", [state](const RegionalSettings& s) { return py::hash(state(s)); })
      .def("__repr__",
           [](const RegionalSettings& s) {
             return py::str(
                        "RegionalSettings(DecimalSeparator={!r}, GroupSeparator={!r}, "
                        "Grouping={}, LeadingZero={}, Negative=RegionalSettings.NegativeForm.{}, "
                        "DefaultDecimals={})")
                 .format(s.DecimalSeparator, s.GroupSeparator, s.Grouping, s.LeadingZero,
                         py::cast(s.Negative).attr("name"), s.DefaultDecimals);
           })
      .def("__copy__", [](const RegionalSettings& s) { return s; })
      .def(
          "__deepcopy__", [](const RegionalSettings& s, const py::object&) { return s; },
          py::arg("memo"))
      .def(py::pickle(state, [make](const py::tuple& t) {
        if (t.size() != 6) throw py::value_error("not the state of RegionalSettings");
        return make(t[0].cast<std::string>(), t[1].cast<std::string>(), t[2].cast<Long>(),
                    t[3].cast<bool>(), t[4].cast<Form>(), t[5].cast<Long>());
      }));
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
           "The raw value Value would write for X, without a field.")
      .def("__repr__", [](const ScaledValue& s) {
        std::string value;
        try {
          value = "Text=" + py::repr(py::str(s.Text())).cast<std::string>();
        } catch (const Error& error) {
          value = error.what();
        }
        return py::str("<ScaledValue {} Unit={!r} CoeffA={} CoeffB={} CoeffC={}>")
            .format(value, s.Unit(), s.CoeffA(), s.CoeffB(), s.CoeffC())
            .cast<std::string>();
      });
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
          .def("__iter__", &Enumeration::NewEnum)
          .def("__repr__", [](const Enumeration& e) {
            constexpr int32_t kShown = 8;
            std::string text = "<Enumeration " + std::to_string(e.Count()) + " pairs";
            for (int32_t k = 1; k <= e.Count() && k <= kShown; ++k) {
              text += (k == 1 ? ": " : ", ") + py::repr(py::str(e.Item(k))).cast<std::string>() +
                      "=" + std::to_string(e.Value(e.Item(k)));
            }
            return text + (e.Count() > kShown ? ", ...>" : ">");
          });
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
