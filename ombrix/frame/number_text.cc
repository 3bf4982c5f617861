// Numbers written and read in a user's regional settings.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/regional_settings.h"

namespace ombrix {
namespace {

// to_chars writes the exact decimal expansion of a double, so digits past
// this many after the point are all zeros.
constexpr int32_t kMaxSignificantDecimals = 1100;

// The digits with a '.' whatever the process's C locale says (printf would
// follow it, and a program that adopts its user's locale would get commas).
std::string FixedDigits(double magnitude, int32_t decimals) {
  const int printed = decimals < kMaxSignificantDecimals ? decimals : kMaxSignificantDecimals;
  // At most 309 integer digits, the point and the decimals.
  char buffer[320 + kMaxSignificantDecimals];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, printed);
  std::string digits(buffer, written.ptr);
  digits.append(static_cast<size_t>(decimals - printed), '0');
  return digits;
}

// A space a French user or system writes between groups: U+0020, the
// no-break space U+00A0 or the narrow no-break space U+202F.
bool IsSpace(std::string_view text, size_t at, size_t& length) {
  for (const std::string_view space : {" ", "\xC2\xA0", "\xE2\x80\xAF"}) {
    if (text.substr(at, space.size()) == space) {
      length = space.size();
      return true;
    }
  }
  return false;
}

bool IsBlank(std::string_view text, size_t at, size_t& length) {
  if (text[at] == ' ' || text[at] == '\t') {
    length = 1;
    return true;
  }
  for (const std::string_view space : {"\xC2\xA0", "\xE2\x80\xAF"}) {  // no-break spaces
    if (text.substr(at, space.size()) == space) {
      length = space.size();
      return true;
    }
  }
  return false;
}

std::string_view TrimBlanks(std::string_view text) {
  size_t length = 0;
  while (!text.empty() && IsBlank(text, 0, length)) text.remove_prefix(length);
  for (bool trimmed = true; trimmed && !text.empty();) {
    trimmed = false;
    for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
      if (IsBlank(text, text.size() - back, length) && length == back) {
        text.remove_suffix(back);
        trimmed = true;
        break;
      }
    }
  }
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Roughly the power of ten of a number written as digits, '.', and 'e' with
// an exponent: above 0 for numbers of 1 or more.
int64_t DecimalMagnitude(std::string_view plain) {
  const size_t e = plain.find('e');
  int64_t exponent = 0;
  if (e != std::string_view::npos) {
    const std::string_view text = plain.substr(e + 1);
    const bool minus = !text.empty() && text[0] == '-';
    for (const char c : text) {
      if (IsDigit(c) && exponent < 100000000) exponent = exponent * 10 + (c - '0');
    }
    if (minus) exponent = -exponent;
    plain = plain.substr(0, e);
  }
  const size_t first = plain.find_first_of("123456789");
  if (first == std::string_view::npos) return INT64_MIN / 2;
  const size_t point = std::min(plain.find('.'), plain.size());
  const auto place = static_cast<int64_t>(point) - static_cast<int64_t>(first);
  return exponent + (place > 0 ? place : place + 1);
}

}  // namespace

std::string RegionalSettings::Format(double Value, int32_t Decimals) const {
  if (Decimals < 0) Raise(errors::kInvalidArgument);
  if (std::isnan(Value)) return "NaN";
  if (std::isinf(Value)) return Value < 0 ? "-Inf" : "Inf";
  // A text of billions of decimals may not fit in memory.
  return detail::OrOutOfMemory([&] { return FormatFinite(Value, Decimals); });
}

