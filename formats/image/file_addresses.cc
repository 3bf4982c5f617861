// A file's data at file addresses, across the regions that hold it.
#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/image/image_file.h"
#include "ombrix/frame/error.h"

namespace ombrix::formats {

namespace {

// A region's image: one is required (error 91 for none).
const MemoryImage& ImageOf(const ImageRegion& region) {
  if (!region.Image) throw Error(errors::kObjectNotSet);
  return *region.Image;
}

// The array that holds the file address, with the file address of its first byte.
std::optional<PlacedArray> Locate(const ImageFile& file, uint32_t address) {
  for (const ImageRegion& region : file.Regions) {
    if (address < region.Base) continue;
    const uint32_t offset = address - region.Base;
    if (offset > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) continue;
    if (auto array = ImageOf(region).Holding(static_cast<int32_t>(offset))) {
      const uint32_t first = region.Base + static_cast<uint32_t>(array->LowIndex());
      return PlacedArray{first, std::move(array)};
    }
  }
  return std::nullopt;
}

// Calls `step(array, offset, count)` for each array holding part of the
// stretch, in order, once every address is known to be held; false when
// one is not.
template <class Step>
bool ForEachHeld(const ImageFile& file, uint32_t address, uint32_t count, Step step) {
  std::vector<std::pair<PlacedArray, uint32_t>>
      parts;  // each holder and where the stretch enters it
  const uint64_t end = uint64_t{address} + count;
  for (uint64_t at = address; at < end;) {
    auto holder = Locate(file, static_cast<uint32_t>(at));
    // An array whose indices a caller has moved no longer says where it lies.
    const uint64_t holder_end =
        holder ? uint64_t{holder->Address} + holder->Bytes->size() : uint64_t{0};
    if (!holder || at < holder->Address || at >= holder_end) return false;
    parts.emplace_back(std::move(*holder), static_cast<uint32_t>(at));
    at = holder_end;
  }
  uint64_t done = 0;
  for (auto& [holder, at] : parts) {
    const size_t offset = at - holder.Address;
    const auto piece =
        static_cast<size_t>(std::min<uint64_t>(holder.Bytes->size() - offset, count - done));
    step(*holder.Bytes, offset, piece, static_cast<size_t>(done));
    done += piece;
  }
  return count > 0;
}

}  // namespace

std::vector<PlacedArray> Arrays(const ImageFile& file) {
  std::vector<PlacedArray> arrays;
  for (const ImageRegion& region : file.Regions) {
    for (const auto& array : ImageOf(region)) {
      if (array->Count() <= 0) continue;
      arrays.push_back({region.Base + static_cast<uint32_t>(array->LowIndex()), array});
    }
  }
  std::stable_sort(arrays.begin(), arrays.end(), [](const PlacedArray& a, const PlacedArray& b) {
    return a.Address < b.Address;
  });
  return arrays;
}

std::optional<std::pair<uint32_t, uint32_t>> FileExtent(const ImageFile& file) {
  std::optional<std::pair<uint32_t, uint32_t>> extent;
  for (const PlacedArray& placed : Arrays(file)) {
    const auto high = static_cast<uint32_t>(placed.Address + placed.Bytes->size() - 1);
    if (!extent) extent.emplace(placed.Address, high);
    extent->second = std::max(extent->second, high);
  }
  return extent;
}

std::shared_ptr<ByteArray> Holding(const ImageFile& file, uint32_t address) {
  auto holder = Locate(file, address);
  return holder ? holder->Bytes : nullptr;
}

std::shared_ptr<ByteArray> ReadBytes(const ImageFile& file, uint32_t address, uint32_t count) {
  std::vector<uint8_t> bytes;
  const bool held = ForEachHeld(
      file, address, count, [&](const ByteArray& array, size_t offset, size_t piece, size_t done) {
        if (done == 0) bytes.resize(count);
        std::memcpy(bytes.data() + done, array.data() + offset, piece);
      });
  return held ? ByteArray::New(bytes, 0) : nullptr;
}

bool WriteBytes(ImageFile& file, uint32_t address, std::span<const uint8_t> bytes) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) return false;
  return ForEachHeld(file, address, static_cast<uint32_t>(bytes.size()),
                     [&](ByteArray& array, size_t offset, size_t piece, size_t done) {
                       std::memcpy(array.data() + offset, bytes.data() + done, piece);
                     });
}

}  // namespace ombrix::formats
