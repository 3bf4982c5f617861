// Property bags (usable as mappings), the Null value, and image files read
// and written through the formats library with the program's errors.
#include <pybind11/stl.h>

#include <optional>
#include <string>

#include "formats/image_file.h"
#include "formats/json_property_bag.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/memory_property_bag.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

// The Null variant's Python face: one instance, ombrix.Null.
struct NullType {};

bool Holds(const PropertyBag& bag, const std::string& key) {
  try {
    (void)bag.ReadProperty(key);
    return true;
  } catch (const Error& error) {
    if (error.Number() != errors::kInvalidArgument) throw;
    return false;
  }
}

void BindBags(py::module_& m) {
  py::class_<NullType>(m, "NullType", "The type of ombrix.Null, the Null variant.")
      .def("__repr__", [](const NullType&) { return "ombrix.Null"; })
      .def("__bool__", [](const NullType&) { return false; });
  m.attr("Null") = NullType{};

  py::class_<PropertyBag, std::shared_ptr<PropertyBag>>(
      m, "PropertyBag",
      "Named values that keep their kind; bag[key] reads (KeyError when absent), bag[key] = "
      "value writes, del bag[key] removes.")
      .def(
          "ReadProperty",
          [](const PropertyBag& bag, const std::string& name, py::handle fallback) {
            if (fallback.is_none()) return FromVariant(bag.ReadProperty(name));
            return FromVariant(bag.ReadProperty(name, ToVariant(fallback, "Default")));
          },
          py::arg("Name"), py::arg("Default") = py::none(),
          "The value under Name, or Default (error 5 when there is neither).")
      .def(
          "WriteProperty",
          [](PropertyBag& bag, const std::string& name, py::handle value, py::handle fallback) {
            if (fallback.is_none()) {
              bag.WriteProperty(name, ToVariant(value, "Value"));
            } else {
              bag.WriteProperty(name, ToVariant(value, "Value"), ToVariant(fallback, "Default"));
            }
          },
          py::arg("Name"), py::arg("Value"), py::arg("Default") = py::none(),
          "Stores Value under Name; a Value equal to Default is not stored.")
      .def("__contains__", &Holds)
      .def("__getitem__",
           [](const PropertyBag& bag, const std::string& key) {
             if (!Holds(bag, key)) throw py::key_error(key);
             return FromVariant(bag.ReadProperty(key));
           })
      .def("__setitem__",
           [](PropertyBag& bag, const std::string& key, py::handle value) {
             bag.WriteProperty(key, ToVariant(value, "value"));
           })
      .def("__delitem__", [](PropertyBag& bag, const std::string& key) {
        if (!Holds(bag, key)) throw py::key_error(key);
        bag.WriteProperty(key, Variant(), Variant());  // equal to its default: removed
      });
  py::class_<MemoryPropertyBag, PropertyBag, std::shared_ptr<MemoryPropertyBag>>(
      m, "MemoryPropertyBag", "A property bag in memory; iterates over its keys.")
      .def(py::init([] { return MemoryPropertyBag::New(); }))
      .def("Keys", &MemoryPropertyBag::Keys, "The keys, in the order first written.")
      .def("keys", &MemoryPropertyBag::Keys)
      .def("__len__", [](const MemoryPropertyBag& bag) { return bag.Keys().size(); })
      .def("__iter__", [](const MemoryPropertyBag& bag) { return py::iter(py::cast(bag.Keys())); });
  py::class_<formats::JsonPropertyBag, MemoryPropertyBag,
             std::shared_ptr<formats::JsonPropertyBag>>(
      m, "JsonPropertyBag", "A property bag read from and written to JSON.")
      .def(py::init([] { return formats::JsonPropertyBag::New(); }))
      .def_static("Load", &formats::JsonPropertyBag::Load, py::arg("path"))
      .def_static("Parse", &formats::JsonPropertyBag::Parse, py::arg("text"),
                  py::arg("name") = "text")
      .def_property_readonly("Text", &formats::JsonPropertyBag::Text, "The bag as JSON text.")
      .def("Save", &formats::JsonPropertyBag::Save, py::arg("path"),
           "Writes the JSON file safely (the old one is kept until the new one is whole).");
}

std::optional<formats::FileFormat> FormatArgument(const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  const auto format = formats::FormatNamed(*name);
  if (!format) throw py::value_error("format: expected 'ihex', 'srec', 'json' or 'binary'");
  return format;
}

void BindImageFiles(py::module_& m) {
  py::class_<formats::ImageFile>(
      m, "ImageFile",
      "An image with what its file says beside the data: file address = Base + image address.")
      .def(py::init<>())
      .def_readwrite("Image", &formats::ImageFile::Image, "The data, at image addresses.")
      .def_readwrite("Base", &formats::ImageFile::Base, "The file address of image address 0.")
      .def_readwrite("StartAddress", &formats::ImageFile::StartAddress,
                     "Where execution starts, or None.")
      .def_readwrite("SegmentStart", &formats::ImageFile::SegmentStart,
                     "Intel record 03's CS:IP as CS << 16 | IP, or None.")
      .def_readwrite("Header", &formats::ImageFile::Header, "The S0 record's text.");

  m.def(
      "read_image",
      [](const std::string& path, const std::optional<std::string>& format, uint32_t base) {
        return formats::ReadImageFile(path, FormatArgument(format), base);
      },
      py::arg("path"), py::arg("format") = py::none(), py::arg("base") = 0,
      "Reads an Intel HEX, S-record, binary or JSON image file (format from the extension, or "
      "'ihex', 'srec', 'binary', 'json'); a binary file's first byte is at base. "
      "ombrix.FileError, with the line and the reason, for a malformed file.");
  m.def(
      "write_image",
      [](py::handle image, const std::string& path, const std::optional<std::string>& format,
         size_t record_bytes, int srec_type, Byte pattern) {
        formats::ImageFile file;
        if (py::isinstance<formats::ImageFile>(image)) {
          file = image.cast<formats::ImageFile>();
        } else if (py::isinstance<MemoryImage>(image)) {
          file.Image = image.cast<std::shared_ptr<MemoryImage>>();
        } else {
          throw py::type_error("image: expected a MemoryImage or an ImageFile");
        }
        formats::WriteOptions options;
        options.RecordBytes = record_bytes;
        options.SRecordType = srec_type;
        options.Pattern = pattern.value;
        formats::WriteImageFile(file, path, FormatArgument(format), options);
      },
      py::arg("image"), py::arg("path"), py::arg("format") = py::none(),
      py::arg("record_bytes") = 0, py::arg("srec_type") = 0, py::arg("pattern") = Byte{0xFF},
      "Writes a MemoryImage or an ImageFile; the old file stays whole until the new one is.");
}

}  // namespace

void BindFiles(py::module_& m) {
  BindBags(m);
  BindImageFiles(m);
}

}  // namespace ombrix::python
