#include "ombrix/frame/variant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

#include "ombrix/frame/number_rounding_internal.h"
#include "ombrix/frame/regional_settings.h"

namespace ombrix {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "&H" and "&O" literals: up to 16 bits they read as a signed 16-bit
// integer, above that as a signed 32-bit one (so "&HFFFF" is -1).
double ParseRadixLiteral(std::string_view digits, unsigned radix) {
  if (!digits.empty() && digits.back() == '&') digits.remove_suffix(1);  // Long suffix
  if (digits.empty()) Raise(errors::kTypeMismatch);
  uint64_t value = 0;
  for (const char c : digits) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
      digit = static_cast<unsigned>((c | 0x20) - 'a' + 10);
    } else {
      Raise(errors::kTypeMismatch);
    }
    if (digit >= radix) Raise(errors::kTypeMismatch);
    value = value * radix + digit;
    if (value > 0xFFFFFFFFu) Raise(errors::kOverflow);
  }
  if (value <= 0xFFFFu) return static_cast<int16_t>(static_cast<uint16_t>(value));
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// Text read as a number: "&H" and "&O" literals, or a decimal number
// written in the invariant form (blanks around it, '.' for decimals).
double ParseNumber(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  if (trimmed.size() >= 2 && trimmed[0] == '&') {
    const char radix = static_cast<char>(trimmed[1] | 0x20);
    if (radix == 'h') return ParseRadixLiteral(trimmed.substr(2), 16);
    if (radix == 'o') return ParseRadixLiteral(trimmed.substr(2), 8);
    Raise(errors::kTypeMismatch);
  }
  return RegionalSettings::English().Parse(text);
}

// Whole days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

std::string FormatDate(double days) {
  // The range of dates a Date can hold: years 100 to 9999.
  if (!(days >= -657434.0 && days <= 2958465.99999)) Raise(errors::kOverflow);
  // Before the epoch the fraction still counts forward from midnight.
  const double whole = std::trunc(days);
  auto seconds = static_cast<int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
  auto day_number = static_cast<int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    day_number += days < 0 ? -1 : 1;
  }
  int64_t year;
  unsigned month, day;
  CivilFromDays(day_number - 25569, year, month, day);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                static_cast<long long>(year), month, day, static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  if (value == 0) return "0";
  // As printf's "%.15G" in the C locale, whatever the process's locale says.
  char text[40];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  std::string digits(text, written.ptr);
  std::replace(digits.begin(), digits.end(), 'e', 'E');
  return digits;
}

}  // namespace

Variant Variant::Null() {
  Variant v;
  v.value_ = NullValue{};
  return v;
}

Variant Variant::Date(double days) {
  Variant v;
  v.value_ = DateValue{days};
  return v;
}

Variant::Variant(bool value) : value_(value) {}
Variant::Variant(uint8_t value) : value_(value) {}
Variant::Variant(int16_t value) : value_(value) {}
Variant::Variant(int32_t value) : value_(value) {}
Variant::Variant(double value) : value_(value) {}
Variant::Variant(std::string value) : value_(std::move(value)) {}
Variant::Variant(const char* value) : value_(std::string(value)) {}
Variant::Variant(SafeArray<uint8_t> value) : value_(std::move(value)) {}
Variant::Variant(SafeArray<Variant> value)
    : value_(std::make_shared<const SafeArray<Variant>>(std::move(value))) {}

bool Variant::IsNumeric() const noexcept {
  switch (GetKind()) {
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::Double:
    case Kind::Date:
      return true;
    default:
      return false;
  }
}

const SafeArray<uint8_t>* Variant::ByteArray() const noexcept {
  return std::get_if<SafeArray<uint8_t>>(&value_);
}

const SafeArray<Variant>* Variant::VariantArray() const noexcept {
  const auto* held = std::get_if<VariantArrayPtr>(&value_);
  return held ? held->get() : nullptr;
}

double Variant::ToDouble() const {
  switch (GetKind()) {
    case Kind::Empty:
      return 0;
    case Kind::Null:
      Raise(errors::kInvalidUseOfNull);
    case Kind::Boolean:
      return std::get<bool>(value_) ? -1 : 0;
    case Kind::Byte:
      return std::get<uint8_t>(value_);
    case Kind::Integer:
      return std::get<int16_t>(value_);
    case Kind::Long:
      return std::get<int32_t>(value_);
    case Kind::Double:
      return std::get<double>(value_);
    case Kind::Date:
      return std::get<DateValue>(value_).days;
    case Kind::String:
      return ParseNumber(std::get<std::string>(value_));
    default:
      Raise(errors::kTypeMismatch);
  }
}

int32_t Variant::ToLong() const {
  switch (GetKind()) {
    case Kind::Byte:
      return std::get<uint8_t>(value_);
    case Kind::Integer:
      return std::get<int16_t>(value_);
    case Kind::Long:
      return std::get<int32_t>(value_);
    default:
      return detail::RoundToInt32(ToDouble());
  }
}

uint8_t Variant::ToByte() const {
  if (const auto* byte = std::get_if<uint8_t>(&value_)) return *byte;
  const int32_t value = ToLong();
  if (value < 0 || value > 255) Raise(errors::kOverflow);
  return static_cast<uint8_t>(value);
}

std::string Variant::ToString() const {
  switch (GetKind()) {
    case Kind::Empty:
      return {};
    case Kind::Null:
      Raise(errors::kInvalidUseOfNull);
    case Kind::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
      return std::to_string(ToLong());
    case Kind::Double:
      return FormatDouble(std::get<double>(value_));
    case Kind::Date:
      return FormatDate(std::get<DateValue>(value_).days);
    case Kind::String:
      return std::get<std::string>(value_);
    default:
      Raise(errors::kTypeMismatch);
  }
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.IsNumeric() && b.IsNumeric()) return a.ToDouble() == b.ToDouble();
  if (a.GetKind() != b.GetKind()) return false;
  if (a.GetKind() == Variant::Kind::VariantArray) return *a.VariantArray() == *b.VariantArray();
  return a.value_ == b.value_;
}

}  // namespace ombrix
