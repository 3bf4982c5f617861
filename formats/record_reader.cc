#include "formats/record_reader.h"

#include <cstdio>
#include <limits>

#include "ombrix/bytes/hex_text_internal.h"

namespace ombrix::formats::detail {

bool LineReader::Next(std::string_view& line) {
  while (position_ < text_.size()) {
    const size_t end = std::min(text_.find('\n', position_), text_.size());
    line = text_.substr(position_, end - position_);
    position_ = end + 1;
    ++line_number_;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.empty()) return true;
  }
  return false;
}

void LineReader::Fail(const std::string& message) const { FailAt(line_number_, message); }

void LineReader::FailAt(int line, const std::string& message) const {
  throw FileError(name_, line, message);
}

std::string HexAddress(int64_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(address));
  return text;
}

void LineReader::DecodeBytes(std::string_view digits, std::vector<uint8_t>& bytes) const {
  if (digits.size() % 2 != 0) Fail("odd number of hexadecimal digits");
  bytes.resize(digits.size() / 2);
  const size_t decoded = ombrix::detail::DecodeHex(digits.data(), bytes.size(), bytes.data());
  if (decoded != bytes.size()) {
    Fail("'" + std::string(digits.substr(2 * decoded, 2)) + "' is not a hexadecimal byte");
  }
}

uint32_t BigEndianValue(std::span<const uint8_t> bytes) {
  uint32_t value = 0;
  for (const uint8_t b : bytes) value = value << 8 | b;
  return value;
}

void AppendRecordLine(std::string& out, std::string_view prefix, std::span<const uint8_t> bytes) {
  out += prefix;
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  ombrix::detail::EncodeHex(bytes.data(), bytes.size(), out.data() + at);
  out += '\n';
}

void ImageBuilder::Add(uint64_t address, std::span<const uint8_t> bytes, const LineReader& reader) {
  if (bytes.empty()) return;
  if (address + bytes.size() > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    reader.Fail("data beyond address 7FFFFFFF, past what an image holds");
  }
  if (static_cast<int64_t>(address) != run_start_ + static_cast<int64_t>(run_.size())) {
    Flush(reader);
    run_start_ = static_cast<int64_t>(address);
  }
  run_.insert(run_.end(), bytes.begin(), bytes.end());
  records_.push_back(
      {reader.LineNumber(), static_cast<int32_t>(address), static_cast<int32_t>(bytes.size())});
}

void ImageBuilder::Finish(const LineReader& reader) { Flush(reader); }

void ImageBuilder::Flush(const LineReader& reader) {
  if (run_.empty()) return;
  auto run = ByteArray::New();
  run->Value(Variant(SafeArray<uint8_t>(0, std::move(run_))));
  run->LowIndex(static_cast<int32_t>(run_start_));
  run_.clear();
  try {
    image_->Add(*run);
  } catch (const Error& error) {
    // Name the first record of the run that shares an address with the image.
    for (const Record& record : records_) {
      for (int32_t address = record.address; address < record.address + record.count; ++address) {
        if (image_->MemoryRead(address, 1)) {
          reader.FailAt(record.line,
                        "data at " + HexAddress(address) + " overlaps data read before");
        }
      }
    }
    reader.FailAt(records_.front().line, error.Description());
  }
  records_.clear();
}

}  // namespace ombrix::formats::detail
