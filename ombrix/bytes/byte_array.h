// ByteArray: a resizable run of bytes with a movable lower index, the common
// currency of the library. Views, fields, images and the CRC all work on it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/detail/byte_span.h"
#include "ombrix/bytes/i_byte_array.h"
#include "ombrix/frame/property_bag.h"

namespace ombrix {

namespace detail {
class ByteArrayView;
}  // namespace detail

/// Bytes with a movable lower index: the array that owns its bytes.
class ByteArray final : public IByteArray, public std::enable_shared_from_this<ByteArray> {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit ByteArray(Private) {}
  ByteArray(const ByteArray&) = delete;
  ByteArray& operator=(const ByteArray&) = delete;

  /// A new, empty array: Count 0, LowIndex 1.
  static std::shared_ptr<ByteArray> New();
  /// A new array holding a copy of Bytes, indexed from LowIndex; error 5
  /// for more than 2^31 - 1 bytes, 7 when memory runs out.
  static std::shared_ptr<ByteArray> New(std::span<const uint8_t> Bytes, int32_t LowIndex = 1);
  /// A new array holding the listed bytes, indexed from LowIndex.
  static std::shared_ptr<ByteArray> New(std::initializer_list<uint8_t> Bytes,
                                        int32_t LowIndex = 1) {
    return New(std::span<const uint8_t>(Bytes.begin(), Bytes.size()), LowIndex);
  }
  /// A new array read from Bag (see ReadProperties).
  static std::shared_ptr<ByteArray> Load(const PropertyBag& Bag);

  std::shared_ptr<ArrayBounds> Bounds() const override;
  int32_t Count() const override { return store_.Count(); }
  void Count(int32_t Value) override;
  int32_t HighIndex() const override;
  void HighIndex(int32_t Value) override;
  std::shared_ptr<IByteArray> Interval(int32_t Index, int32_t Count = 0) override;
  int32_t Item(int32_t Index) const override {
    return store_.data()[StorePosition(static_cast<int64_t>(Index) - low_index_)];
  }
  void Item(int32_t Index, int32_t Value) override {
    store_.data()[StorePosition(static_cast<int64_t>(Index) - low_index_)] =
        static_cast<uint8_t>(Value);
  }
  int32_t LowIndex() const override { return low_index_; }
  void LowIndex(int32_t Value) override { low_index_ = Value; }
  /// The first byte (null while Count is 0) and the number of bytes, as
  /// standard containers give them; valid until Count changes.
  ///@{
  uint8_t* data() noexcept { return store_.data(); }
  const uint8_t* data() const noexcept { return store_.data(); }
  size_t size() const noexcept { return static_cast<size_t>(store_.Count()); }
  /// IByteArray::Bytes and its iterators, inline: an array's bytes always
  /// exist, so these cannot fail.
  ///@{
  std::span<uint8_t> Bytes() noexcept { return {data(), size()}; }
  std::span<const uint8_t> Bytes() const noexcept { return {data(), size()}; }
  uint8_t* begin() noexcept { return data(); }
  uint8_t* end() noexcept { return data() + size(); }
  const uint8_t* begin() const noexcept { return data(); }
  const uint8_t* end() const noexcept { return data() + size(); }
  ///@}
  [[nodiscard]] bool Check(const IByteArray& V) const override;
  std::shared_ptr<ByteArray> Copy() const override;
  void Copy(const IByteArray& V) override;
  int32_t Sum() const override;
  void WriteBytes(SafeArray<uint8_t>& Destination, int32_t DestinationIndex, int32_t SourceIndex,
                  int32_t Count) const override;
  std::string Text() const override;
  void Text(std::string_view Value) override;
  Variant Value() const override;
  void Value(const Variant& V) override;
  ///@}
  int32_t Skip(uint8_t Pattern, int32_t Start) const override;
  void Fill(uint8_t Pattern) override;

  /// Gives a new array its initial state: LowIndex 1, no bytes.
  void InitProperties();
  /// Reads "LowIndex" (default 1) then "Text" (default "") from Bag; errors
  /// 6 or 13 for a bad LowIndex, those of Text for bad text.
  void ReadProperties(const PropertyBag& Bag);
  /// Writes "LowIndex" and "Text" to Bag, each left out when it equals its default.
  void WriteProperties(PropertyBag& Bag) const;

