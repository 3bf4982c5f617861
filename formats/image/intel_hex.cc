// Intel HEX: records ":LLAAAATT<data>CC" with data (00), end of file (01),
// extended segment (02) and linear (04) addresses, and start addresses
// (03: CS:IP, 05: linear).
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/image/image_builder.h"
#include "formats/image/image_file.h"
#include "formats/image/record_text.h"

namespace ombrix::formats {
namespace {

constexpr size_t kDefaultRecordBytes = 16;

void AppendRecord(std::string& out, uint8_t type, uint16_t offset, std::span<const uint8_t> data) {
  uint8_t record[4 + 255 + 1];
  record[0] = static_cast<uint8_t>(data.size());
  record[1] = static_cast<uint8_t>(offset >> 8);
  record[2] = static_cast<uint8_t>(offset);
  record[3] = type;
  std::copy(data.begin(), data.end(), record + 4);
  unsigned sum = 0;
  for (size_t k = 0; k < 4 + data.size(); ++k) sum += record[k];
  record[4 + data.size()] = static_cast<uint8_t>(-sum);
  detail::AppendRecordLine(out, ":", std::span<const uint8_t>(record, 5 + data.size()));
}

void AppendWord(std::string& out, uint8_t type, uint32_t value, size_t bytes) {
  uint8_t data[4];
  for (size_t k = 0; k < bytes; ++k) data[k] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - k)));
  AppendRecord(out, type, 0, std::span<const uint8_t>(data, bytes));
}

// The linear address a start stands for: CS * 16 + IP for a segment start.
uint32_t LinearStart(bool segment, uint32_t value) {
  return segment ? (value >> 16) * 16 + (value & 0xFFFF) : value;
}

std::string Describe(bool segment, uint32_t value) {
  if (!segment) return "start address " + detail::HexAddress(value);
  return "segment start " + detail::HexAddress(value >> 16).substr(4) + ":" +
         detail::HexAddress(value & 0xFFFF).substr(4);
}

}  // namespace

ImageFile ReadIntelHex(std::istream& in, const std::string& name, const ReadOptions& options) {
  ImageFile file;
  detail::LineReader reader(in, name);
  ImageBuilder builder(name);
  std::vector<uint8_t> bytes;
  uint64_t base = 0;
  // Under segment addressing (02) a record wraps inside its 64 KiB
  // segment; under linear addressing (04, or none) it runs on.
  bool segmented = false;
  bool ended = false;
  // The lines of the start addresses in force, for a later one that disagrees.
  int start_line = 0;
  int segment_start_line = 0;
  std::string_view line;
  while (!ended && reader.Next(line)) {
    if (line.front() != ':') reader.Fail("a record must start with ':'");
    reader.DecodeBytes(line.substr(1), bytes);
    if (bytes.size() < 5) reader.Fail("record too short");
    if (bytes.size() != bytes[0] + 5u) {
      reader.Fail("record holds " + std::to_string(bytes.size() - 5) +
                  " data bytes, its length says " + std::to_string(bytes[0]));
    }
    unsigned sum = 0;
    for (const uint8_t b : bytes) sum += b;
    if ((sum & 0xFF) != 0) reader.Fail("bad checksum");
    const uint32_t offset = static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
    const uint8_t type = bytes[3];
    const std::span<const uint8_t> data(bytes.data() + 4, bytes[0]);
    const auto expect_size = [&](size_t size, const char* what) {
      if (data.size() != size)
        reader.Fail(std::string(what) + " record needs " + std::to_string(size) + " data bytes");
    };
    // A start address given again with another value: the last one holds.
    // A segment start and a linear one may both stand, and are said to
    // disagree when they name different addresses.
    const auto set_start = [&](bool segment, uint32_t value) {
      std::optional<uint32_t>& start = segment ? file.SegmentStart : file.StartAddress;
      int& start_at = segment ? segment_start_line : start_line;
      const std::optional<uint32_t>& other = segment ? file.StartAddress : file.SegmentStart;
      const int other_at = segment ? start_line : segment_start_line;
      const auto note = [&](const char* how, bool was_segment, uint32_t was, int at) {
        detail::Note(file, options, name, reader.LineNumber(),
                     Describe(segment, value) + how + Describe(was_segment, was) +
                         " given at line " + std::to_string(at));
      };
      if (start && *start != value) note(" replaces ", segment, *start, start_at);
      if (other && LinearStart(!segment, *other) != LinearStart(segment, value)) {
        note(" disagrees with the ", !segment, *other, other_at);
      }
      start = value;
      start_at = reader.LineNumber();
    };
    switch (type) {
      case 0x00:
        if (segmented && offset + data.size() > 0x10000) {
          const size_t first = 0x10000 - offset;
          builder.Add(base + offset, data.first(first), reader.LineNumber());
          builder.Add(base, data.subspan(first), reader.LineNumber());
        } else {
          builder.Add(base + offset, data, reader.LineNumber());
        }
        break;
      case 0x01:
        expect_size(0, "end-of-file");
        ended = true;
        break;
      case 0x02:
        expect_size(2, "extended segment address");
        base = static_cast<uint64_t>(detail::BigEndianValue(data)) << 4;
        segmented = true;
        break;
      case 0x03:
        expect_size(4, "start segment address");
        set_start(true, detail::BigEndianValue(data));
        break;
      case 0x04:
        expect_size(2, "extended linear address");
        base = static_cast<uint64_t>(detail::BigEndianValue(data)) << 16;
        segmented = false;
        break;
      case 0x05:
        expect_size(4, "start linear address");
        set_start(false, detail::BigEndianValue(data));
        break;
      default:
        reader.Fail("unknown record type " + detail::HexAddress(type).substr(6));
    }
  }
  if (!ended) reader.Fail("no end-of-file record");
  detail::PassOverTheRest(reader, options, "end-of-file", file);
  detail::PlaceRecords(builder, file, name);
  return file;
}

void WriteIntelHex(const ImageFile& file, const WriteOptions& options, const TextSink& sink) {
  const size_t record_bytes = options.RecordBytes == 0 ? kDefaultRecordBytes : options.RecordBytes;
  if (record_bytes > 255) {
    throw std::invalid_argument("an Intel HEX record holds 1 to 255 data bytes, not " +
                                std::to_string(record_bytes));
  }
  detail::ChunkedText out(sink);
  if (file.SegmentStart) AppendWord(out.Text(), 0x03, *file.SegmentStart, 4);
  uint32_t upper = 0;  // the extended linear address in force
  detail::ForEachDataRecord(file, record_bytes, true,
                            [&](uint32_t address, std::span<const uint8_t> bytes) {
                              if (address >> 16 != upper) {
                                upper = address >> 16;
                                AppendWord(out.Text(), 0x04, upper, 2);
                              }
                              AppendRecord(out.Text(), 0x00, static_cast<uint16_t>(address), bytes);
                              out.Flush();
                            });
  if (file.StartAddress) AppendWord(out.Text(), 0x05, *file.StartAddress, 4);
  out.Text() += ":00000001FF\n";
  out.Finish();
}

}  // namespace ombrix::formats
