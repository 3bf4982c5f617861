// ByteArrayInterval: a live view on a fixed stretch of a ByteArray's store.
// Made by Interval with a non-zero Count; reads and writes the parent in place.
// A view checks nothing against its own bounds: its stretch may start before
// the parent's store or run past its end, and an index outside the view but
// inside the parent reaches the parent's byte. Only the parent's own checks
// apply, when a byte is reached (error 9).
#pragma once

#include <cstdint>
#include <memory>

#include "ombrix/bytes/detail/byte_array_view.h"

namespace ombrix {

/// A live view of a fixed number of a ByteArray's bytes.
class ByteArrayInterval final : public detail::ByteArrayView {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit ByteArrayInterval(Private) {}

  /// The view's byte count, fixed when it was made (it may be 0 or negative).
  int32_t Count() const override { return count_; }
  /// Refused: error 1000 with source "Propriété Count en lecture seule".
  void Count(int32_t Value) override;
  /// LowIndex + Count - 1.
  int32_t HighIndex() const override;
  /// Refused: error 1000 with source "Propriété HighIndex en lecture seule".
  void HighIndex(int32_t Value) override;
  /// An Interval view on the same parent from Index: Count bytes, or when
  /// Count is 0 the rest of this view.
  std::shared_ptr<IByteArray> Interval(int32_t Index, int32_t Count = 0) override;
  /// Writes V's bytes over the stretch; error 1000 "Longueur de tableau
  /// incorrecte sur la propriété mid" when V's Count is not this Count.
  void Copy(const IByteArray& V) override;
  using ByteArrayView::Copy;
  /// Sum of the stretch (0 for a view of no bytes).
  int32_t Sum() const override;
  /// Sets every byte of the stretch to Pattern.
  void Fill(uint8_t Pattern) override;

 private:
  friend class ByteArray;
  friend class ByteArrayTrail;

  static std::shared_ptr<ByteArrayInterval> Make(std::shared_ptr<ByteArray> parent, int32_t offset,
                                                 int32_t count);
  void Attach(std::shared_ptr<ByteArray> Parent, int32_t Offset, int32_t Count);
  detail::StoreWindow Window() const noexcept override { return WindowTo(HighIndex()); }

  int32_t count_ = 0;
};

}  // namespace ombrix