 private:
  friend class ByteArrayInterval;
  friend class ByteArrayTrail;
  friend class detail::ByteArrayView;
  friend class detail::ByteAccess;

  detail::StoreWindow Window() const noexcept override {
    // HighIndex, wrapping as it does, without a call.
    const auto high =
        static_cast<uint32_t>(low_index_) + static_cast<uint32_t>(store_.Count()) - 1u;
    return {this, -static_cast<int64_t>(low_index_), low_index_, static_cast<int32_t>(high)};
  }

  // Library-internal operations; positions are zero-based store positions.

  // Source's bytes SourceIndex.. into this store from Offset on, through
  // Source.WriteBytes, so Source checks both ranges.
  void ReadBytes(const IByteArray& Source, int32_t SourceIndex, int32_t Offset, int32_t Count);
  // Sum of positions Offset..Offset+Count-1, or to the end when Count is 0.
  int32_t SumRange(int32_t Offset, int32_t Count) const;
  // True when Data[DataOffset + k] equals the byte at Index + k for every k < Count.
  bool Compare(const SafeArray<uint8_t>& Data, int32_t DataOffset, int32_t Index,
               int32_t Count) const;
  // Positions Offset..Offset+Count-1 take Pattern.
  void FillRange(uint8_t Pattern, int32_t Offset, int32_t Count);

  // What the views reach through their 64-bit store positions, which never wrap.
  int32_t ItemAt(int64_t position) const { return store_.data()[StorePosition(position)]; }
  void ItemAt(int64_t position, int32_t value) {
    store_.data()[StorePosition(position)] = static_cast<uint8_t>(value);
  }
  void WriteBytesAt(int64_t position, SafeArray<uint8_t>& destination, int32_t destination_index,
                    int32_t count) const;
  int32_t SkipAt(uint8_t pattern, int64_t position) const;
  // Of the count bytes from store position `position` on, those the store
  // holds before the first one it lacks (none when position is negative).
  std::span<const uint8_t> Available(int64_t position, int64_t count) const {
    return detail::Within({store_.data(), size()}, position, count);
  }
  // The bytes at positions position..position+count-1; error 9 unless all exist.
  uint8_t* Reach(int64_t position, int32_t count) {
    if (position < 0 || count < 0 || position + count > Count()) RaiseOutOfRange();
    return store_.data() + position;
  }

  // position as an index into the store; error 9 when it is not one.
  size_t StorePosition(int64_t position) const {
    if (static_cast<uint64_t>(position) >= static_cast<uint64_t>(store_.Count())) {
      RaiseOutOfRange();
    }
    return static_cast<size_t>(position);
  }
  [[noreturn]] static void RaiseOutOfRange();

  // Replaces the store by a copy of count bytes (error 7 leaves it as it was).
  void AssignBytes(const uint8_t* bytes, int32_t count);
  // After the store has moved or changed size.
  void StoreChanged() noexcept {
    generation_ += kGenerationStep;
    if (watch_) watch_->fetch_add(1, std::memory_order_relaxed);
  }

  SafeArray<uint8_t> store_;  // lower bound 0; no array while Count is 0
  int32_t low_index_ = 0;
  // Changes whenever the store may have moved or changed size, so that a
  // reader may keep a pointer into it and check one number before use. Its
  // low five bits stay 0, free for a reader to keep five bits of its own
  // in the same word as its copy.
  static constexpr uint64_t kGenerationStep = 32;
  uint64_t generation_ = kGenerationStep;
  // A counter shared with the holder of many arrays (a memory image), which
  // each of them increments along with its own generation: one number tells
  // the holder that none of its arrays has changed. Atomic, since the arrays
  // outlive the holder and may then go to threads of their own.
  std::shared_ptr<std::atomic<uint64_t>> watch_;
  // While above 0, the store may not move or change size (error 10): a
  // caller holds a pointer into it (see ByteAccess::Pin).
  mutable int32_t pins_ = 0;
};

}  // namespace ombrix
