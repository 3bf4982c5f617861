// What LittleEndian and BigEndian share: the field's geometry, limits, sign
// rule and errors (NumericField), and the reads and writes that differ only
// in byte order (OrderedField). The hot paths are inline so that a caller
// holding the concrete class gets them without a call.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/fields/numeric_item.h"

namespace ombrix::detail {

/// Intel: low-order byte first, bits numbered from each byte's low end.
/// Motorola: high-order byte first, bits numbered from each byte's top.
enum class ByteOrder { kIntel, kMotorola };

/// The order-independent part of LittleEndian and BigEndian.
class NumericField : public NumericItem {
 public:
  int32_t Max() const final { return max_; }
  int32_t Min() const final { return min_; }
  /// A failed call leaves the item as it was. I may be any IByteArray: the
  /// library's own arrays are read in place, others through Item.
  void RefersTo(IByteArray& I, int32_t SkippedBits, int32_t NumBits, bool S) final;
  using NumericItem::RefersTo;
  /// Same as RefersTo.
  void NumericItem_RefersTo(IByteArray& I, int32_t SkippedBits, int32_t NumBits, bool S) {
    RefersTo(I, SkippedBits, NumBits, S);
  }

 protected:
  explicit NumericField(ByteOrder order) : order_(order) {}

  // The field's bytes in a library array, checked as a whole (9 from the
  // array unless every byte exists), and the window found again; nullptr
  // for a client's own array, whose bytes go through ReadItems and
  // WriteItems. Error 91 while unbound.
  uint8_t* Reach() const;
  // True when window_ holds the field: the store has four bytes around it
  // and has not changed since they were found.
  bool WindowValid() const { return (window_key_ & ~kShiftBits) == *array_generation_; }
  // A client array's field bytes through its view's Item, all read before
  // any is written.
  void ReadItems(uint8_t* bytes) const;
  void WriteItems(const uint8_t* bytes) const;
  // Errors 91, then 2000 when V is outside Min..Max. An unbound field's
  // limits are both 0, so 0 passes here and Reach raises 91 for it.
  void CheckValue(int32_t V) const {
    // One unsigned comparison with the masks a write loads anyway: adding
    // the sign bit maps Min..Max onto 0..value_mask_, and everything else
    // above it.
    if (static_cast<uint32_t>(V) + sign_bit_ > value_mask_) [[unlikely]]
      RaiseOutOfRange(V);
  }
  // The field's value from its bits shifted down to bit 0: masked, and
  // sign-extended when the sign bit is set.
  int32_t Extend(uint32_t raw) const {
    return static_cast<int32_t>(((raw & value_mask_) ^ sign_bit_) - sign_bit_);
  }
  // The hexadecimal text of the field's bytes.
  std::string MaskText(const uint8_t* bytes) const;

  [[noreturn]] static void RaiseUnbound();
  [[noreturn]] void RaiseOutOfRange(int32_t V) const;

  int32_t byte_count_ = 0;
  uint32_t shift_ = 0;       // position of the field's lowest bit in the assembled bytes
  uint32_t value_mask_ = 0;  // NumBits low bits
  uint32_t sign_bit_ = 0;    // the field's top bit when signed, else 0

 private:
  const ByteOrder order_;
  std::shared_ptr<IByteArray> view_;  // ByteCount bytes from the field's first byte
  // For a view of the library's own: its array and store position, which
  // never change once it is made; the view keeps the array alive.
  const ByteArray* array_ = nullptr;
  int64_t offset_ = 0;

 protected:
  // Four store bytes around the field, for one whole-word load and store
  // in place of a load per byte count: they start at the field's first
  // byte, or earlier where the store ends within four bytes. Valid while
  // the array's generation is that in window_key_ (0: never): Reach finds
  // them again after any change of the store. The key's low five bits,
  // which a generation leaves 0, are the field's lowest bit in them as a
  // word of the field's byte order: one load for the check and the shift.
  static constexpr uint64_t kShiftBits = ByteAccess::kGenerationStep - 1;
  static_assert(kShiftBits >= 31 && (ByteAccess::kGenerationStep & kShiftBits) == 0,
                "a shift within the window takes the five low bits a generation leaves 0");
  mutable uint8_t* window_ = nullptr;
  mutable uint64_t window_key_ = 0;
  mutable uint32_t window_mask_ = 0;  // value_mask_ at the field's place, as the bytes hold it
  uint32_t WindowShift() const { return static_cast<uint32_t>(window_key_ & kShiftBits); }
  // The array's generation, or kNoGeneration (which no key's generation
  // equals) without a library array: one load and no test for null.
  static constexpr uint64_t kNoGeneration = UINT64_MAX;
  const uint64_t* array_generation_ = &kNoGeneration;

