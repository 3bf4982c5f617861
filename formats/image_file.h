// Memory images in files: Intel HEX, Motorola S-record, raw binary, and the
// JSON form of the image's properties, chosen by extension or by name.
//
// File addresses are unsigned 32-bit numbers (0 to FFFFFFFF). A MemoryImage
// holds addresses 0 to 7FFFFFFF, so an image file keeps a base beside it:
// file address = Base + image address. Readers choose Base 0 whenever the
// data lies below 2 GiB, and the lowest address otherwise; data that spans
// 2 GiB or more is refused.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "formats/file_io.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix::formats {

/// An image with what its file says beside the data.
///@{
struct ImageFile {
  /// The data, at image addresses.
  std::shared_ptr<MemoryImage> Image = MemoryImage::New();
  ///@}
  /// The file address of the image's address 0.
  uint32_t Base = 0;
  /// Where execution starts: Intel record 05, S-record S7, S8 or S9.
  std::optional<uint32_t> StartAddress;
  /// Intel record 03: the 8086 start CS:IP, as CS << 16 | IP.
  std::optional<uint32_t> SegmentStart;
  /// The S0 record's text.
  std::string Header;
};

enum class FileFormat { kIntelHex, kSRecord, kJson, kBinary };

/// How a file is written; 0 leaves the choice to the format.
struct WriteOptions {
  /// Data bytes per record (Intel HEX 1-255, S-records 1-250; default 16).
  size_t RecordBytes = 0;
  /// S-record data type 1, 2 or 3 (S1/S9, S2/S8, S3/S7); widened when the
  /// data or the start address needs more; by default from the extension
  /// (.s19, .s28, .s37) or the narrowest that fits.
  int SRecordType = 0;
  /// The byte that fills the gaps of a binary file.
  uint8_t Pattern = 0xFF;
};

/// The format for a file name's extension (.hex .ihex .ihx; .s19 .s28 .s37
/// .srec .mot .s; .json; .bin); FileError for any other.
FileFormat FormatOfPath(const std::string& path);
/// The format named "ihex", "srec", "json" or "binary"; std::nullopt for any other name.
std::optional<FileFormat> FormatNamed(std::string_view name);

/// Reads the file in the given format (by default, its extension's); a
/// binary file's first byte is at `binary_base`. FileError, with the line
/// and what is wrong, for a malformed file.
ImageFile ReadImageFile(const std::string& path, std::optional<FileFormat> format = {},
                        uint32_t binary_base = 0);
/// Writes the file in the given format (by default, its extension's), as
/// it is made, replacing it only once the whole text is written (see
/// WriteFileSafely).
void WriteImageFile(const ImageFile& file, const std::string& path,
                    std::optional<FileFormat> format = {}, WriteOptions options = {});

/// An image read from a stream in chunks; `name` is the file named in errors.
ImageFile ReadImage(std::istream& in, FileFormat format, const std::string& name,
                    uint32_t binary_base = 0);
/// Writes the image's file text to `sink`, piece by piece.
void WriteImage(const ImageFile& file, FileFormat format, const WriteOptions& options,
                const TextSink& sink);
/// The same from and to whole texts.
ImageFile ParseImage(std::string_view text, FileFormat format, const std::string& name,
                     uint32_t binary_base = 0);
std::string FormatImage(const ImageFile& file, FileFormat format, const WriteOptions& options = {});

/// Each format on its own.
ImageFile ReadIntelHex(std::istream& in, const std::string& name);
void WriteIntelHex(const ImageFile& file, const WriteOptions& options, const TextSink& sink);
ImageFile ReadSRecord(std::istream& in, const std::string& name);
void WriteSRecord(const ImageFile& file, const WriteOptions& options, const TextSink& sink);
/// A binary file's bytes placed from `base` on.
ImageFile ReadBinary(std::istream& in, uint32_t base, const std::string& name);
/// The bytes from the lowest to the highest address, gaps filled with the pattern.
void WriteBinary(const ImageFile& file, const WriteOptions& options, const TextSink& sink);
/// Whole-text forms of the above.
ImageFile ParseIntelHex(std::string_view text, const std::string& name);
std::string FormatIntelHex(const ImageFile& file, const WriteOptions& options = {});
ImageFile ParseSRecord(std::string_view text, const std::string& name);
std::string FormatSRecord(const ImageFile& file, const WriteOptions& options = {});
ImageFile ParseBinary(std::string_view bytes, uint32_t base, const std::string& name);
std::string FormatBinary(const ImageFile& file, const WriteOptions& options = {});

/// Widens `extent` (lowest and highest file address, or none yet) to take
/// in the addresses low..high.
void Include(std::optional<std::pair<uint32_t, uint32_t>>& extent, uint32_t low, uint32_t high);
/// The lowest and highest file address the image holds; nullopt when it is empty.
std::optional<std::pair<uint32_t, uint32_t>> FileExtent(const ImageFile& file);
/// The base for data from `low` to `high` (file addresses): 0 when `high`
/// is below 2 GiB, `low` otherwise. FileError naming both when the data
/// spans 2 GiB or more.
uint32_t BaseFor(uint32_t low, uint32_t high, const std::string& name);
/// Moves the image so that its address 0 is the file address `base`, the
/// file addresses staying the same; FileError when some data falls outside.
void Rebase(ImageFile& file, uint32_t base, const std::string& name);
/// The image address of a stretch of file addresses, when the image can
/// hold it at its base; nullopt otherwise.
std::optional<int32_t> ImageAddress(const ImageFile& file, uint32_t address, uint32_t count);

}  // namespace ombrix::formats