std::string RegionalSettings::FormatFinite(double Value, int32_t Decimals) const {
  const std::string digits = FixedDigits(std::fabs(Value), Decimals);
  const size_t point = digits.find('.');
  const std::string_view integer_part = std::string_view(digits).substr(0, point);

  std::string body;
  if (integer_part == "0" && !LeadingZero && Decimals > 0) {
    // ".5" rather than "0.5"
  } else if (Grouping > 0) {
    const auto group = static_cast<size_t>(Grouping);
    for (size_t k = 0; k < integer_part.size(); ++k) {
      if (k > 0 && (integer_part.size() - k) % group == 0) body += GroupSeparator;
      body += integer_part[k];
    }
  } else {
    body = integer_part;
  }
  if (point != std::string::npos) {
    body += DecimalSeparator;
    body.append(digits, point + 1);
  }

  const bool shows_nonzero = digits.find_first_of("123456789") != std::string::npos;
  if (!(Value < 0 && shows_nonzero)) return body;
  switch (Negative) {
    case NegativeForm::Parentheses:
      return "(" + body + ")";
    case NegativeForm::LeadingMinusSpace:
      return "- " + body;
    case NegativeForm::TrailingMinus:
      return body + "-";
    case NegativeForm::TrailingMinusSpace:
      return body + " -";
    case NegativeForm::LeadingMinus:
    default:
      return "-" + body;
  }
}

double RegionalSettings::Parse(std::string_view Text) const { return ParseNumber(Text, false); }

double RegionalSettings::ParseStrict(std::string_view Text) const {
  return ParseNumber(Text, true);
}

double RegionalSettings::ParseNumber(std::string_view Text, bool strict) const {
  std::string_view text = TrimBlanks(Text);
  bool negative = false;
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
    negative = true;
    text = TrimBlanks(text.substr(1, text.size() - 2));
  } else if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text = TrimBlanks(text.substr(1));
  } else if (!text.empty() && text.back() == '-') {
    negative = true;
    text = TrimBlanks(text.substr(0, text.size() - 1));
  }

  // Rewrite in the invariant form: digits, '.', exponent.
  std::string plain;
  size_t at = 0;
  bool seen_point = false, seen_digit = false;
  size_t integer_digits = 0;
  std::vector<size_t> group_marks;  // integer digits before each group separator
  // A French user types a plain space where the settings group with a
  // no-break one, and glibc's fr_FR writes a narrow no-break space: any of
  // the three stands for a group separator that is a space.
  const bool spaced_groups = GroupSeparator == "\xC2\xA0" || GroupSeparator == "\xE2\x80\xAF";
  while (at < text.size()) {
    if (IsDigit(text[at])) {
      plain += text[at++];
      seen_digit = true;
      if (!seen_point) ++integer_digits;
    } else if (!seen_point && !DecimalSeparator.empty() &&
               text.substr(at, DecimalSeparator.size()) == DecimalSeparator) {
      plain += '.';
      at += DecimalSeparator.size();
      seen_point = true;
    } else if (!seen_point && seen_digit && !GroupSeparator.empty() &&
               text.substr(at, GroupSeparator.size()) == GroupSeparator) {
      at += GroupSeparator.size();
      group_marks.push_back(integer_digits);
    } else if (size_t space = 0;
               !seen_point && seen_digit && spaced_groups && IsSpace(text, at, space)) {
      at += space;
      group_marks.push_back(integer_digits);
    } else {
      break;
    }
  }
  if (!seen_digit) Raise(errors::kTypeMismatch);
  // Typed groups stand at every group boundary, counted from the end of
  // the integer part, or there are none.
  if (strict && !group_marks.empty()) {
    const auto group = static_cast<size_t>(std::max(Grouping, 0));
    if (group == 0 || group_marks.size() != (integer_digits - 1) / group) {
      Raise(errors::kTypeMismatch);
    }
    for (size_t k = 0; k < group_marks.size(); ++k) {
      if (group_marks[k] != integer_digits - (group_marks.size() - k) * group) {
        Raise(errors::kTypeMismatch);
      }
    }
  }
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    plain += 'e';
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) plain += text[at++];
    const size_t exponent_start = at;
    while (at < text.size() && IsDigit(text[at])) plain += text[at++];
    if (at == exponent_start) Raise(errors::kTypeMismatch);
  }
  if (at != text.size()) Raise(errors::kTypeMismatch);

  double value = 0;
  const auto [end, status] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (status == std::errc::result_out_of_range) {
    // Too small reads as zero; too large is an overflow.
    if (DecimalMagnitude(plain) > 0) Raise(errors::kOverflow);
    value = 0;
  } else if (status != std::errc() || end != plain.data() + plain.size()) {
    Raise(errors::kTypeMismatch);
  }
  return negative ? -value : value;
}

}  // namespace ombrix
