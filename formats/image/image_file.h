// Memory images in files: Intel HEX, Motorola S-record, raw binary, and the
// JSON form of the image's properties, chosen by extension or by name.
//
// File addresses are unsigned 32-bit numbers (0 to FFFFFFFF), and a file may
// hold data anywhere among them. A MemoryImage holds addresses 0 to
// 7FFFFFFE, so a file's data is kept as regions: each a MemoryImage whose
// address 0 is the file address Base, spanning less than 2 GiB. Readers make
// as few regions as the data allows, the first based at 0 where its data
// lies below 2 GiB and every other at its lowest address; no two arrays of a
// file read touch.
//
// Reading stops at the end record (Intel 01, S-record S7, S8, S9): the lines
// after it are noted, or refused with ReadOptions::Strict. A record given
// again with the same bytes is taken once; different bytes at one address
// are refused, naming both lines.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/file_error.h"
#include "formats/file_io.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix::formats {

/// Part of a file's data: an image whose address 0 is the file address Base.
struct ImageRegion {
  /// The file address of the image's address 0.
  uint32_t Base = 0;
  /// The data, at image addresses (file address - Base).
  std::shared_ptr<MemoryImage> Image = MemoryImage::New();
};

/// An image with what its file says beside the data.
struct ImageFile {
  /// The data, in address order; regions do not overlap.
  std::vector<ImageRegion> Regions;
  /// Where execution starts: Intel record 05, S-record S7, S8 or S9.
  std::optional<uint32_t> StartAddress;
  /// Intel record 03: the 8086 start CS:IP, as CS << 16 | IP.
  std::optional<uint32_t> SegmentStart;
  /// The S0 record's text.
  std::string Header;
  /// What the reader let pass without refusing the file: lines after the
  /// end record, a start address given again with another value.
  std::vector<FileError> Notices;
};

/// An array of a file's data with the file address of its first byte.
struct PlacedArray {
  /// The file address of its first byte.
  uint32_t Address;
  /// The array, as its region holds it (its indices are image addresses).
  std::shared_ptr<ByteArray> Bytes;
};

enum class FileFormat { kIntelHex, kSRecord, kJson, kBinary };

/// How a file is read.
struct ReadOptions {
  /// The file address of a binary file's first byte.
  uint32_t BinaryBase = 0;
  /// Refuse what is otherwise only noted in ImageFile::Notices.
  bool Strict = false;
};

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
  /// The most bytes a binary file may span, gaps included; a larger one is
  /// refused before anything is written.
  uint64_t MaxBinarySize = uint64_t{256} << 20;
};

/// The format for a file name's extension (.hex .ihex .ihx; .s19 .s28 .s37
/// .srec .mot .s; .json; .bin); FileError for any other.
FileFormat FormatOfPath(const std::string& path);
/// The format named "ihex", "srec", "json" or "binary"; std::nullopt for any other name.
std::optional<FileFormat> FormatNamed(std::string_view name);

/// Reads the file in the given format (by default, its extension's).
/// FileError, with the line and what is wrong, for a malformed file.
ImageFile ReadImageFile(const std::string& path, std::optional<FileFormat> format = {},
                        const ReadOptions& options = {});
/// Writes the file in the given format (by default, its extension's), as
/// it is made, replacing it only once the whole text is written (see
/// WriteFileSafely).
void WriteImageFile(const ImageFile& file, const std::string& path,
                    std::optional<FileFormat> format = {}, WriteOptions options = {});

/// An image read from a stream in chunks; `name` is the file named in errors.
ImageFile ReadImage(std::istream& in, FileFormat format, const std::string& name,
                    const ReadOptions& options = {});
/// Writes the image's file text to `sink`, piece by piece; what is wrong
/// with the options is refused before the first piece.
void WriteImage(const ImageFile& file, FileFormat format, const WriteOptions& options,
                const TextSink& sink);
/// The same from and to whole texts.
ImageFile ParseImage(std::string_view text, FileFormat format, const std::string& name,
                     const ReadOptions& options = {});
std::string FormatImage(const ImageFile& file, FileFormat format, const WriteOptions& options = {});

/// Each format on its own.
ImageFile ReadIntelHex(std::istream& in, const std::string& name, const ReadOptions& options = {});
void WriteIntelHex(const ImageFile& file, const WriteOptions& options, const TextSink& sink);
ImageFile ReadSRecord(std::istream& in, const std::string& name, const ReadOptions& options = {});
void WriteSRecord(const ImageFile& file, const WriteOptions& options, const TextSink& sink);
/// A binary file's bytes placed from `base` on.
ImageFile ReadBinary(std::istream& in, uint32_t base, const std::string& name);
/// The bytes from the lowest to the highest address, gaps filled with the pattern.
void WriteBinary(const ImageFile& file, const WriteOptions& options, const TextSink& sink);
/// Whole-text forms of the above.
ImageFile ParseIntelHex(std::string_view text, const std::string& name,
                        const ReadOptions& options = {});
std::string FormatIntelHex(const ImageFile& file, const WriteOptions& options = {});
ImageFile ParseSRecord(std::string_view text, const std::string& name,
                       const ReadOptions& options = {});
std::string FormatSRecord(const ImageFile& file, const WriteOptions& options = {});
ImageFile ParseBinary(std::string_view bytes, uint32_t base, const std::string& name);
std::string FormatBinary(const ImageFile& file, const WriteOptions& options = {});

/// Every array of the file's regions with its file address, in address
/// order. These and the functions below raise error 91 for a region without
/// an image.
std::vector<PlacedArray> Arrays(const ImageFile& file);
/// The lowest and highest file address the file holds; nullopt when it holds none.
std::optional<std::pair<uint32_t, uint32_t>> FileExtent(const ImageFile& file);
/// The array that holds the file address, or null.
std::shared_ptr<ByteArray> Holding(const ImageFile& file, uint32_t address);
/// A copy of the `count` bytes from `address` on (LowIndex 0); null unless
/// the file holds every one of them.
std::shared_ptr<ByteArray> ReadBytes(const ImageFile& file, uint32_t address, uint32_t count);
/// Overwrites bytes the file holds with `bytes`, from `address` on; false,
/// nothing changed, unless the file holds every address written.
bool WriteBytes(ImageFile& file, uint32_t address, std::span<const uint8_t> bytes);

}  // namespace ombrix::formats
