// MemoryImage: the known contents of a memory, as byte arrays placed at
// addresses (each array's LowIndex is its address), in ascending order.
// Arrays that touch are joined; arrays that overlap are refused.
// Creatable and persistable.
//
// The arrays it hands out (Item, Holding, an enumeration) are its own. A
// caller who moves or resizes one steps outside what the image keeps
// consistent, yet still gets defined answers: the image goes on placing the
// array where it was added, and reads (MemoryRead, Holding) give nothing for
// an address past the array's bytes.
//
// Reads build an index of the arrays as they go: even through const
// members, an image and the arrays it handed out are used by one thread at
// a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/frame/enumerator.h"
#include "ombrix/frame/property_bag.h"
#include "ombrix/memory/detail/segment_list.h"
#include "ombrix/memory/detail/small_bytes.h"

namespace ombrix {

class MemoryMap;

/// The known contents of a memory: byte arrays at addresses, never overlapping.
class MemoryImage final {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit MemoryImage(Private) : changes_(std::make_shared<std::atomic<uint64_t>>(0)) {}
  MemoryImage(const MemoryImage&) = delete;
  MemoryImage& operator=(const MemoryImage&) = delete;

  /// A new, empty image.
  static std::shared_ptr<MemoryImage> New();
  /// A new image read from Bag (see ReadProperties).
  static std::shared_ptr<MemoryImage> Load(const PropertyBag& Bag);

  /// The number of stored arrays.
  int32_t Count() const noexcept { return static_cast<int32_t>(arrays_.size()); }
  /// The sum of the stored arrays' counts (wrapping in 32 bits).
  int32_t BytesCount() const;
  /// Places a copy of B's bytes at B.LowIndex .. B.HighIndex; B itself is
  /// never kept. Touching arrays join (the lower one grows). Error 1000
  /// "Segments mémoire en recouvrement" on an overlap; 5 for a negative
  /// address or count or an end past the 32-bit range; B's own errors when
  /// its bytes cannot be read. Nothing changes on an error.
  void Add(const IByteArray& B);
  /// Add of Bytes placed at Address, without an array to hold them first;
  /// the same errors and the same result as Add of such an array.
  void Add(int32_t Address, std::span<const uint8_t> Bytes);
  /// Removes every array.
  void Clear() noexcept;
  /// A new map of the stored arrays' bounds.
  std::shared_ptr<MemoryMap> Map() const;
  /// Points M at a new map of the stored arrays' bounds.
  void GetMap(std::shared_ptr<MemoryMap>& M) const { M = Map(); }
  /// A new array with the bytes StartAddress .. StartAddress + Count - 1 (to
  /// the end of their array when Count is 0) and LowIndex StartAddress; an
  /// empty pointer when one stored array does not hold them all.
  [[nodiscard]] std::shared_ptr<ByteArray> MemoryRead(int32_t StartAddress, int32_t Count) const;
  /// The bytes MemoryRead(StartAddress, Bytes.size()) would hold, copied into
  /// Bytes, without an array to hold them; false, Bytes untouched, when one
  /// stored array does not hold them all or Bytes is empty.
  bool ReadInto(int32_t StartAddress, std::span<uint8_t> Bytes) const;
  /// Writes B's bytes over the image at B.LowIndex .. B.HighIndex; error 9,
  /// nothing written, unless one stored array holds them all.
  void MemoryWrite(const IByteArray& B);
  /// The stored array that holds Address, itself, or an empty pointer.
  std::shared_ptr<ByteArray> Holding(int32_t Address) const;
  /// The stored array Index (1 for the lowest) itself; error 9 outside 1..Count.
  ///@{
  std::shared_ptr<ByteArray> Item(int32_t Index) const;
  std::shared_ptr<ByteArray> operator[](int32_t Index) const { return Item(Index); }
  ///@}
  /// An enumerator over the stored arrays, lowest first, as they are now.
  std::shared_ptr<Enumerator<std::shared_ptr<ByteArray>>> NewEnum() const;
  /// Range-for over the stored arrays, as they are when the loop starts
  /// (hold the collection in a variable: `for (x : *f())` loses f's result first).
  ///@{
  Enumerator<std::shared_ptr<ByteArray>>::Iterator begin() const;
  std::default_sentinel_t end() const noexcept { return {}; }
  ///@}

  /// Gives a new image its initial state: no arrays.
  void InitProperties() noexcept { Clear(); }
  /// Clears, then reads "Count" and each "StartN" and "TextN" (N from 0),
  /// adding each array; a missing key (5), a bad value (6, 13, 1000) or an
  /// overlap (1000) stops the load, keeping the arrays added before it.
  void ReadProperties(const PropertyBag& Bag);
  /// Writes "Count" (left out when 0), then "StartN" and "TextN" for each array.
  void WriteProperties(PropertyBag& Bag) const;

 private:
  // What the image keeps of an array: its bytes alone until a caller is
  // given the array (Item, Holding, an enumeration), then the array, which
  // has taken the bytes over. Callers see no difference.
  struct Stored {
    mutable std::shared_ptr<ByteArray> array;
    mutable detail::SmallBytes bytes;  // while there is no array
  };
  // The bytes stored now, as the read index keeps them.
  struct StoredBytes {
    std::span<const uint8_t> operator()(const Stored& stored) const noexcept {
      if (stored.array)
        return detail::ByteAccess::Available(*stored.array, 0, stored.array->Count());
      return stored.bytes;
    }
  };
  // What joins a stretch of bytes to its neighbours: the lower one grows
  // over both, or the result is the new entry's.
  static Stored Join(Stored* previous, const Stored* following, std::span<const uint8_t> stretch);
  // The array of the entry at `low`, made from its bytes the first time.
  const std::shared_ptr<ByteArray>& ArrayOf(const Stored& stored, int32_t low) const;
  std::vector<std::shared_ptr<ByteArray>> Arrays() const;
  // Where the bytes MemoryRead gives are stored (Count 0: to the end of
  // their array); empty when one stored array does not hold them all.
  std::span<const uint8_t> Stretch(int32_t StartAddress, int32_t Count) const;

  detail::SegmentList<Stored, StoredBytes> arrays_;
  // Incremented by every array of the image whenever its store moves or
  // changes size: the read index trusts the stores it saw while this holds.
  std::shared_ptr<std::atomic<uint64_t>> changes_;
};

}  // namespace ombrix
