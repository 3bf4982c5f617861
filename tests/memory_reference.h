// The plain scan that defines where MemoryMap.Add and MemoryImage.Add put
// a stretch: from the lowest segment, one at a time. Tests and fuzz targets
// compare the real classes, which search, with it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace ombrix::testing {

/// A segment low .. high; id tells which object holds it.
struct ScanSegment {
  int32_t low, high;
  int id;
};

/// Adds start .. start + count - 1; false (nothing changed) on an overlap.
inline bool ReferenceAdd(std::vector<ScanSegment>& list, int32_t start, int32_t count,
                         int& next_id) {
  const int32_t end = start + count;
  const int32_t end_address = list.empty() ? -1 : list.back().high + 1;
  std::optional<size_t> previous, following;
  size_t insert_at = list.size();
  if (start == end_address && !list.empty()) {
    previous = list.size() - 1;
  } else if (start < end_address) {
    for (size_t k = 0; k < list.size(); ++k) {
      if (end == list[k].low) {
        following = insert_at = k;
        break;
      }
      if (end < list[k].low) {
        insert_at = k;
        break;
      }
      if (start <= list[k].high) return false;
      previous = k;
    }
  }
  size_t holder;
  if (previous && start == list[*previous].high + 1) {
    holder = *previous;
    list[holder].high = end - 1;
  } else {
    list.insert(list.begin() + static_cast<long>(insert_at), {start, end - 1, next_id++});
    holder = insert_at;
    if (following) ++*following;
  }
  if (following) {
    list[holder].high = list[*following].high;
    list.erase(list.begin() + static_cast<long>(*following));
  }
  return true;
}

}  // namespace ombrix::testing
