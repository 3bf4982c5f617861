// What the two live views of a ByteArray share: the parent they keep alive,
// the index mapping anchored to the parent's store, and the members that
// work the same on a fixed stretch and on a tail.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "ombrix/bytes/byte_array.h"

namespace ombrix::detail {

/// Base of ByteArrayInterval and ByteArrayTrail; not used on its own.
class ByteArrayView : public IByteArray {
 public:
  ByteArrayView(const ByteArrayView&) = delete;
  ByteArrayView& operator=(const ByteArrayView&) = delete;

  int32_t Item(int32_t Index) const final { return parent_->ItemAt(Position(Index)); }
  void Item(int32_t Index, int32_t Value) final { parent_->ItemAt(Position(Index), Value); }
  int32_t LowIndex() const final { return low_index_; }
  void LowIndex(int32_t Value) final { low_index_ = Value; }
  std::shared_ptr<ArrayBounds> Bounds() const final;
  /// Not available on a view: error 1000 "non encore implémenté".
  [[nodiscard]] bool Check(const IByteArray& V) const final;
  std::shared_ptr<ByteArray> Copy() const final;
  using IByteArray::Copy;
  void WriteBytes(SafeArray<uint8_t>& Destination, int32_t DestinationIndex, int32_t SourceIndex,
                  int32_t Count) const final;
  std::string Text() const final;
  void Text(std::string_view Value) final;
  Variant Value() const final;
  void Value(const Variant& V) final;
  int32_t Skip(uint8_t Pattern, int32_t Start) const final;

 protected:
  ByteArrayView() = default;
  ~ByteArrayView() override = default;

  // The window of a view whose HighIndex is `high`.
  StoreWindow WindowTo(int32_t high) const noexcept {
    return {parent_.get(), static_cast<int64_t>(offset_) - low_index_, low_index_, high};
  }

  // The parent's store position that view index Index stands for.
  int64_t Position(int32_t index) const {
    return static_cast<int64_t>(offset_) + (static_cast<int64_t>(index) - low_index_);
  }

  std::shared_ptr<ByteArray> parent_;
  int32_t offset_ = 0;  // store position of the first byte, fixed when attached
  int32_t low_index_ = 1;
};

}  // namespace ombrix::detail
