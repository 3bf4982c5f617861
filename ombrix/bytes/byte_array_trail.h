// ByteArrayTrail: a live view on the tail of a ByteArray, from a store
// position to the parent's end however long it is. Setting its size or
// content resizes the parent, so writing an empty trail at the end appends.
// Like the interval view, it checks nothing against its own bounds: an index
// before its first byte reaches the parent's byte there, and only the
// parent's own checks apply (error 9).
#pragma once

#include <cstdint>
#include <memory>

#include "ombrix/bytes/detail/byte_array_view.h"

namespace ombrix {

/// A live view of a ByteArray's bytes from one index to its end.
class ByteArrayTrail final : public detail::ByteArrayView {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit ByteArrayTrail(Private) {}

  /// The parent's Count less the trail's start (negative when the parent
  /// has shrunk below it). Setting it sets the parent's Count to start + Value.
  ///@{
  int32_t Count() const override;
  void Count(int32_t Value) override;
  ///@}
  /// LowIndex + Count - 1. Setting it sets Count to Value - LowIndex + 1.
  ///@{
  int32_t HighIndex() const override;
  void HighIndex(int32_t Value) override;
  ///@}
  /// From Index on: an Interval view of Count bytes, or when Count is 0 a
  /// trail, both on the same parent.
  std::shared_ptr<IByteArray> Interval(int32_t Index, int32_t Count = 0) override;
  /// Replaces the tail by V's bytes, resizing the parent to fit.
  void Copy(const IByteArray& V) override;
  using ByteArrayView::Copy;
  /// Sum of the tail.
  int32_t Sum() const override;
  /// Sets every byte of the tail to Pattern.
  void Fill(uint8_t Pattern) override;

 private:
  friend class ByteArray;
  friend class ByteArrayInterval;

  static std::shared_ptr<ByteArrayTrail> Make(std::shared_ptr<ByteArray> parent, int32_t offset);
  void Attach(std::shared_ptr<ByteArray> Parent, int32_t Offset);
  detail::StoreWindow Window() const noexcept override { return WindowTo(HighIndex()); }
};

}  // namespace ombrix
