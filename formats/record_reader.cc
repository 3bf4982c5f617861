#include "formats/record_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ombrix/bytes/hex_codec.h"

namespace ombrix::formats::detail {

namespace {
constexpr size_t kReadChunk = size_t{1} << 20;
}

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
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
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

std::string HexAddress(int64_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(address));
  return text;
}

void LineReader::DecodeBytes(std::string_view digits, std::vector<uint8_t>& bytes) const {
  if (digits.size() % 2 != 0) Fail("odd number of hexadecimal digits");
  bytes.resize(digits.size() / 2);
  const size_t decoded = ombrix::DecodeHex(digits.data(), bytes.size(), bytes.data());
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
  // The bytes come out of each array a whole number of records at a time.
  const size_t chunk = std::max<size_t>(1, (size_t{1} << 16) / record_bytes) * record_bytes;
  SafeArray<uint8_t> buffer(0, static_cast<int32_t>(chunk));
  for (const auto& array : *file.Image) {
    auto address = static_cast<uint32_t>(file.Base + static_cast<uint32_t>(array->LowIndex()));
    int32_t index = array->LowIndex();
    auto left = static_cast<size_t>(std::max(array->Count(), 0));
    while (left > 0) {
      const size_t piece = std::min(chunk, left);
      array->WriteBytes(buffer, 0, index, static_cast<int32_t>(piece));
      const uint8_t* bytes = buffer.data();
      for (size_t done = 0; done < piece;) {
        size_t count = std::min(record_bytes, piece - done);
        if (inside_64k) count = std::min<size_t>(count, 0x10000 - (address & 0xFFFF));
        record(address, std::span<const uint8_t>(bytes + done, count));
        done += count;
        address += static_cast<uint32_t>(count);
      }
      index += static_cast<int32_t>(piece);
      left -= piece;
    }
  }
}

void ImageBuilder::Append(Run& run, std::span<const uint8_t> bytes) {
  constexpr size_t kFirstBlock = size_t{1} << 12;
  constexpr size_t kLargestBlock = size_t{1} << 26;
  while (!bytes.empty()) {
    if (run.blocks.empty() || run.blocks.back().used == run.blocks.back().capacity) {
      const size_t capacity = run.blocks.empty()
                                  ? kFirstBlock
                                  : std::min(2 * run.blocks.back().capacity, kLargestBlock);
      run.blocks.push_back({std::make_unique_for_overwrite<uint8_t[]>(capacity), capacity, 0});
    }
    Block& block = run.blocks.back();
    const size_t count = std::min(bytes.size(), block.capacity - block.used);
    std::memcpy(block.bytes.get() + block.used, bytes.data(), count);
    block.used += count;
    run.size += count;
    bytes = bytes.subspan(count);
  }
}

void ImageBuilder::Add(uint64_t address, std::span<const uint8_t> bytes, int line) {
  if (bytes.empty()) return;
  const uint64_t last = address + bytes.size() - 1;
  if (last > std::numeric_limits<uint32_t>::max()) {
    throw FileError(name_, line, "data beyond address FFFFFFFF");
  }
  const auto overlap = [&](uint64_t first_shared) {
    throw FileError(
        name_, line,
        "data at " + HexAddress(static_cast<int64_t>(first_shared)) + " overlaps data read before");
  };
  // The usual case: the record continues the run the last one grew.
  auto run = last_;
  if (run == runs_.end() || address != uint64_t{run->first} + run->second.size) {
    const auto after = runs_.upper_bound(static_cast<uint32_t>(address));
    run = runs_.end();
    if (after != runs_.begin()) {
      const auto before = std::prev(after);
      const uint64_t end = uint64_t{before->first} + before->second.size;
      if (address < end) overlap(address);
      if (address == end) run = before;
    }
    if (run == runs_.end()) run = runs_.try_emplace(static_cast<uint32_t>(address)).first;
  }
  const auto next = std::next(run);
  if (next != runs_.end() && last >= next->first) overlap(next->first);
  Append(run->second, bytes);
  last_ = run;
}

void ImageBuilder::Finish() {
  if (runs_.empty()) return;
  const auto& [low, first_run] = *runs_.begin();
  const auto& [top_start, top_run] = *runs_.rbegin();
  file_.Base = BaseFor(low, static_cast<uint32_t>(top_start + top_run.size - 1), name_);
  for (auto& [start, run] : runs_) {
    // One contiguous copy, freeing each block once it is copied.
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(run.size));
    for (Block& block : run.blocks) {
      bytes.insert(bytes.end(), block.bytes.get(), block.bytes.get() + block.used);
      block.bytes.reset();
    }
    run = Run{};
    auto array = ByteArray::New();
    {
      Variant value(SafeArray<uint8_t>(0, std::move(bytes)));
      array->Value(value);
    }
    array->LowIndex(static_cast<int32_t>(start - file_.Base));
    file_.Image->Add(*array);
  }
  runs_.clear();
  last_ = runs_.end();
}

}  // namespace ombrix::formats::detail
