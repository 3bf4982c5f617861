// The one way into an array's bytes for the library's classes outside
// bytes/ (checksums, fields, memory images and maps): where a library array
// keeps its bytes, those bytes as spans, and the bounds that only the
// library sets. The arrays themselves name none of their readers. Not for
// clients: nothing here checks more than the arrays' own members do.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/byte_array.h"

namespace ombrix::detail {

class ByteAccess {
 public:
  /// Where B keeps its bytes; no array for a client's own IByteArray,
  /// which is then read and written through its interface.
  static StoreWindow WindowOf(const IByteArray& B) noexcept { return B.Window(); }

  /// Of the `count` bytes from store position `position` on, those the
  /// store holds before the first one it lacks (none for a negative position).
  static std::span<const uint8_t> Available(const ByteArray& array, int64_t position,
                                            int64_t count) noexcept {
    return array.Available(position, count);
  }

  /// The bytes at store positions position..position+count-1 of an array
  /// the caller may write; error 9 unless every one of them exists. Valid
  /// until the array changes size.
  static uint8_t* Reach(const ByteArray& array, int64_t position, int32_t count) {
    return const_cast<ByteArray&>(array).Reach(position, count);
  }

  /// A number that changes whenever the array's store may have moved or
  /// changed size (never 0, a multiple of kGenerationStep): a pointer from
  /// Reach stays valid while it holds.
  static uint64_t Generation(const ByteArray& array) noexcept { return array.generation_; }
  /// Generations step by this, leaving the bits below it to a reader's own use.
  static constexpr uint64_t kGenerationStep = ByteArray::kGenerationStep;
  /// Where the array keeps that number, for a reader that checks it often.
  static const uint64_t* GenerationAddress(const ByteArray& array) noexcept {
    return &array.generation_;
  }

  /// Gives an array of no bytes `bytes` as its store, without a copy
  /// unless they are few enough to go inside it.
  static void TakeBytes(ByteArray& array, std::vector<uint8_t>&& bytes) {
    if (bytes.empty()) return;
    array.store_ = SafeArray<uint8_t>(0, std::move(bytes));
    array.StoreChanged();
  }

  /// From now on, every change of the array's generation also increments
  /// *changes, which many arrays may share.
  static void Watch(ByteArray& array, std::shared_ptr<std::atomic<uint64_t>> changes) noexcept {
    array.watch_ = std::move(changes);
  }

  /// Holds the array's store where it is: until the matching Unpin, every
  /// change of its size raises error 10 "This array is fixed or
  /// temporarily locked" and changes nothing. For a pointer lent outside
  /// the library (a Python buffer).
  static void Pin(const ByteArray& array) noexcept { ++array.pins_; }
  static void Unpin(const ByteArray& array) noexcept { --array.pins_; }

  /// A new segment LowIndex..HighIndex, and a segment's new HighIndex.
  static std::shared_ptr<ArrayBounds> NewBounds(int32_t low_index, int32_t high_index) {
    auto bounds = ArrayBounds::Make();
    bounds->SetLowIndex(low_index);
    bounds->SetHighIndex(high_index);
    return bounds;
  }
  static void SetHighIndex(ArrayBounds& bounds, int32_t high_index) noexcept {
    bounds.SetHighIndex(high_index);
  }
};

}  // namespace ombrix::detail
