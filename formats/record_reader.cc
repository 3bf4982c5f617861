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

void ForEachDataRecord(const ImageFile& file, size_t record_bytes, bool inside_64k,
                       const std::function<void(uint32_t, std::span<const uint8_t>)>& record) {
  for (const auto& array : *file.Image) {
    if (array->Count() <= 0) continue;
    const Variant value = array->Value();
    const uint8_t* bytes = value.ByteArray()->data();
    auto address = static_cast<uint32_t>(file.Base + static_cast<uint32_t>(array->LowIndex()));
    size_t left = static_cast<size_t>(array->Count());
    while (left > 0) {
      size_t count = std::min(record_bytes, left);
      if (inside_64k) count = std::min<size_t>(count, 0x10000 - (address & 0xFFFF));
      record(address, std::span<const uint8_t>(bytes, count));
      bytes += count;
      address += static_cast<uint32_t>(count);
      left -= count;
    }
  }
}

void ImageBuilder::Add(uint64_t address, std::span<const uint8_t> bytes, const LineReader& reader) {
  if (bytes.empty()) return;
  if (address + bytes.size() - 1 > std::numeric_limits<uint32_t>::max()) {
    reader.Fail("data beyond address FFFFFFFF");
  }
  if (runs_.empty() || address != uint64_t{runs_.back().start} + runs_.back().bytes.size()) {
    runs_.push_back({static_cast<uint32_t>(address), {}, {}});
  }
  Run& run = runs_.back();
  run.bytes.insert(run.bytes.end(), bytes.begin(), bytes.end());
  run.records.push_back({reader.LineNumber(), static_cast<uint32_t>(address)});
}

void ImageBuilder::Finish(const LineReader& reader) {
  if (runs_.empty()) return;
  uint32_t low = std::numeric_limits<uint32_t>::max();
  uint32_t high = 0;
  for (const Run& run : runs_) {
    low = std::min(low, run.start);
    high = std::max(high, static_cast<uint32_t>(run.start + run.bytes.size() - 1));
  }
  file_.Base = BaseFor(low, high, reader.Name());
  for (Run& run : runs_) {
    AddRun(run, reader);
    run = Run{};  // frees the bytes as soon as the image holds them
  }
  runs_.clear();
}

void ImageBuilder::AddRun(Run& run, const LineReader& reader) {
  auto array = ByteArray::New();
  array->Value(Variant(SafeArray<uint8_t>(0, std::move(run.bytes))));
  array->LowIndex(static_cast<int32_t>(run.start - file_.Base));
  try {
    file_.Image->Add(*array);
  } catch (const Error& error) {
    // Name the first record of the run that shares an address with the image.
    for (size_t k = 0; k < run.records.size(); ++k) {
      const uint32_t end = k + 1 < run.records.size()
                               ? run.records[k + 1].address
                               : static_cast<uint32_t>(run.start + array->Count());
      for (uint32_t address = run.records[k].address; address != end; ++address) {
        if (file_.Image->MemoryRead(static_cast<int32_t>(address - file_.Base), 1)) {
          reader.FailAt(run.records[k].line,
                        "data at " + HexAddress(address) + " overlaps data read before");
        }
      }
    }
    reader.FailAt(run.records.front().line, error.Description());
  }
}

}  // namespace ombrix::formats::detail
