// Objects as late binding sees them: a counted reference to any of the
// library's objects, a value that is either a Variant or such a reference,
// and the enumerator that NewEnum hands out.
#pragma once

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/numeric_item.h"
#include "ombrix/fields/scaled_value.h"
#include "ombrix/frame/variant.h"
#include "ombrix/memory/memory_image.h"
#include "ombrix/memory/memory_map.h"

namespace ombrix::automation {

class ObjectEnumerator;

/// The classes of the catalogue, in its order, then the enumerator.
enum class ClassId : uint8_t {
  ByteArray,
  ByteArrayInterval,
  ByteArrayTrail,
  ArrayBounds,
  NumericItem,
  LittleEndian,
  BigEndian,
  ScaledValue,
  Enumeration,
  MemoryMap,
  MemoryImage,
  CRC,
  Enumerator,
};

/// A counted reference to one of the library's objects, or Nothing. Copies
/// share the object; the object lives while any reference does.
class Object {
 public:
  /// Nothing.
  Object() = default;
  /// A reference to `object`; Nothing when it is empty.
  ///@{
  Object(std::shared_ptr<ByteArray> object) noexcept;
  Object(std::shared_ptr<ByteArrayInterval> object) noexcept;
  Object(std::shared_ptr<ByteArrayTrail> object) noexcept;
  Object(std::shared_ptr<ArrayBounds> object) noexcept;
  Object(std::shared_ptr<LittleEndian> object) noexcept;
  Object(std::shared_ptr<BigEndian> object) noexcept;
  Object(std::shared_ptr<ScaledValue> object) noexcept;
  Object(std::shared_ptr<Enumeration> object) noexcept;
  Object(std::shared_ptr<MemoryMap> object) noexcept;
  Object(std::shared_ptr<MemoryImage> object) noexcept;
  Object(std::shared_ptr<CRC> object) noexcept;
  Object(std::shared_ptr<ObjectEnumerator> object) noexcept;
  ///@}
  /// A reference to an object held through an interface, under its own class.
  ///@{
  static Object Of(std::shared_ptr<IByteArray> object) noexcept;
  static Object Of(std::shared_ptr<NumericItem> object) noexcept;
  ///@}

  /// Whether it refers to nothing.
  bool IsNothing() const noexcept { return ref_.index() == 0; }
  /// The object's class; only for a reference that is not Nothing.
  ClassId Class() const noexcept { return static_cast<ClassId>(ref_.index() - 1); }
  /// The object when it is exactly a T, else empty.
  template <typename T>
  std::shared_ptr<T> As() const noexcept {
    if (const auto* held = std::get_if<std::shared_ptr<T>>(&ref_)) return *held;
    return nullptr;
  }
  /// The object through the ByteArray interface (an array or a view), else empty.
  std::shared_ptr<IByteArray> ByteArrayInterface() const noexcept;
  /// The object through the NumericItem interface, else empty.
  std::shared_ptr<NumericItem> NumericItemInterface() const noexcept;
  /// The object's address: two references to one object give the same.
  const void* Identity() const noexcept;

  /// The same object (or both Nothing).
  friend bool operator==(const Object& a, const Object& b) noexcept {
    return a.Identity() == b.Identity();
  }

 private:
  std::variant<
      std::monostate, std::shared_ptr<ByteArray>, std::shared_ptr<ByteArrayInterval>,
      std::shared_ptr<ByteArrayTrail>, std::shared_ptr<ArrayBounds>, std::shared_ptr<NumericItem>,
      std::shared_ptr<LittleEndian>, std::shared_ptr<BigEndian>, std::shared_ptr<ScaledValue>,
      std::shared_ptr<Enumeration>, std::shared_ptr<MemoryMap>, std::shared_ptr<MemoryImage>,
      std::shared_ptr<CRC>, std::shared_ptr<ObjectEnumerator>>
      ref_;
};

/// An argument or result of late binding: a Variant, or an object
/// reference (which a Variant of the library cannot hold).
class Value {
 public:
  /// Empty.
  Value() = default;
  /// The variant `value`.
  Value(Variant value) noexcept : value_(std::move(value)) {}
  /// The object reference `object` (Nothing included).
  Value(Object object) noexcept : value_(std::move(object)) {}

  /// Whether it is an object reference.
  bool IsObject() const noexcept { return value_.index() == 1; }
  /// The object reference, or null when it holds a variant.
  const Object* AsObject() const noexcept { return std::get_if<Object>(&value_); }
  /// The variant, or null when it holds an object reference.
  ///@{
  const Variant* AsVariant() const noexcept { return std::get_if<Variant>(&value_); }
  Variant* AsVariant() noexcept { return std::get_if<Variant>(&value_); }
  ///@}

  /// Equal variants, or references to the same object.
  friend bool operator==(const Value& a, const Value& b) { return a.value_ == b.value_; }

 private:
  std::variant<Variant, Object> value_;
};

/// What NewEnum hands out: a walk over a snapshot of a collection's items
/// (the stored objects themselves, or texts).
class ObjectEnumerator {
 public:
  /// A walk over `items`, from the first.
  explicit ObjectEnumerator(std::vector<Value> items)
      : items_(std::make_shared<const std::vector<Value>>(std::move(items))) {}

  /// Up to `count` next items (fewer at the end; none for a count below 1).
  std::vector<Value> Next(int32_t count);
  /// Passes over `count` items; false when fewer were left.
  bool Skip(int32_t count) noexcept;
  /// Back to the first item.
  void Reset() noexcept { position_ = 0; }
  /// A new enumerator over the same items, at the same place.
  std::shared_ptr<ObjectEnumerator> Clone() const;

 private:
  std::shared_ptr<const std::vector<Value>> items_;
  size_t position_ = 0;
};

}  // namespace ombrix::automation
