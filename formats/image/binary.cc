// Raw binary files: the bytes from one address on, gaps written as a pattern.
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

#include "formats/image/image_builder.h"
#include "formats/image/image_file.h"
#include "formats/image/record_text.h"

namespace ombrix::formats {

ImageFile ReadBinary(std::istream& in, uint32_t base, const std::string& name) {
  ImageFile file;
  ImageBuilder builder(name);
  std::vector<uint8_t> chunk(size_t{1} << 20);
  uint64_t address = base;
  while (in) {
    in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<size_t>(in.gcount());
    if (in.bad()) throw FileError(name, 0, "cannot read");
    if (address + got > uint64_t{std::numeric_limits<uint32_t>::max()} + 1) {
      throw FileError(
          name, 0,
          "the bytes from " + detail::HexAddress(base) + " on reach beyond address FFFFFFFF");
    }
    builder.Add(address, std::span<const uint8_t>(chunk.data(), got), 0);
    address += got;
  }
  file.Regions = builder.Finish();
  return file;
}

void WriteBinary(const ImageFile& file, const WriteOptions& options, const TextSink& sink) {
  const auto extent = FileExtent(file);
  if (!extent) return;
  const uint64_t span = uint64_t{extent->second} - extent->first + 1;
  if (span > options.MaxBinarySize) {
    throw std::invalid_argument(
        "a binary file of the data from " + detail::HexAddress(extent->first) + " to " +
        detail::HexAddress(extent->second) + " spans " + std::to_string(span) +
        " bytes, more than the " + std::to_string(options.MaxBinarySize) + " allowed");
  }
  const std::string gap(size_t{1} << 16, static_cast<char>(options.Pattern));
  uint64_t next = extent->first;  // the next file address to write
  const auto fill = [&](uint64_t to) {
    for (; next < to; next += std::min<uint64_t>(to - next, gap.size())) {
      sink(std::string_view(gap).substr(
          0, static_cast<size_t>(std::min<uint64_t>(to - next, gap.size()))));
    }
  };
  detail::ForEachDataRecord(
      file, size_t{1} << 16, false, [&](uint32_t address, std::span<const uint8_t> bytes) {
        fill(address);
        sink(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        next = uint64_t{address} + bytes.size();
      });
}

}  // namespace ombrix::formats
