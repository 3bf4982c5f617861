// The interface shared by ByteArray and its two live views: Count bytes
// addressed by public indexes LowIndex..HighIndex. Item is the default member.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "ombrix/frame/safe_array.h"
#include "ombrix/frame/variant.h"

namespace ombrix {

class ArrayBounds;
class ByteArray;
namespace detail {
class ByteAccess;
/// Where one of the library's arrays or views keeps its bytes: the array
/// whose store holds them (none for a client's own IByteArray), the store
/// position of index 0, so that position = index + origin, and the
/// array's or view's own LowIndex and HighIndex, all from one call.
struct StoreWindow {
  const ByteArray* array = nullptr;
  int64_t origin = 0;
  int32_t low = 0;
  int32_t high = -1;
};
}  // namespace detail

/// The interface of byte arrays and their views.
class IByteArray {
 public:
  virtual ~IByteArray() = default;

  /// A snapshot of the segment: this LowIndex and Count.
  virtual std::shared_ptr<ArrayBounds> Bounds() const = 0;

  /// Number of bytes. Setting it resizes: kept bytes stay, new ones are 0;
  /// error 1000 for a negative count, 7 when memory runs out (array unchanged).
  ///@{
  virtual int32_t Count() const = 0;
  virtual void Count(int32_t Value) = 0;
  ///@}

  /// LowIndex + Count - 1. Setting it sets Count = Value - LowIndex + 1.
  ///@{
  virtual int32_t HighIndex() const = 0;
  virtual void HighIndex(int32_t Value) = 0;
  ///@}

  /// A live view from Index on: Count bytes when Count is not 0, otherwise
  /// (on an array or a trail) the tail to the end, however long it gets.
  virtual std::shared_ptr<IByteArray> Interval(int32_t Index, int32_t Count = 0) = 0;

  /// The byte at Index, 0..255; error 9 where there is no such byte (for a
  /// view: where the index maps outside its parent's store, since a view
  /// checks nothing against its own bounds). Setting stores the low 8 bits
  /// of Value (300 stores 44, -1 stores 255).
  ///@{
  virtual int32_t Item(int32_t Index) const = 0;
  virtual void Item(int32_t Index, int32_t Value) = 0;
  ///@}
  /// Item(Index), the default member.
  int32_t operator[](int32_t Index) const { return Item(Index); }

  /// The index of the first byte (1 for a new array). Setting it moves no byte.
  ///@{
  virtual int32_t LowIndex() const = 0;
  virtual void LowIndex(int32_t Value) = 0;
  ///@}

  /// True when V holds the same bytes at every index both have; V must be a
  /// ByteArray itself (error 97 otherwise).
  [[nodiscard]] virtual bool Check(const IByteArray& V) const = 0;

  /// A new, independent ByteArray with these bytes and LowIndex 1.
  virtual std::shared_ptr<ByteArray> Copy() const = 0;
  /// Takes V's bytes (and their number); LowIndex stays.
  virtual void Copy(const IByteArray& V) = 0;

  /// Sum of the bytes, wrapping modulo 2^32.
  virtual int32_t Sum() const = 0;

  /// Copies Count bytes from SourceIndex on into Destination from its own
  /// index DestinationIndex on; error 9 when either range leaves its array
  /// (for a view: its parent's store, not the view's own bounds).
  virtual void WriteBytes(SafeArray<uint8_t>& Destination, int32_t DestinationIndex,
                          int32_t SourceIndex, int32_t Count) const = 0;

  /// The bytes as hexadecimal text, two upper-case digits per byte. Setting
  /// it takes digits of either case; error 1000 for an odd length, 13 at the
  /// first pair that is not hexadecimal (the bytes before it are written).
  ///@{
  virtual std::string Text() const = 0;
  virtual void Text(std::string_view Value) = 0;
  ///@}

  /// The bytes as a zero-based byte array variant, or Empty when there are
  /// none. Setting it takes Empty, Null, text (code page 1252), an array of
  /// bytes or of variants, or a number 0..255 (errors 6 and 13).
  ///@{
  virtual Variant Value() const = 0;
  virtual void Value(const Variant& V) = 0;
  ///@}

  /// How many consecutive bytes from Start on equal Pattern (0 when Start is
  /// past the end); error 9 when Start is before the first byte.
  virtual int32_t Skip(uint8_t Pattern, int32_t Start) const = 0;

  /// Sets every byte to Pattern.
  virtual void Fill(uint8_t Pattern) = 0;

  /// The bytes LowIndex..HighIndex where the library keeps them, read and
  /// written in place, no copy made; valid until the array changes size.
  /// Error 9 when a view's window is not wholly inside its parent, 1000
  /// for a negative Count, 97 for a client's own implementation.
  ///@{
  std::span<uint8_t> Bytes();
  std::span<const uint8_t> Bytes() const;
  ///@}
  /// Iterators over Bytes(), for range-for and the standard algorithms.
  ///@{
  uint8_t* begin() { return Bytes().data(); }
  uint8_t* end() {
    const std::span<uint8_t> bytes = Bytes();
    return bytes.data() + bytes.size();
  }
  const uint8_t* begin() const { return Bytes().data(); }
  const uint8_t* end() const {
    const std::span<const uint8_t> bytes = Bytes();
    return bytes.data() + bytes.size();
  }
  ///@}

 protected:
  /// Made, copied and assigned only as part of an implementation.
  ///@{
  IByteArray() = default;
  IByteArray(const IByteArray&) = default;
  IByteArray& operator=(const IByteArray&) = default;
  ///@}

 private:
  friend class detail::ByteAccess;
  // The library's own arrays and views say where their bytes are, so that
  // its readers need not go byte by byte; a client's own array need not.
  virtual detail::StoreWindow Window() const noexcept { return {}; }
};

/// Writes the array's Text: two hexadecimal digits per byte.
std::ostream& operator<<(std::ostream& out, const IByteArray& array);

}  // namespace ombrix
