// NumericItem: a bit field inside a byte array, read and written as a 32-bit
// signed integer. LittleEndian and BigEndian implement it; the class's own
// members do nothing.
#pragma once

#include <cstdint>
#include <string>

#include "ombrix/bytes/i_byte_array.h"

namespace ombrix {

/// Where a field lies, by name:
/// `item->RefersTo(*frame, {.SkippedBits = 16, .NumBits = 12, .Signed = true})`.
struct FieldGeometry {
  int32_t SkippedBits = 0;  ///< bits before the field
  int32_t NumBits = 8;      ///< the field's width, 1 to 32
  bool Signed = false;      ///< two's complement when true
};

/// A bit field of a byte array, read and written as a 32-bit integer.
class NumericItem {
 public:
  virtual ~NumericItem() = default;
  NumericItem(const NumericItem&) = delete;
  NumericItem& operator=(const NumericItem&) = delete;

  /// The largest value the field holds.
  virtual int32_t Max() const { return 0; }
  /// The smallest value the field holds.
  virtual int32_t Min() const { return 0; }
  /// The field's current value, read from the array each time. Setting it
  /// writes the field's bits in place; error 2000 outside Min..Max.
  ///@{
  virtual int32_t Value() const { return 0; }
  virtual void Value(int32_t) {}
  ///@}
  /// Binds the item to NumBits bits of I after SkippedBits bits, signed when
  /// S is true. Errors: 5 for SkippedBits < 0 or NumBits < 1, 1 for a field
  /// over more than 4 bytes or an unsigned 32-bit one.
  virtual void RefersTo(IByteArray& /*I*/, int32_t /*SkippedBits*/, int32_t /*NumBits*/,
                        bool /*S*/) {}
  /// RefersTo with the geometry named; the same errors.
  void RefersTo(IByteArray& I, const FieldGeometry& Where) {
    RefersTo(I, Where.SkippedBits, Where.NumBits, Where.Signed);
  }
  /// The bytes the field touches, with its bits set, as hexadecimal text.
  virtual std::string Mask() const { return {}; }

 protected:
  NumericItem() = default;
};

}  // namespace ombrix
