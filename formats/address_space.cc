// Placing an image's signed 32-bit addresses in the unsigned 32-bit
// address space of files.
#include <limits>

#include "formats/file_error.h"
#include "formats/image_file.h"
#include "formats/record_reader.h"

namespace ombrix::formats {

namespace {
// The highest address an image holds: its arrays end (one past their last
// byte) at 2^31 - 1 at most.
constexpr uint64_t kImageTop = std::numeric_limits<int32_t>::max() - 1;
}  // namespace

void Include(std::optional<std::pair<uint32_t, uint32_t>>& extent, uint32_t low, uint32_t high) {
  if (!extent) extent.emplace(low, high);
  extent->first = std::min(extent->first, low);
  extent->second = std::max(extent->second, high);
}

std::optional<std::pair<uint32_t, uint32_t>> FileExtent(const ImageFile& file) {
  std::optional<std::pair<uint32_t, uint32_t>> extent;
  for (const auto& array : *file.Image) {
    if (array->Count() <= 0) continue;
    const auto low = static_cast<uint32_t>(file.Base + static_cast<uint32_t>(array->LowIndex()));
    const auto high = static_cast<uint32_t>(low + static_cast<uint32_t>(array->Count() - 1));
    Include(extent, low, high);
  }
  return extent;
}

uint32_t BaseFor(uint32_t low, uint32_t high, const std::string& name) {
  if (high <= kImageTop) return 0;
  if (uint64_t{high} - low > kImageTop) {
    throw FileError(name, 0,
                    "data from " + detail::HexAddress(low) + " to " + detail::HexAddress(high) +
                        " spans 2 GiB or more, more than an image holds");
  }
  return low;
}

void Rebase(ImageFile& file, uint32_t base, const std::string& name) {
  if (base == file.Base) return;
  auto moved = MemoryImage::New();
  for (const auto& array : *file.Image) {
    if (array->Count() <= 0) continue;
    const uint64_t low = uint64_t{file.Base} + static_cast<uint32_t>(array->LowIndex());
    if (low < base || low + static_cast<uint32_t>(array->Count()) - 1 - base > kImageTop) {
      throw FileError(name, 0,
                      "data at " + detail::HexAddress(static_cast<int64_t>(low)) +
                          " lies outside the 2 GiB an image holds from " +
                          detail::HexAddress(base));
    }
    auto copy = array->Copy();
    copy->LowIndex(static_cast<int32_t>(low - base));
    moved->Add(*copy);
  }
  file.Image = moved;
  file.Base = base;
}

std::optional<int32_t> ImageAddress(const ImageFile& file, uint32_t address, uint32_t count) {
  if (address < file.Base) return std::nullopt;
  const uint64_t offset = address - file.Base;
  if (offset + count > kImageTop + (count > 0 ? 1 : 0)) return std::nullopt;
  return static_cast<int32_t>(offset);
}

}  // namespace ombrix::formats
