// Motorola S-records: "S" type, length, address, data and checksum. S0 is
// the header; S1, S2 and S3 hold data at 16-, 24- and 32-bit addresses; S5
// and S6 count the data records; S9, S8 and S7 end the file with the start
// address.
#include <algorithm>
#include <optional>
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

// The address field's size for each record type, 0 for none.
size_t AddressSize(char type) {
  switch (type) {
    case '0':
    case '1':
    case '5':
    case '9':
      return 2;
    case '2':
    case '6':
    case '8':
      return 3;
    case '3':
    case '7':
      return 4;
    default:
      return 0;
  }
}

void AppendRecord(std::string& out, char type, uint32_t address, std::span<const uint8_t> data) {
  const size_t address_size = AddressSize(type);
  uint8_t record[1 + 4 + 255];
  record[0] = static_cast<uint8_t>(address_size + data.size() + 1);
  for (size_t k = 0; k < address_size; ++k) {
    record[1 + k] = static_cast<uint8_t>(address >> (8 * (address_size - 1 - k)));
  }
  std::copy(data.begin(), data.end(), record + 1 + address_size);
  const size_t length = 1 + address_size + data.size();
  unsigned sum = 0;
  for (size_t k = 0; k < length; ++k) sum += record[k];
  record[length] = static_cast<uint8_t>(~sum);
  const char prefix[] = {'S', type};
  detail::AppendRecordLine(out, std::string_view(prefix, 2),
                           std::span<const uint8_t>(record, length + 1));
}

}  // namespace

ImageFile ReadSRecord(std::istream& in, const std::string& name, const ReadOptions& options) {
  ImageFile file;
  detail::LineReader reader(in, name);
  ImageBuilder builder(name);
  std::vector<uint8_t> bytes;
  uint64_t data_records = 0;
  bool ended = false;
  std::string_view line;
  while (!ended && reader.Next(line)) {
    if (line.size() < 2 || line[0] != 'S') reader.Fail("a record must start with 'S' and its type");
    const char type = line[1];
    const size_t address_size = AddressSize(type);
    if (address_size == 0) {
      reader.Fail("unknown record type S" + Printable(std::string_view(&type, 1), true));
    }
    reader.DecodeBytes(line.substr(2), bytes);
    if (bytes.empty() || bytes.size() != bytes[0] + 1u) {
      reader.Fail("record length does not match its byte count");
    }
    if (bytes[0] < address_size + 1) reader.Fail("record too short for its address");
    unsigned sum = 0;
    for (const uint8_t b : bytes) sum += b;
    if ((sum & 0xFF) != 0xFF) reader.Fail("bad checksum");
    const uint32_t address =
        detail::BigEndianValue(std::span<const uint8_t>(bytes.data() + 1, address_size));
    const std::span<const uint8_t> data(bytes.data() + 1 + address_size,
                                        bytes[0] - address_size - 1);
    switch (type) {
      case '0':
        file.Header.assign(data.begin(), data.end());
        break;
      case '1':
      case '2':
      case '3':
        builder.Add(address, data, reader.LineNumber());
        ++data_records;
        break;
      case '5':
      case '6':
        if (!data.empty()) reader.Fail("a count record holds no data");
        if (address != data_records) {
          reader.Fail("the count record says " + std::to_string(address) +
                      " data records, the file has " + std::to_string(data_records));
        }
        break;
      default:  // 7, 8, 9
        if (!data.empty()) reader.Fail("a termination record holds no data");
        file.StartAddress = address;
        ended = true;
    }
  }
  if (ended) detail::PassOverTheRest(reader, options, "termination", file);
  detail::PlaceRecords(builder, file, name);
  return file;
}

void WriteSRecord(const ImageFile& file, const WriteOptions& options, const TextSink& sink) {
  if (options.SRecordType < 0 || options.SRecordType > 3) {
    throw std::invalid_argument("the S-record type is 1, 2 or 3, not " +
                                std::to_string(options.SRecordType));
  }
  // A start given as 8086 CS:IP becomes the linear address CS * 16 + IP.
  std::optional<uint32_t> start = file.StartAddress;
  if (!start && file.SegmentStart) {
    start = (*file.SegmentStart >> 16) * 16 + (*file.SegmentStart & 0xFFFF);
  }
  // The requested address size, widened to what every address needs.
  uint32_t top = start.value_or(0);
  if (const auto extent = FileExtent(file)) top = std::max(top, extent->second);
  const int needed = top <= 0xFFFF ? 1 : top <= 0xFFFFFF ? 2 : 3;
  const char data_type = static_cast<char>('0' + std::max(needed, options.SRecordType));
  const char end_type = static_cast<char>('0' + 10 - (data_type - '0'));  // 9, 8 or 7
  const size_t record_bytes = options.RecordBytes == 0 ? kDefaultRecordBytes : options.RecordBytes;
  const size_t most = 255 - 1 - AddressSize(data_type);
  if (record_bytes > most) {
    throw std::invalid_argument("an S" + std::string(1, data_type) + " record holds 1 to " +
                                std::to_string(most) + " data bytes, not " +
                                std::to_string(record_bytes));
  }

  detail::ChunkedText chunks(sink);
  std::string& out = chunks.Text();
  AppendRecord(out, '0', 0,
               std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(file.Header.data()),
                                        std::min<size_t>(file.Header.size(), 252)));
  uint64_t records = 0;
  detail::ForEachDataRecord(file, record_bytes, false,
                            [&](uint32_t address, std::span<const uint8_t> bytes) {
                              AppendRecord(out, data_type, address, bytes);
                              ++records;
                              chunks.Flush();
                            });
  if (records <= 0xFFFF) {
    AppendRecord(out, '5', static_cast<uint32_t>(records), {});
  } else if (records <= 0xFFFFFF) {
    AppendRecord(out, '6', static_cast<uint32_t>(records), {});
  }
  // Without a start address there is no termination record, as srec_cat writes.
  if (start) AppendRecord(out, end_type, *start, {});
  chunks.Finish();
}

}  // namespace ombrix::formats
