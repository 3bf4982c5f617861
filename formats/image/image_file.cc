#include "formats/image/image_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "formats/file_error.h"
#include "formats/file_io.h"
#include "formats/image/image_builder.h"
#include "formats/image/record_text.h"
#include "formats/json_property_bag.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/property_bag.h"

namespace ombrix::formats {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Extension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

// The JSON form holds the image's own keys ("Count", "StartN", "TextN") with
// file addresses, and what the record formats carry outside the data.
constexpr const char* kCountKey = "Count";
constexpr const char* kStartKey = "StartAddress";
constexpr const char* kSegmentStartKey = "SegmentStart";
constexpr const char* kHeaderKey = "Header";
constexpr const char* kHeaderHexKey = "HeaderHex";  // a header that is not UTF-8 text

[[noreturn]] void FailKey(const std::string& name, const std::string& key,
                          const std::string& message) {
  throw FileError(name, 0, "\"" + key + "\": " + message);
}

// A file address: a whole number from 0 to FFFFFFFF (JSON gives numbers
// beyond 32-bit signed as doubles).
uint32_t AddressOf(const Variant& value, const std::string& name, const std::string& key) {
  double number = 0;
  if (value.IsLong() || value.IsInteger() || value.GetKind() == Variant::Kind::Byte) {
    number = value.ToLong();
  } else if (value.GetKind() == Variant::Kind::Double) {
    number = value.ToDouble();
  } else {
    FailKey(name, key, "an address must be a number");
  }
  if (!(number >= 0 && number <= std::numeric_limits<uint32_t>::max()) ||
      std::floor(number) != number) {
    FailKey(name, key, "an address is a whole number from 0 to 4294967295 (FFFFFFFF)");
  }
  return static_cast<uint32_t>(number);
}

Variant AddressVariant(uint32_t address) {
  if (address <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    return Variant(static_cast<int32_t>(address));
  }
  return Variant(static_cast<double>(address));
}

// The value under the key; Empty when the bag has none.
Variant Lookup(const PropertyBag& bag, const std::string& key) {
  return bag.ReadProperty(key, Variant());
}

bool IsUtf8(std::string_view text) {
  size_t k = 0;
  while (k < text.size()) {
    const auto lead = static_cast<unsigned char>(text[k]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || k + length > text.size()) return false;
    for (size_t j = 1; j < length; ++j) {
      if ((static_cast<unsigned char>(text[k + j]) & 0xC0) != 0x80) return false;
    }
    k += length;
  }
  return true;
}

ImageFile ParseJson(std::string_view text, const std::string& name) {
  const auto bag = JsonPropertyBag::Parse(text, name);
  ImageFile file;
  const Variant count_value = bag->ReadProperty(kCountKey, Variant(0));
  if (!count_value.IsLong() && !count_value.IsInteger()) {
    FailKey(name, kCountKey, "the number of arrays must be a whole number");
  }
  const int32_t count = count_value.ToLong();
  if (count < 0) FailKey(name, kCountKey, "the number of arrays cannot be negative");

  ImageBuilder builder(name);
  for (int32_t k = 0; k < count; ++k) {
    const std::string start_key = IndexedKey("Start", static_cast<size_t>(k));
    const std::string text_key = IndexedKey("Text", static_cast<size_t>(k));
    const Variant start_value = Lookup(*bag, start_key);
    const Variant text_value = Lookup(*bag, text_key);
    if (start_value.IsEmpty()) FailKey(name, start_key, "missing");
    if (!text_value.IsString()) FailKey(name, text_key, "missing, or not text");
    const uint32_t start = AddressOf(start_value, name, start_key);
    auto bytes = ByteArray::New();
    try {
      bytes->Text(text_value.ToString());
    } catch (const Error& error) {
      if (error.Number() == errors::kOutOfMemory) throw;  // the memory's fault, not the file's
      FailKey(name, text_key, error.what());
    }
    if (uint64_t{start} + bytes->size() > uint64_t{std::numeric_limits<uint32_t>::max()} + 1) {
      FailKey(name, text_key, "data beyond address FFFFFFFF");
    }
    builder.Add(start, std::as_const(*bytes).Bytes(), k);
  }
  try {
    file.Regions = builder.Finish();
  } catch (const DataConflict& conflict) {
    FailKey(name, IndexedKey("Start", static_cast<size_t>(conflict.Later())),
            "bytes at " + detail::HexAddress(conflict.Low()) + "-" +
                detail::HexAddress(conflict.High()) + " differ from those of " +
                IndexedKey("Start", static_cast<size_t>(conflict.Earlier())));
  }
  const auto address = [&](const char* key) -> std::optional<uint32_t> {
    const Variant value = Lookup(*bag, key);
    if (value.IsEmpty()) return std::nullopt;
    return AddressOf(value, name, key);
  };
  file.StartAddress = address(kStartKey);
  file.SegmentStart = address(kSegmentStartKey);
  const Variant header_hex = Lookup(*bag, kHeaderHexKey);
  const Variant header = Lookup(*bag, kHeaderKey);
  if (!header_hex.IsEmpty()) {
    auto bytes = ByteArray::New();
    try {
      if (!header_hex.IsString()) throw Error(13);
      bytes->Text(header_hex.ToString());
    } catch (const Error& error) {
      if (error.Number() == errors::kOutOfMemory) throw;
      FailKey(name, kHeaderHexKey, error.what());
    }
    for (int32_t k = 1; k <= bytes->Count(); ++k) {
      file.Header += static_cast<char>(bytes->Item(k));
    }
  } else if (!header.IsEmpty()) {
    if (!header.IsString()) FailKey(name, kHeaderKey, "the header must be text");
    file.Header = header.ToString();
  }
  return file;
}

std::string FormatJson(const ImageFile& file) {
  auto bag = JsonPropertyBag::New();
  const std::vector<PlacedArray> arrays = Arrays(file);
  bag->WriteProperty(kCountKey, Variant(static_cast<int32_t>(arrays.size())), Variant(0));
  for (size_t k = 0; k < arrays.size(); ++k) {
    bag->WriteProperty(IndexedKey("Start", k), AddressVariant(arrays[k].Address));
    bag->WriteProperty(IndexedKey("Text", k), Variant(arrays[k].Bytes->Text()));
  }
  if (file.StartAddress) bag->WriteProperty(kStartKey, AddressVariant(*file.StartAddress));
  if (file.SegmentStart) bag->WriteProperty(kSegmentStartKey, AddressVariant(*file.SegmentStart));
  if (IsUtf8(file.Header)) {
    if (!file.Header.empty()) bag->WriteProperty(kHeaderKey, Variant(file.Header));
  } else {
    auto header = ByteArray::New();
    header->Count(static_cast<int32_t>(file.Header.size()));
    for (size_t j = 0; j < file.Header.size(); ++j) {
      header->Item(static_cast<int32_t>(j + 1), static_cast<unsigned char>(file.Header[j]));
    }
    bag->WriteProperty(kHeaderHexKey, Variant(header->Text()));
  }
  return bag->Text();
}

}  // namespace