 private:
  int32_t min_ = 0;
  int32_t max_ = 0;
};

/// The reads and writes of one byte order.
template <ByteOrder kOrder>
class OrderedField : public NumericField {
 public:
  int32_t Value() const final {
    if (WindowValid()) [[likely]]
      return Extend(Load<uint32_t>(window_) >> WindowShift());
    return ValueThroughBytes();
  }
  /// The whole field is checked before any byte changes; bits of its bytes
  /// outside the field keep their values.
  void Value(int32_t V) final {
    CheckValue(V);
    if (WindowValid()) [[likely]] {
      // The window's other bits are stored back as they were read.
      // In the bytes' own order, so that only V needs reordering.
      uint32_t word;
      std::memcpy(&word, window_, sizeof word);
      const uint32_t field_bits = InOrder(static_cast<uint32_t>(V) << WindowShift());
      word = (word & ~window_mask_) | (field_bits & window_mask_);
      std::memcpy(window_, &word, sizeof word);
      return;
    }
    ValueThroughBytes(V);
  }
  std::string Mask() const final {
    uint8_t bytes[4] = {};
    Spread(value_mask_ << shift_, bytes);
    return MaskText(bytes);
  }

 protected:
  OrderedField() : NumericField(kOrder) {}

 private:
  // The field's byte_count_ bytes one by one: a store of fewer than four
  // bytes, a client's array, an unbound field (91) or a missing byte (9).
  [[gnu::noinline]] int32_t ValueThroughBytes() const {
    const uint8_t* bytes = Reach();
    uint8_t items[4];
    if (bytes == nullptr) [[unlikely]] {
      ReadItems(items);
      bytes = items;
    }
    return Extend(Assemble(bytes) >> shift_);
  }
  [[gnu::noinline]] void ValueThroughBytes(int32_t V) {
    uint8_t* bytes = Reach();
    uint8_t items[4];
    const bool through_items = bytes == nullptr;
    if (through_items) [[unlikely]] {
      ReadItems(items);
      bytes = items;
    }
    const uint32_t field_mask = value_mask_ << shift_;
    const uint32_t field_bits = (static_cast<uint32_t>(V) << shift_) & field_mask;
    Spread((Assemble(bytes) & ~field_mask) | field_bits, bytes);
    if (through_items) [[unlikely]]
      WriteItems(items);
  }
  // The field's bytes as one number, the first byte lowest (Intel) or
  // highest, and back. Multi-byte loads and stores of the same width keep a
  // read after a write forwarded from the store.
  uint32_t Assemble(const uint8_t* b) const {
    switch (byte_count_) {
      case 1:
        return b[0];
      case 2:
        return Load<uint16_t>(b);
      case 3:
        return kOrder == ByteOrder::kIntel ? Load<uint16_t>(b) | uint32_t{b[2]} << 16
                                           : uint32_t{b[0]} << 16 | Load<uint16_t>(b + 1);
      default:
        return Load<uint32_t>(b);
    }
  }
  void Spread(uint32_t p, uint8_t* b) const {
    switch (byte_count_) {
      case 1:
        b[0] = static_cast<uint8_t>(p);
        break;
      case 2:
        Store(static_cast<uint16_t>(p), b);
        break;
      case 3:
        if constexpr (kOrder == ByteOrder::kIntel) {
          Store(static_cast<uint16_t>(p), b);
          b[2] = static_cast<uint8_t>(p >> 16);
        } else {
          b[0] = static_cast<uint8_t>(p >> 16);
          Store(static_cast<uint16_t>(p), b + 1);
        }
        break;
      default:
        Store(p, b);
    }
  }
  // An unsigned integer of this byte order at b, and back.
  template <typename Word>
  static Word Load(const uint8_t* b) {
    Word word;
    std::memcpy(&word, b, sizeof word);
    return InOrder(word);
  }
  template <typename Word>
  static void Store(Word word, uint8_t* b) {
    word = InOrder(word);
    std::memcpy(b, &word, sizeof word);
  }
  template <typename Word>
  static Word InOrder(Word word) {
    constexpr bool kSwap =
        (kOrder == ByteOrder::kIntel) != (std::endian::native == std::endian::little);
    if constexpr (!kSwap) {
      return word;
    } else if constexpr (sizeof word == 2) {
      return __builtin_bswap16(word);
    } else {
      return __builtin_bswap32(word);
    }
  }
};

}  // namespace ombrix::detail
