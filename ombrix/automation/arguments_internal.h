// Internal: turning late binding's arguments into the C++ members' types,
// and their results back into values, with the platform's errors (13 for a
// type mismatch, 91 for Nothing where an object is needed).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ombrix/automation/catalogue.h"
#include "ombrix/frame/error.h"

namespace ombrix::automation::detail {

/// The types of parameters and results, as the member tables name them.
///@{
inline constexpr Type kLongType{TypeKind::Long};
inline constexpr Type kByteType{TypeKind::Byte};
inline constexpr Type kBooleanType{TypeKind::Boolean};
inline constexpr Type kDoubleType{TypeKind::Double};
inline constexpr Type kStringType{TypeKind::String};
inline constexpr Type kVariantType{TypeKind::Variant};
inline constexpr Type kByteArrayType{TypeKind::Object, "ByteArray"};
///@}

/// An ASCII letter in lower case; any other character as it is.
constexpr char Folded(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}
/// Whether `wanted` is `name` but for the case of its ASCII letters.
bool SameName(std::string_view wanted, const char* name) noexcept;

/// The variant an argument holds; error 13 for an object reference.
const Variant& VariantOf(const Value& value);
int32_t LongOf(const Value& value);
uint8_t ByteOf(const Value& value);
bool BooleanOf(const Value& value);
double DoubleOf(const Value& value);
std::string StringOf(const Value& value);
/// The object an argument refers to: error 91 for Nothing, 13 for no object.
const Object& ObjectOf(const Value& value);
/// An object argument through the ByteArray interface; 13 for another class.
std::shared_ptr<IByteArray> ByteArrayOf(const Value& value);

/// Results.
///@{
inline Value Long(int32_t value) { return Value(Variant(value)); }
inline Value Boolean(bool value) { return Value(Variant(value)); }
inline Value Double(double value) { return Value(Variant(value)); }
inline Value String(std::string value) { return Value(Variant(std::move(value))); }
inline Value None() { return Value(); }
///@}

/// The object `self` as a T; the dispatcher has checked its class.
template <typename T>
T& Self(const Object& self) {
  return *self.As<T>();
}

}  // namespace ombrix::automation::detail
