// Sequences of MemoryMap and MemoryImage operations against models: the
// plain scan for the map's layout (and which objects survive a merge), and
// a map from address to byte for the image.
#include <map>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ombrix/memory/memory_image.h"
#include "ombrix/memory/memory_map.h"
#include "tests/memory_reference.h"

using namespace ombrix;

namespace {

// The image's arrays as the scan lays them out, holding the model's bytes.
void CheckLayout(const MemoryImage& image, const std::vector<testing::ScanSegment>& layout,
                 const std::map<int32_t, uint8_t>& memory) {
  FUZZ_CHECK(image.Count() == static_cast<int32_t>(layout.size()));
  int32_t total = 0;
  size_t k = 0;
  for (const auto& array : image) {
    FUZZ_CHECK(array->LowIndex() == layout[k].low && array->HighIndex() == layout[k].high);
    for (int32_t a = array->LowIndex(); a <= array->HighIndex(); ++a)
      FUZZ_CHECK(array->Item(a) == memory.at(a));
    total += array->Count();
    ++k;
  }
  FUZZ_CHECK(total == static_cast<int32_t>(memory.size()));
  FUZZ_CHECK(image.BytesCount() == total);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  auto map = MemoryMap::New();
  std::vector<testing::ScanSegment> reference;
  std::map<int, ArrayBounds*> objects;  // which object holds each reference segment
  int next_id = 0;
  auto image = MemoryImage::New();
  std::vector<testing::ScanSegment> layout;  // the image's arrays follow the map's rules
  int next_array = 0;
  std::map<int32_t, uint8_t> memory;

  for (int step = 0; step < 48 && !in.empty(); ++step) {
    const uint8_t op = in.Byte() % 4;
    // Mostly small addresses so that stretches meet; now and then the edges.
    const int32_t start = in.Byte() % 16 == 0 ? in.Any() : in.Between(0, 300);
    const int32_t count = in.Byte() % 16 == 0 ? in.Any() : in.Between(0, 24);
    const bool valid = start >= 0 && count >= 0 && static_cast<int64_t>(start) + count <= INT32_MAX;
    if (op == 0) {
      const int32_t error = fuzz::ErrorOf([&] { map->Add(start, count); });
      if (!valid) {
        FUZZ_CHECK(error == 5);
      } else {
        FUZZ_CHECK(error == (testing::ReferenceAdd(reference, start, count, next_id) ? 0 : 1000));
      }
      FUZZ_CHECK(map->Count() == static_cast<int32_t>(reference.size()));
      for (size_t k = 0; k < reference.size(); ++k) {
        const auto segment = map->Item(static_cast<int32_t>(k + 1));
        FUZZ_CHECK(segment->LowIndex() == reference[k].low &&
                   segment->HighIndex() == reference[k].high);
        const auto [known, added] = objects.try_emplace(reference[k].id, segment.get());
        FUZZ_CHECK(known->second == segment.get());
      }
      continue;
    }
    if (!valid || count > 64) continue;  // the image copies bytes: keep stretches small
    auto bytes = ByteArray::New();
    bytes->Count(count);
    for (int32_t k = 0; k < count; ++k) bytes->Item(k + 1, in.Byte());
    bytes->LowIndex(start);
    bool held = true, free = true;
    for (int32_t a = start; a < start + count; ++a) {
      held = held && memory.count(a);
      free = free && !memory.count(a);
    }
    if (op == 1) {
      // Where the array goes, or whether it overlaps, is the map's scan (an
      // array of no bytes standing inside the stretch counts as an overlap).
      const bool accepted = testing::ReferenceAdd(layout, start, count, next_array);
      const int32_t error = fuzz::ErrorOf([&] { image->Add(*bytes); });
      FUZZ_CHECK(error == (accepted ? 0 : 1000));
      FUZZ_CHECK(!accepted || free);
      if (accepted) {
        for (int32_t k = 0; k < count; ++k)
          memory[start + k] = static_cast<uint8_t>(bytes->Item(start + k));
      }
    } else if (op == 2) {
      // Read many times, so that a few reads build the image's read index.
      for (int repeat = 0; repeat < 64; ++repeat) {
        const auto read = image->MemoryRead(start, count);
        if (count > 0) {
          FUZZ_CHECK((read != nullptr) == held);
          if (read) {
            for (int32_t a = start; a < start + count; ++a) FUZZ_CHECK(read->Item(a) == memory[a]);
          }
        }
      }
    } else if (count > 0 && held && in.Byte() % 4 == 0) {
      // The stored array's bytes move elsewhere and it keeps its size.
      const auto holder = image->Holding(start);
      const int32_t kept = holder->Count();
      holder->Count(kept + 1000);
      holder->Count(kept);
    } else if (count > 0) {
      FUZZ_CHECK(fuzz::ErrorOf([&] { image->MemoryWrite(*bytes); }) == (held ? 0 : 9));
      if (held) {
        for (int32_t a = start; a < start + count; ++a)
          memory[a] = static_cast<uint8_t>(bytes->Item(a));
      }
    }
    // Now and then, and at the end, every array is handed out and checked:
    // until then the image keeps bytes without arrays.
    if (in.Byte() % 4 == 0) CheckLayout(*image, layout, memory);
  }
  CheckLayout(*image, layout, memory);
  return 0;
}