FileFormat FormatOfPath(const std::string& path) {
  const std::string extension = Extension(path);
  if (extension == "hex" || extension == "ihex" || extension == "ihx") return FileFormat::kIntelHex;
  if (extension == "s19" || extension == "s28" || extension == "s37" || extension == "srec" ||
      extension == "mot" || extension == "s") {
    return FileFormat::kSRecord;
  }
  if (extension == "json") return FileFormat::kJson;
  if (extension == "bin") return FileFormat::kBinary;
  throw FileError(path, 0,
                  "unknown file format; name one with --format (ihex, srec, json or binary)");
}

std::optional<FileFormat> FormatNamed(std::string_view name) {
  if (name == "ihex") return FileFormat::kIntelHex;
  if (name == "srec") return FileFormat::kSRecord;
  if (name == "json") return FileFormat::kJson;
  if (name == "binary") return FileFormat::kBinary;
  return std::nullopt;
}

ImageFile ReadImage(std::istream& in, FileFormat format, const std::string& name,
                    const ReadOptions& options) {
  // A file too large for memory is error 7, as anywhere in the library.
  return ombrix::detail::OrOutOfMemory([&] {
    switch (format) {
      case FileFormat::kIntelHex:
        return ReadIntelHex(in, name, options);
      case FileFormat::kSRecord:
        return ReadSRecord(in, name, options);
      case FileFormat::kBinary:
        return ReadBinary(in, options.BinaryBase, name);
      case FileFormat::kJson:
      default: {
        const std::string text(std::istreambuf_iterator<char>(in), {});
        if (in.bad()) throw FileError(name, 0, "cannot read");
        return ParseJson(text, name);
      }
    }
  });
}

