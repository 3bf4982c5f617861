// MemoryMap: a set of address segments in ascending order. A stretch that
// touches a segment merges into it; one that overlaps a segment is refused.
// Creatable and persistable.
#pragma once

#include <cstdint>
#include <memory>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/frame/enumerator.h"
#include "ombrix/frame/property_bag.h"
#include "ombrix/memory/detail/segment_list.h"

namespace ombrix {

class MemoryImage;

/// Segments of addresses: touching ones merge, overlapping ones are refused.
class MemoryMap final {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit MemoryMap(Private) {}
  MemoryMap(const MemoryMap&) = delete;
  MemoryMap& operator=(const MemoryMap&) = delete;

  /// A new, empty map.
  static std::shared_ptr<MemoryMap> New();
  /// A new map read from Bag (see ReadProperties).
  static std::shared_ptr<MemoryMap> Load(const PropertyBag& Bag);

  /// Adds the addresses StartAddress .. StartAddress + Count - 1, merging
  /// with the segments it touches (the lower one grows; segments handed out
  /// before see it). Error 1000 "Segments mémoire en recouvrement" when it
  /// overlaps a segment; error 5 for a negative address or count, or an end
  /// past the 32-bit range. Nothing changes on an error.
  void Add(int32_t StartAddress, int32_t Count);
  /// True when one segment covers S wholly.
  [[nodiscard]] bool Check(const ArrayBounds& S) const;
  /// Removes every segment.
  void Clear() noexcept;
  /// The number of segments.
  int32_t Count() const noexcept { return static_cast<int32_t>(segments_.size()); }
  /// A new map of the addresses of this one that MM lacks.
  [[nodiscard]] std::shared_ptr<MemoryMap> Exclude(const MemoryMap& MM) const;
  /// The stored segment Index (1 for the lowest); error 9 outside 1..Count.
  std::shared_ptr<ArrayBounds> Item(int32_t Index) const;
  /// A new image with a new array for each segment, every byte Pattern.
  std::shared_ptr<ombrix::MemoryImage> MemoryImage(uint8_t Pattern = 0) const;
  /// An enumerator over the stored segments, lowest first, as they are now.
  std::shared_ptr<Enumerator<std::shared_ptr<ArrayBounds>>> NewEnum() const;
  /// Range-for over the stored segments, as they are when the loop starts
  /// (hold the collection in a variable: `for (x : *f())` loses f's result first).
  ///@{
  Enumerator<std::shared_ptr<ArrayBounds>>::Iterator begin() const;
  std::default_sentinel_t end() const noexcept { return {}; }
  ///@}
  /// Not available: error 1000 "non encore implémenté".
  [[noreturn]] void Remove(int32_t StartAddress, int32_t Count);
  /// The sum of the segments' counts (wrapping in 32 bits).
  int32_t BytesCount() const noexcept;

  /// Gives a new map its initial state: no segments.
  void InitProperties() noexcept { Clear(); }
  /// Clears, then reads "Count" and each "StartN" and "CountN" (N from 0),
  /// adding each segment; a missing key (5), a bad value (6, 13) or an
  /// overlap (1000) stops the load, keeping the segments added before it.
  void ReadProperties(const PropertyBag& Bag);
  /// Writes "Count" (left out when 0), then "StartN" and "CountN" for each segment.
  void WriteProperties(PropertyBag& Bag) const;

 private:
  detail::SegmentList<std::shared_ptr<ArrayBounds>> segments_;
};

}  // namespace ombrix
