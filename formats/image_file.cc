#include "formats/image_file.h"

#include <algorithm>
#include <cctype>

#include "formats/file_error.h"
#include "formats/file_io.h"
#include "formats/json_property_bag.h"

namespace ombrix::formats {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Beside the image's own keys, the JSON form keeps what the record formats
// carry outside the data.
constexpr const char* kStartKey = "StartAddress";
constexpr const char* kSegmentStartKey = "SegmentStart";
constexpr const char* kHeaderKey = "Header";

ImageFile ParseJson(std::string_view text, const std::string& name) {
  auto bag = JsonPropertyBag::Parse(text, name);
  ImageFile file;
  try {
    file.Image = MemoryImage::Load(*bag);
    const auto address = [&](const char* key) -> std::optional<uint32_t> {
      const Variant value = bag->ReadProperty(key, Variant());
      if (value.IsEmpty()) return std::nullopt;
      return static_cast<uint32_t>(value.ToLong());
    };
    file.StartAddress = address(kStartKey);
    file.SegmentStart = address(kSegmentStartKey);
    file.Header = bag->ReadProperty(kHeaderKey, Variant("")).ToString();
  } catch (const Error& error) {
    throw FileError(name, 0,
                    "error " + std::to_string(error.Number()) + ": " + error.Description());
  }
  return file;
}

std::string FormatJson(const ImageFile& file) {
  auto bag = JsonPropertyBag::New();
  file.Image->WriteProperties(*bag);
  if (file.StartAddress)
    bag->WriteProperty(kStartKey, Variant(static_cast<int32_t>(*file.StartAddress)));
  if (file.SegmentStart)
    bag->WriteProperty(kSegmentStartKey, Variant(static_cast<int32_t>(*file.SegmentStart)));
  if (!file.Header.empty()) bag->WriteProperty(kHeaderKey, Variant(file.Header));
  return bag->Text();
}

}  // namespace

FileFormat FormatOfPath(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  const std::string extension =
      dot == std::string::npos || (slash != std::string::npos && dot < slash)
          ? ""
          : Lower(path.substr(dot + 1));
  if (extension == "hex" || extension == "ihex" || extension == "ihx") return FileFormat::kIntelHex;
  if (extension == "s19" || extension == "s28" || extension == "s37" || extension == "srec" ||
      extension == "mot" || extension == "s") {
    return FileFormat::kSRecord;
  }
  if (extension == "json") return FileFormat::kJson;
  throw FileError(path, 0, "unknown file format; name one with --format (ihex, srec or json)");
}

std::optional<FileFormat> FormatNamed(std::string_view name) {
  if (name == "ihex") return FileFormat::kIntelHex;
  if (name == "srec") return FileFormat::kSRecord;
  if (name == "json") return FileFormat::kJson;
  return std::nullopt;
}

ImageFile ReadImageFile(const std::string& path, std::optional<FileFormat> format) {
  const FileFormat chosen = format ? *format : FormatOfPath(path);
  const std::string text = ReadFile(path);
  switch (chosen) {
    case FileFormat::kIntelHex:
      return ParseIntelHex(text, path);
    case FileFormat::kSRecord:
      return ParseSRecord(text, path);
    case FileFormat::kJson:
    default:
      return ParseJson(text, path);
  }
}

void WriteImageFile(const ImageFile& file, const std::string& path,
                    std::optional<FileFormat> format) {
  const FileFormat chosen = format ? *format : FormatOfPath(path);
  switch (chosen) {
    case FileFormat::kIntelHex:
      WriteFileAtomically(path, FormatIntelHex(file));
      break;
    case FileFormat::kSRecord:
      WriteFileAtomically(path, FormatSRecord(file));
      break;
    case FileFormat::kJson:
      WriteFileAtomically(path, FormatJson(file));
      break;
  }
}

}  // namespace ombrix::formats