void WriteImage(const ImageFile& file, FileFormat format, const WriteOptions& options,
                const TextSink& sink) {
  ombrix::detail::OrOutOfMemory([&] {
    switch (format) {
      case FileFormat::kIntelHex:
        return WriteIntelHex(file, options, sink);
      case FileFormat::kSRecord:
        return WriteSRecord(file, options, sink);
      case FileFormat::kBinary:
        return WriteBinary(file, options, sink);
      case FileFormat::kJson:
      default:
        return sink(FormatJson(file));
    }
  });
}

ImageFile ParseImage(std::string_view text, FileFormat format, const std::string& name,
                     const ReadOptions& options) {
  return ombrix::detail::OrOutOfMemory([&] {
    std::istringstream in{std::string(text)};
    return ReadImage(in, format, name, options);
  });
}

std::string FormatImage(const ImageFile& file, FileFormat format, const WriteOptions& options) {
  return ombrix::detail::OrOutOfMemory([&] {
    std::string text;
    WriteImage(file, format, options, [&](std::string_view piece) { text += piece; });
    return text;
  });
}

ImageFile ParseIntelHex(std::string_view text, const std::string& name,
                        const ReadOptions& options) {
  return ParseImage(text, FileFormat::kIntelHex, name, options);
}
std::string FormatIntelHex(const ImageFile& file, const WriteOptions& options) {
  return FormatImage(file, FileFormat::kIntelHex, options);
}
ImageFile ParseSRecord(std::string_view text, const std::string& name, const ReadOptions& options) {
  return ParseImage(text, FileFormat::kSRecord, name, options);
}
std::string FormatSRecord(const ImageFile& file, const WriteOptions& options) {
  return FormatImage(file, FileFormat::kSRecord, options);
}
ImageFile ParseBinary(std::string_view bytes, uint32_t base, const std::string& name) {
  return ParseImage(bytes, FileFormat::kBinary, name, {.BinaryBase = base});
}
std::string FormatBinary(const ImageFile& file, const WriteOptions& options) {
  return FormatImage(file, FileFormat::kBinary, options);
}

ImageFile ReadImageFile(const std::string& path, std::optional<FileFormat> format,
                        const ReadOptions& options) {
  const FileFormat chosen = format ? *format : FormatOfPath(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::System(path, "cannot open", errno);
  return ReadImage(in, chosen, path, options);
}

void WriteImageFile(const ImageFile& file, const std::string& path,
                    std::optional<FileFormat> format, WriteOptions options) {
  const FileFormat chosen = format ? *format : FormatOfPath(path);
  if (chosen == FileFormat::kSRecord && options.SRecordType == 0) {
    const std::string extension = Extension(path);
    if (extension == "s19") options.SRecordType = 1;
    if (extension == "s28") options.SRecordType = 2;
    if (extension == "s37") options.SRecordType = 3;
  }
  WriteFileSafely(path, [&](const TextSink& sink) { WriteImage(file, chosen, options, sink); });
}

}  // namespace ombrix::formats
