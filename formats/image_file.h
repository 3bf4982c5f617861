// Memory images in files: Intel HEX, Motorola S-record, and the JSON form of
// the image's properties, chosen by extension or by name.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ombrix/memory/memory_image.h"

namespace ombrix::formats {

/// An image with what its file says beside the data.
struct ImageFile {
  std::shared_ptr<MemoryImage> Image = MemoryImage::New();
  /// Where execution starts: Intel record 05, S-record S7, S8 or S9.
  std::optional<uint32_t> StartAddress;
  /// Intel record 03: the 8086 start CS:IP, as CS << 16 | IP.
  std::optional<uint32_t> SegmentStart;
  /// The S0 record's text.
  std::string Header;
};

enum class FileFormat { kIntelHex, kSRecord, kJson };

/// The format for a file name's extension (.hex .ihex .ihx; .s19 .s28 .s37
/// .srec .mot .s; .json); FileError for any other.
FileFormat FormatOfPath(const std::string& path);
/// The format named "ihex", "srec" or "json"; std::nullopt for any other name.
std::optional<FileFormat> FormatNamed(std::string_view name);

/// Reads the file in the given format (by default, its extension's).
/// FileError, with the line and what is wrong, for a malformed file.
ImageFile ReadImageFile(const std::string& path, std::optional<FileFormat> format = {});
/// Writes the file atomically in the given format (by default, its extension's).
void WriteImageFile(const ImageFile& file, const std::string& path,
                    std::optional<FileFormat> format = {});

/// The texts of the two record formats; `name` is the file named in errors.
ImageFile ParseIntelHex(std::string_view text, const std::string& name);
std::string FormatIntelHex(const ImageFile& file);
ImageFile ParseSRecord(std::string_view text, const std::string& name);
std::string FormatSRecord(const ImageFile& file);

}  // namespace ombrix::formats
