// What the Intel HEX and S-record formats share: splitting the text into
// lines, decoding a record's hexadecimal bytes, gathering consecutive data
// records into one array before it joins the image, and writing a record's
// line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/file_error.h"
#include "formats/image_file.h"

namespace ombrix::formats::detail {

/// Walks the lines of a text; blank lines are passed over.
class LineReader {
 public:
  LineReader(std::string_view text, std::string name) : text_(text), name_(std::move(name)) {}

  /// The next non-blank line without its end of line; false at the end.
  bool Next(std::string_view& line);
  /// The file named in errors.
  const std::string& Name() const noexcept { return name_; }
  /// The number of the line last returned, from 1.
  int LineNumber() const noexcept { return line_number_; }
  /// A FileError at the current line, or at `line`.
  [[noreturn]] void Fail(const std::string& message) const;
  [[noreturn]] void FailAt(int line, const std::string& message) const;

  /// The bytes written in hexadecimal in `digits`; fails on an odd count or
  /// a character that is not a hexadecimal digit.
  void DecodeBytes(std::string_view digits, std::vector<uint8_t>& bytes) const;

 private:
  std::string_view text_;
  std::string name_;
  size_t position_ = 0;
  int line_number_ = 0;
};

/// An address as eight hexadecimal digits.
std::string HexAddress(int64_t address);

/// The bytes read as one unsigned number, the first byte highest.
uint32_t BigEndianValue(std::span<const uint8_t> bytes);

/// Appends a record's line: the prefix, the bytes in hexadecimal, a line end.
void AppendRecordLine(std::string& out, std::string_view prefix, std::span<const uint8_t> bytes);

/// Calls `record(address, bytes)` for each data record of the image, in
/// address order, with at most `record_bytes` bytes each; with
/// `inside_64k`, a record never crosses a 64 KiB boundary.
void ForEachDataRecord(const ImageFile& file, size_t record_bytes, bool inside_64k,
                       const std::function<void(uint32_t, std::span<const uint8_t>)>& record);

/// Builds an image from data records at file addresses: records that
/// continue the previous one grow one run of bytes. At the end the runs join
/// the image, placed at the base their lowest and highest address call for.
class ImageBuilder {
 public:
  explicit ImageBuilder(ImageFile& file) : file_(file) {}

  /// The bytes of a record at `address`, read at the reader's current line.
  /// Fails when they reach past address FFFFFFFF.
  void Add(uint64_t address, std::span<const uint8_t> bytes, const LineReader& reader);
  /// Places the runs in the image; fails, with the line of the record, on an
  /// overlap, and when the data spans more than an image holds.
  void Finish(const LineReader& reader);

 private:
  struct Record {
    int line;
    uint32_t address;
  };
  struct Run {
    uint32_t start;
    std::vector<uint8_t> bytes;
    std::vector<Record> records;  // to name the one that overlaps
  };
  void AddRun(Run& run, const LineReader& reader);

  ImageFile& file_;
  std::vector<Run> runs_;
};

}  // namespace ombrix::formats::detail
