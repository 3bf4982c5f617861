#include "formats/image/record_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ombrix/bytes/hex_codec.h"

namespace ombrix::formats::detail {

namespace {
constexpr size_t kReadChunk = size_t{1} << 20;
constexpr char kCtrlZ = '\x1A';
}  // namespace

bool LineReader::Refill() {
  if (at_end_) return false;
  // Keep the unread text, and make room for a chunk after it.
  if (begin_ < end_) std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  if (buffer_.size() < end_ + kReadChunk) buffer_.resize(end_ + kReadChunk);
  in_.read(buffer_.data() + end_, static_cast<std::streamsize>(kReadChunk));
  const auto got = static_cast<size_t>(in_.gcount());
  if (in_.bad()) Fail("cannot read");
  end_ += got;
  if (got < kReadChunk) at_end_ = true;
  return true;
}

bool LineReader::Next(std::string_view& line) {
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const auto* newline = begin_ == end_
                              ? nullptr
                              : static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    if (newline == nullptr && Refill()) continue;
    if (newline == nullptr && begin_ == end_) return false;
    start = buffer_.data() + begin_;
    const size_t length = newline != nullptr ? static_cast<size_t>(newline - start) : end_ - begin_;
    line = std::string_view(start, length);
    begin_ += newline != nullptr ? length + 1 : length;
    ++line_number_;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t' ||
                             line.back() == kCtrlZ)) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.empty()) return true;
  }
}

void LineReader::Fail(const std::string& message) const { FailAt(line_number_, message); }

void LineReader::FailAt(int line, const std::string& message) const {
  throw FileError(name_, line, message);
}

void LineReader::DecodeBytes(std::string_view digits, std::vector<uint8_t>& bytes) const {
  if (digits.size() % 2 != 0) Fail("odd number of hexadecimal digits");
  bytes.resize(digits.size() / 2);
  const size_t decoded = ombrix::DecodeHex(digits.data(), bytes.size(), bytes.data());
  if (decoded != bytes.size()) {
    Fail("'" + Printable(digits.substr(2 * decoded, 2), true) + "' is not a hexadecimal byte");
  }
}

void Note(ImageFile& file, const ReadOptions& options, const std::string& name, int line,
          const std::string& message) {
  if (options.Strict) throw FileError(name, line, message);
  file.Notices.emplace_back(name, line, message);
}

void PassOverTheRest(LineReader& reader, const ReadOptions& options, const char* record,
                     ImageFile& file) {
  std::string_view line;
  if (!reader.Next(line)) return;
  const int first = reader.LineNumber();
  int count = 1;
  if (options.Strict) reader.Fail(std::string("a line after the ") + record + " record");
  while (reader.Next(line)) ++count;
  Note(file, options, reader.Name(), first,
       std::to_string(count) + (count == 1 ? " line" : " lines") + " after the " + record +
           " record ignored");
}

void PlaceRecords(ImageBuilder& builder, ImageFile& file, const std::string& name) {
  try {
    file.Regions = builder.Finish();
  } catch (const DataConflict& conflict) {
    throw FileError(name, conflict.Later(),
                    "bytes at " + HexAddress(conflict.Low()) + "-" + HexAddress(conflict.High()) +
                        " differ from those read at line " + std::to_string(conflict.Earlier()));
  }
}

std::string HexAddress(int64_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(address));
  return text;
}

uint32_t BigEndianValue(std::span<const uint8_t> bytes) {
  uint32_t value = 0;
  for (const uint8_t b : bytes) value = value << 8 | b;
  return value;
}

void AppendRecordLine(std::string& out, std::string_view prefix, std::span<const uint8_t> bytes) {
  out += prefix;
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size() + 1);
  ombrix::EncodeHex(bytes.data(), bytes.size(), out.data() + at);
  out.back() = '\n';
}

void ChunkedText::Finish() {
  if (!text_.empty()) emit_(text_);
  text_.clear();
}

void ForEachDataRecord(const ImageFile& file, size_t record_bytes, bool inside_64k,
                       const std::function<void(uint32_t, std::span<const uint8_t>)>& record) {
  for (const PlacedArray& placed : Arrays(file)) {
    std::span<const uint8_t> bytes = std::as_const(*placed.Bytes).Bytes();
    uint32_t address = placed.Address;
    while (!bytes.empty()) {
      size_t count = std::min(record_bytes, bytes.size());
      if (inside_64k) count = std::min<size_t>(count, 0x10000 - (address & 0xFFFF));
      record(address, bytes.first(count));
      bytes = bytes.subspan(count);
      address += static_cast<uint32_t>(count);
    }
  }
}

}  // namespace ombrix::formats::detail
