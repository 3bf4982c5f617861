// A segment of indexes or addresses: a lower index and a count, the high
// index derived. Read-only to clients; the library makes and sets them.
#pragma once

#include <cstdint>
#include <memory>

namespace ombrix {

class ByteArray;
class ByteArrayInterval;
class ByteArrayTrail;
namespace detail {
class ByteAccess;
class ByteArrayView;
}  // namespace detail

/// A segment of indexes, LowIndex to HighIndex, and a new array over it.
class ArrayBounds final {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit ArrayBounds(Private) {}

  /// Number of indexes in the segment (may be negative; nothing is enforced).
  int32_t Count() const noexcept { return count_; }
  /// First index of the segment.
  int32_t LowIndex() const noexcept { return low_index_; }
  /// LowIndex + Count - 1, wrapping in 32 bits.
  int32_t HighIndex() const noexcept;
  /// A new, independent array covering the segment, every byte Pattern;
  /// error 1000 for a negative Count.
  std::shared_ptr<ombrix::ByteArray> ByteArray(uint8_t Pattern = 0) const;

 private:
  friend class ombrix::ByteArray;
  friend class ByteArrayInterval;
  friend class ByteArrayTrail;
  friend class detail::ByteAccess;
  friend class detail::ByteArrayView;

  // A new segment: Count 0, LowIndex 0.
  static std::shared_ptr<ArrayBounds> Make();
  // A new segment given LowIndex then Count, as arrays and views report theirs.
  static std::shared_ptr<ArrayBounds> Make(int32_t low_index, int32_t count);

  void SetCount(int32_t Value) noexcept { count_ = Value; }
  void SetLowIndex(int32_t Value) noexcept { low_index_ = Value; }
  void SetHighIndex(int32_t Value) noexcept;

  int32_t count_ = 0;
  int32_t low_index_ = 0;
};

}  // namespace ombrix
