#include "formats/image_file.h"

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
#include "formats/json_property_bag.h"
#include "formats/record_reader.h"
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

  struct Entry {
    uint32_t start;
    std::shared_ptr<ByteArray> bytes;
  };
  std::vector<Entry> entries;
  std::optional<std::pair<uint32_t, uint32_t>> extent;
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
      FailKey(name, text_key, error.what());
    }
    if (bytes->Count() > 0) {
      const uint64_t high = uint64_t{start} + static_cast<uint32_t>(bytes->Count()) - 1;
      if (high > std::numeric_limits<uint32_t>::max()) {
        FailKey(name, text_key, "data beyond address FFFFFFFF");
      }
      Include(extent, start, static_cast<uint32_t>(high));
    }
    entries.push_back({start, std::move(bytes)});
  }
  if (extent) file.Base = BaseFor(extent->first, extent->second, name);
  for (size_t k = 0; k < entries.size(); ++k) {
    Entry& entry = entries[k];
    if (entry.bytes->Count() == 0 && entry.start < file.Base) continue;
    entry.bytes->LowIndex(static_cast<int32_t>(entry.start - file.Base));
    try {
      file.Image->Add(*entry.bytes);
    } catch (const Error& error) {
      FailKey(name, IndexedKey("Start", k),
              error.what() + std::string(" (the array overlaps another)"));
    }
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
  bag->WriteProperty(kCountKey, Variant(file.Image->Count()), Variant(0));
  size_t k = 0;
  for (const auto& array : *file.Image) {
    const auto start = static_cast<uint32_t>(file.Base + static_cast<uint32_t>(array->LowIndex()));
    bag->WriteProperty(IndexedKey("Start", k), AddressVariant(start));
    bag->WriteProperty(IndexedKey("Text", k), Variant(array->Text()));
    ++k;
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

ImageFile ReadBinary(std::istream& in, uint32_t base, const std::string& name) {
  ImageFile file;
  detail::ImageBuilder builder(file, name);
  std::vector<uint8_t> chunk(size_t{1} << 20);
  uint64_t address = base;
  while (in) {
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<size_t>(in.gcount());
    if (in.bad()) throw FileError(name, 0, "cannot read");
    if (address + got > uint64_t{std::numeric_limits<uint32_t>::max()} + 1) {
      throw FileError(
          name, 0,
          "the bytes from " + detail::HexAddress(base) + " on reach beyond address FFFFFFFF");
    }
    builder.Add(address, std::span<const uint8_t>(chunk.data(), got), 0);
    address += got;
  }
  builder.Finish();
  return file;
}

void WriteBinary(const ImageFile& file, const WriteOptions& options, const TextSink& sink) {
  const auto extent = FileExtent(file);
  if (!extent) return;
  const std::string gap(size_t{1} << 16, static_cast<char>(options.Pattern));
  uint64_t next = extent->first;  // the next file address to write
  const auto fill = [&](uint64_t to) {
    for (; next < to; next += std::min<uint64_t>(to - next, gap.size())) {
      sink(std::string_view(gap).substr(
          0, static_cast<size_t>(std::min<uint64_t>(to - next, gap.size()))));
    }
  };
  detail::ForEachDataRecord(
      file, size_t{1} << 16, false, [&](uint32_t address, std::span<const uint8_t> bytes) {
        fill(address);
        sink(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        next = uint64_t{address} + bytes.size();
      });
}

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
                    uint32_t binary_base) {
  switch (format) {
    case FileFormat::kIntelHex:
      return ReadIntelHex(in, name);
    case FileFormat::kSRecord:
      return ReadSRecord(in, name);
    case FileFormat::kBinary:
      return ReadBinary(in, binary_base, name);
    case FileFormat::kJson:
    default: {
      const std::string text(std::istreambuf_iterator<char>(in), {});
      if (in.bad()) throw FileError(name, 0, "cannot read");
      return ParseJson(text, name);
    }
  }
}

void WriteImage(const ImageFile& file, FileFormat format, const WriteOptions& options,
                const TextSink& sink) {
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
}

ImageFile ParseImage(std::string_view text, FileFormat format, const std::string& name,
                     uint32_t binary_base) {
  std::istringstream in{std::string(text)};
  return ReadImage(in, format, name, binary_base);
}

std::string FormatImage(const ImageFile& file, FileFormat format, const WriteOptions& options) {
  std::string text;
  WriteImage(file, format, options, [&](std::string_view piece) { text += piece; });
  return text;
}

ImageFile ParseIntelHex(std::string_view text, const std::string& name) {
  return ParseImage(text, FileFormat::kIntelHex, name);
}
std::string FormatIntelHex(const ImageFile& file, const WriteOptions& options) {
  return FormatImage(file, FileFormat::kIntelHex, options);
}
ImageFile ParseSRecord(std::string_view text, const std::string& name) {
  return ParseImage(text, FileFormat::kSRecord, name);
}
std::string FormatSRecord(const ImageFile& file, const WriteOptions& options) {
  return FormatImage(file, FileFormat::kSRecord, options);
}
ImageFile ParseBinary(std::string_view bytes, uint32_t base, const std::string& name) {
  return ParseImage(bytes, FileFormat::kBinary, name, base);
}
std::string FormatBinary(const ImageFile& file, const WriteOptions& options) {
  return FormatImage(file, FileFormat::kBinary, options);
}

ImageFile ReadImageFile(const std::string& path, std::optional<FileFormat> format,
                        uint32_t binary_base) {
  const FileFormat chosen = format ? *format : FormatOfPath(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  return ReadImage(in, chosen, path, binary_base);
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
