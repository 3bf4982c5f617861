// Property bags (usable as mappings), the Null value, and image files read
// and written through the formats library with the program's errors.
#include <pybind11/stl.h>

#include <optional>
#include <string>

#include "formats/image/image_file.h"
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

}  // namespace

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
          [](const PropertyBag& bag, const std::string& name, const py::object& fallback) {
            if (fallback.is_none()) return FromVariant(bag.ReadProperty(name));
            return FromVariant(bag.ReadProperty(name, ToVariant(fallback, "Default")));
          },
          py::arg("Name"), py::arg("Default") = py::none(),
          "The value under Name, or Default (error 5 when there is neither).")
      .def(
          "WriteProperty",
          [](PropertyBag& bag, const std::string& name, const py::object& value,
             const py::object& fallback) {
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
           [](PropertyBag& bag, const std::string& key, const py::object& value) {
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
      .def("__iter__", [](const MemoryPropertyBag& bag) { return py::iter(py::cast(bag.Keys())); })
      .def("__repr__", [](const py::object& self) {
        const auto& bag = self.cast<const MemoryPropertyBag&>();
        const std::string contents = py::repr(SavedState([&](PropertyBag& copy) {
          for (const std::string& key : bag.Keys()) copy.WriteProperty(key, bag.ReadProperty(key));
        }));
        constexpr size_t kShown = 200;
        return "<" + std::string(py::str(self.get_type().attr("__name__"))) + " " +
               (contents.size() > kShown ? contents.substr(0, kShown) + "...}" : contents) + ">";
      });
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

namespace {

std::optional<formats::FileFormat> FormatArgument(const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  const auto format = formats::FormatNamed(*name);
  if (!format) throw py::value_error("format: expected 'ihex', 'srec', 'json' or 'binary'");
  return format;
}

// The one region of a file whose data lies within 2 GiB, made at base 0
// for a file that has none yet.
formats::ImageRegion& SingleRegion(formats::ImageFile& file) {
  if (file.Regions.empty()) file.Regions.emplace_back();
  if (file.Regions.size() > 1) {
    throw py::value_error("the file's data lies in " + std::to_string(file.Regions.size()) +
                          " regions more than 2 GiB apart: use Regions");
  }
  return file.Regions.front();
}

// An image given where one is required: None is error 91.
std::shared_ptr<MemoryImage> Required(std::shared_ptr<MemoryImage> image) {
  if (!image) throw Error(errors::kObjectNotSet);
  return image;
}

void BindImageFiles(py::module_& m) {
  // A region is a value (its image is shared, as the file shares it):
  // Regions gives a tuple of them, and a file changes by giving it new ones.
  py::class_<formats::ImageRegion>(
      m, "ImageRegion",
      "Part of a file's data: an image whose address 0 is the file address Base; an immutable "
      "pair (the image itself is shared and can change).")
      .def(py::init([](uint32_t base, std::shared_ptr<MemoryImage> image) {
             return formats::ImageRegion{base, image ? std::move(image) : MemoryImage::New()};
           }),
           py::arg("Base") = 0, py::arg("Image") = py::none(),
           "The region of Image (a new, empty one when None) at the file address Base.")
      .def_readonly("Base", &formats::ImageRegion::Base, "The file address of image address 0.")
      .def_readonly("Image", &formats::ImageRegion::Image,
                    "The data, at image addresses (file address - Base).")
      .def("__repr__", [](const formats::ImageRegion& region) {
        return py::str("ImageRegion(Base=0x{:08X}, Image={!r})")
            .format(region.Base, py::cast(region.Image))
            .cast<std::string>();
      });
  py::class_<formats::ImageFile>(
      m, "ImageFile",
      "An image with what its file says beside the data, held as regions that each span less "
      "than 2 GiB; Image and Base stand for the one region of data within 2 GiB.")
      .def(py::init<>())
      .def_property(
          "Regions",
          [](const formats::ImageFile& file) {
            py::tuple regions(file.Regions.size());
            for (size_t k = 0; k < file.Regions.size(); ++k) regions[k] = py::cast(file.Regions[k]);
            return regions;
          },
          [](formats::ImageFile& file, const std::vector<formats::ImageRegion>& regions) {
            file.Regions = regions;
          },
          "The data as a tuple of ImageRegion values, in address order; set it to change them.")
      .def_property(
          "Image", [](formats::ImageFile& file) { return SingleRegion(file).Image; },
          [](formats::ImageFile& file, std::shared_ptr<MemoryImage> image) {
            SingleRegion(file).Image = Required(std::move(image));
          },
          "The data of the file's one region, at image addresses (ValueError when there are "
          "several).")
      .def_property(
          "Base", [](formats::ImageFile& file) { return SingleRegion(file).Base; },
          [](formats::ImageFile& file, uint32_t base) { SingleRegion(file).Base = base; },
          "The file address of the one region's image address 0.")
      .def_readwrite("StartAddress", &formats::ImageFile::StartAddress,
                     "Where execution starts, or None.")
      .def_readwrite("SegmentStart", &formats::ImageFile::SegmentStart,
                     "Intel record 03's CS:IP as CS << 16 | IP, or None.")
      .def_readwrite("Header", &formats::ImageFile::Header, "The S0 record's text.")
      .def_property_readonly(
          "Notices",
          [](const formats::ImageFile& file) {
            std::vector<std::string> notices;
            for (const auto& notice : file.Notices) notices.emplace_back(notice.what());
            return notices;
          },
          "What the reader let pass: lines after the end record, a start address given again.")
      .def(
          "holding",
          [](const formats::ImageFile& file, uint32_t address) {
            return formats::Holding(file, address);
          },
          py::arg("address"), "The array that holds the file address, or None.")
      .def(
          "read_bytes",
          [](const formats::ImageFile& file, uint32_t address, uint32_t count) -> py::object {
            const auto bytes = formats::ReadBytes(file, address, count);
            if (!bytes) return py::none();
            const auto data = std::as_const(*bytes).Bytes();
            return py::bytes(reinterpret_cast<const char*>(data.data()), data.size());
          },
          py::arg("address"), py::arg("count"),
          "The bytes from the file address on, or None unless the file holds every one.")
      .def("__repr__", [](const formats::ImageFile& file) {
        std::vector<std::pair<int64_t, int64_t>> ranges;
        for (const auto& region : file.Regions) {
          for (int32_t k = 1; k <= region.Image->Count() && ranges.size() < 5; ++k) {
            const auto array = region.Image->Item(k);
            ranges.emplace_back(int64_t{region.Base} + array->LowIndex(), array->Count());
          }
        }
        std::string text = "<ImageFile " + std::to_string(file.Regions.size()) + " regions";
        if (!ranges.empty()) text += ": " + RangesText(ranges);
        if (file.StartAddress) {
          text += py::str(" StartAddress=0x{:08X}").format(*file.StartAddress).cast<std::string>();
        }
        return text + ">";
      });

  m.def(
      "read_image",
      [](const std::string& path, const std::optional<std::string>& format, uint32_t base,
         bool strict) {
        const auto chosen = FormatArgument(format);
        const LetOthersRun others;
        return formats::ReadImageFile(path, chosen, {.BinaryBase = base, .Strict = strict});
      },
      py::arg("path"), py::arg("format") = py::none(), py::arg("base") = 0,
      py::arg("strict") = false,
      "Reads an Intel HEX, S-record, binary or JSON image file (format from the extension, or "
      "'ihex', 'srec', 'binary', 'json'); a binary file's first byte is at base. "
      "ombrix.FileError, with the line and the reason, for a malformed file; with strict, also "
      "for what is otherwise only noted in Notices.");
  m.def(
      "write_image",
      [](const py::object& image, const std::string& path, const std::optional<std::string>& format,
         size_t record_bytes, int srec_type, Byte pattern) {
        formats::ImageFile file;
        if (py::isinstance<formats::ImageFile>(image)) {
          file = image.cast<formats::ImageFile>();
        } else if (py::isinstance<MemoryImage>(image)) {
          file.Regions.push_back({0, image.cast<std::shared_ptr<MemoryImage>>()});
        } else {
          throw py::type_error("image: expected a MemoryImage or an ImageFile");
        }
        formats::WriteOptions options;
        options.RecordBytes = record_bytes;
        options.SRecordType = srec_type;
        options.Pattern = pattern.value;
        const auto chosen = FormatArgument(format);
        const LetOthersRun others;
        formats::WriteImageFile(file, path, chosen, options);
      },
      py::arg("image"), py::arg("path"), py::arg("format") = py::none(),
      py::arg("record_bytes") = 0, py::arg("srec_type") = 0, py::arg("pattern") = Byte{0xFF},
      "Writes a MemoryImage or an ImageFile; the old file stays whole until the new one is.");
}

}  // namespace

void BindFiles(py::module_& m) { BindImageFiles(m); }

}  // namespace ombrix::python
