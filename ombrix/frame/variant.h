// A self-describing value: what a property bag stores and what ByteArray's
// Value takes and gives. Copies are independent values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>

#include "ombrix/frame/safe_array.h"

namespace ombrix {

/// A value of one of several kinds, converted on demand.
class Variant {
 public:
  /// The kinds of value a Variant holds.
  enum class Kind {
    Empty,
    Null,
    Boolean,
    Byte,
    Integer,
    Long,
    Double,
    Date,
    String,
    ByteArray,
    VariantArray
  };

  /// Empty.
  Variant() = default;
  /// Null.
  static Variant Null();
  /// A Date, given as days since 30 December 1899 (the fraction is the time of day).
  static Variant Date(double days);

  /// A variant of the kind the C++ type names: Boolean, Byte, Integer,
  /// Long, Double, String, an array of bytes or of variants.
  ///@{
  explicit Variant(bool value);
  explicit Variant(uint8_t value);
  explicit Variant(int16_t value);
  explicit Variant(int32_t value);
  explicit Variant(double value);
  explicit Variant(std::string value);
  explicit Variant(const char* value);
  explicit Variant(SafeArray<uint8_t> value);
  explicit Variant(SafeArray<Variant> value);
  ///@}

  /// What the variant holds.
  ///@{
  Kind GetKind() const noexcept { return static_cast<Kind>(value_.index()); }
  bool IsEmpty() const noexcept { return GetKind() == Kind::Empty; }
  bool IsNull() const noexcept { return GetKind() == Kind::Null; }
  bool IsBoolean() const noexcept { return GetKind() == Kind::Boolean; }
  bool IsByte() const noexcept { return GetKind() == Kind::Byte; }
  bool IsInteger() const noexcept { return GetKind() == Kind::Integer; }
  bool IsLong() const noexcept { return GetKind() == Kind::Long; }
  bool IsDouble() const noexcept { return GetKind() == Kind::Double; }
  bool IsDate() const noexcept { return GetKind() == Kind::Date; }
  bool IsString() const noexcept { return GetKind() == Kind::String; }
  ///@}
  /// True for a byte array or an array of variants.
  bool IsArray() const noexcept {
    return GetKind() == Kind::ByteArray || GetKind() == Kind::VariantArray;
  }
  /// True for Boolean, Byte, Integer, Long, Double and Date.
  bool IsNumeric() const noexcept;

  /// The byte array held, or null for any other kind.
  const SafeArray<uint8_t>* ByteArray() const noexcept;
  /// The array of variants held, or null for any other kind.
  const SafeArray<Variant>* VariantArray() const noexcept;

  /// To a byte: numbers rounded half to even; error 6 outside 0..255 (True
  /// counts as -1), 13 for text that is not a number or for an array, 94 for Null.
  uint8_t ToByte() const;
  /// To a 32-bit integer, rounded half to even; error 6 outside its range,
  /// 13 and 94 as ToByte.
  int32_t ToLong() const;
  /// To a double; text is read as a number ("&H" hexadecimal and "&O" octal
  /// too); error 13 for anything else, 94 for Null.
  double ToDouble() const;
  /// To text: "" for Empty, "True"/"False", numbers in the invariant form
  /// (up to 15 significant digits), dates as "YYYY-MM-DD HH:MM:SS";
  /// error 13 for an array, 94 for Null.
  std::string ToString() const;

  /// Equal values: numbers compare by value whatever their kind, texts and
  /// arrays by content, Empty with Empty, Null with Null.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullValue {
    friend bool operator==(NullValue, NullValue) { return true; }
  };
  struct DateValue {
    double days;
    friend bool operator==(DateValue a, DateValue b) { return a.days == b.days; }
  };
  // Shared and never modified, so copies of the variant stay independent values.
  using VariantArrayPtr = std::shared_ptr<const SafeArray<Variant>>;

  using Storage = std::variant<std::monostate, NullValue, bool, uint8_t, int16_t, int32_t, double,
                               DateValue, std::string, SafeArray<uint8_t>, VariantArrayPtr>;
  Storage value_;

  // GetKind is the alternative's index: the kinds and the alternatives must
  // stay in step.
  template <Kind kKind>
  using Alternative = std::variant_alternative_t<static_cast<size_t>(kKind), Storage>;
  static_assert(std::variant_size_v<Storage> == static_cast<size_t>(Kind::VariantArray) + 1);
  static_assert(std::is_same_v<Alternative<Kind::Empty>, std::monostate>);
  static_assert(std::is_same_v<Alternative<Kind::Null>, NullValue>);
  static_assert(std::is_same_v<Alternative<Kind::Boolean>, bool>);
  static_assert(std::is_same_v<Alternative<Kind::Byte>, uint8_t>);
  static_assert(std::is_same_v<Alternative<Kind::Integer>, int16_t>);
  static_assert(std::is_same_v<Alternative<Kind::Long>, int32_t>);
  static_assert(std::is_same_v<Alternative<Kind::Double>, double>);
  static_assert(std::is_same_v<Alternative<Kind::Date>, DateValue>);
  static_assert(std::is_same_v<Alternative<Kind::String>, std::string>);
  static_assert(std::is_same_v<Alternative<Kind::ByteArray>, SafeArray<uint8_t>>);
  static_assert(std::is_same_v<Alternative<Kind::VariantArray>, VariantArrayPtr>);
};

}  // namespace ombrix
