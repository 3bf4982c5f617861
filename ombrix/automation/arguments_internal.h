// Internal: turning late binding's arguments into the C++ members' types,
// and their results back into values, with the platform's errors (13 for a
// type mismatch, 91 for Nothing where an object is needed).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ombrix/automation/catalogue.h"
#include "ombrix/frame/error.h"

namespace ombrix::automation::detail {

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
