// What the record formats' readers and writers share: reading a text line
// by line in chunks, decoding a record's hexadecimal bytes, what follows an
// end record, and walking an image's bytes record by record to write them.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/file_error.h"
#include "formats/image/image_builder.h"
#include "formats/image/image_file.h"

namespace ombrix::formats::detail {

/// Walks the lines of a text read from a stream in chunks; blank lines are
/// passed over. Blanks and tabs around a line, and the Ctrl-Z bytes that
/// old tools pad a file's end with, count as blank.
class LineReader {
 public:
  LineReader(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}

  /// The next non-blank line without its end of line, valid until the next
  /// call; false at the end.
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
  bool Refill();

  std::istream& in_;
  std::string name_;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // the unread text is buffer_[begin_, end_)
  size_t end_ = 0;
  bool at_end_ = false;
  int line_number_ = 0;
};

/// Reading stops at an end record (`record` names it): the lines after it
/// are counted and noted in `file`, or refused when `options` is strict.
void PassOverTheRest(LineReader& reader, const ReadOptions& options, const char* record,
                     ImageFile& file);

/// Notes what a reader let pass, or refuses it when `options` is strict.
void Note(ImageFile& file, const ReadOptions& options, const std::string& name, int line,
          const std::string& message);

/// The builder's regions in `file`; different bytes given twice at one
/// address are refused at the later line, naming the earlier one.
void PlaceRecords(ImageBuilder& builder, ImageFile& file, const std::string& name);

/// An address as eight hexadecimal digits.
std::string HexAddress(int64_t address);

/// The bytes read as one unsigned number, the first byte highest.
uint32_t BigEndianValue(std::span<const uint8_t> bytes);

/// Appends a record's line: the prefix, the bytes in hexadecimal, a line end.
void AppendRecordLine(std::string& out, std::string_view prefix, std::span<const uint8_t> bytes);

/// Collects text and hands it to `emit` in pieces of about a mebibyte, so
/// that a file is written while it is made.
class ChunkedText {
 public:
  explicit ChunkedText(const TextSink& emit) : emit_(emit) {}
  ChunkedText(const ChunkedText&) = delete;
  ChunkedText& operator=(const ChunkedText&) = delete;

  /// The text being filled; call Flush when it may be handed on.
  std::string& Text() noexcept { return text_; }
  /// Hands the text on once it is large enough.
  void Flush() {
    if (text_.size() >= kPiece) Finish();
  }
  /// Hands on whatever is left.
  void Finish();

 private:
  static constexpr size_t kPiece = size_t{1} << 20;
  const TextSink& emit_;
  std::string text_;
};

/// Calls `record(address, bytes)` for each data record of the file, in
/// address order, with at most `record_bytes` bytes each; with
/// `inside_64k`, a record never crosses a 64 KiB boundary.
void ForEachDataRecord(const ImageFile& file, size_t record_bytes, bool inside_64k,
                       const std::function<void(uint32_t, std::span<const uint8_t>)>& record);

}  // namespace ombrix::formats::detail
