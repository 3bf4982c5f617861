// What the Intel HEX and S-record formats share: splitting the text into
// lines, decoding a record's hexadecimal bytes, gathering consecutive data
// records into one array before it joins the image, and writing a record's
// line.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/file_error.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix::formats::detail {

/// Walks the lines of a text; blank lines are passed over.
class LineReader {
 public:
  LineReader(std::string_view text, std::string name) : text_(text), name_(std::move(name)) {}

  /// The next non-blank line without its end of line; false at the end.
  bool Next(std::string_view& line);
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

/// Builds an image from data records: records that continue the previous
/// one grow one run of bytes, which joins the image when a record does not
/// continue it, or at the end.
class ImageBuilder {
 public:
  explicit ImageBuilder(std::shared_ptr<MemoryImage> image) : image_(std::move(image)) {}

  /// The bytes of a record at `address`, read at the reader's current line.
  /// Fails when they reach past the addresses an image holds (2 GiB).
  void Add(uint64_t address, std::span<const uint8_t> bytes, const LineReader& reader);
  /// Adds the last run; fails, with the line of the record, on an overlap.
  void Finish(const LineReader& reader);

 private:
  struct Record {
    int line;
    int32_t address;
    int32_t count;
  };
  void Flush(const LineReader& reader);

  std::shared_ptr<MemoryImage> image_;
  std::vector<uint8_t> run_;
  int64_t run_start_ = -1;
  std::vector<Record> records_;  // those of the run, to name the one that overlaps
};

}  // namespace ombrix::formats::detail
