// How numbers are written for a user: separators, grouping, negative form
// and default decimals, read from the environment's locale or taken from a
// preset. Writing and reading use these settings alone: the process's C
// locale (setlocale) changes nothing, so a program that adopts its user's
// locale gets the same text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ombrix {

/// How numbers are written and read in a user's language.
struct RegionalSettings {
  /// Where the minus sign of a negative number goes.
  enum class NegativeForm {
    Parentheses,        // (1.1)
    LeadingMinus,       // -1.1
    LeadingMinusSpace,  // - 1.1
    TrailingMinus,      // 1.1-
    TrailingMinusSpace  // 1.1 -
  };

  /// Separates the integer part from the decimals (UTF-8).
  std::string DecimalSeparator = ".";
  /// Separates digit groups in the integer part (UTF-8).
  std::string GroupSeparator = ",";
  /// Digits per group in the integer part; 0 writes no groups.
  int32_t Grouping = 3;
  /// True when a number between -1 and 1 is written with a 0 before the separator.
  bool LeadingZero = true;
  /// The form of negative numbers.
  NegativeForm Negative = NegativeForm::LeadingMinus;
  /// Decimals shown when a caller asks for the default (Precision -1).
  int32_t DefaultDecimals = 2;

  /// Value with exactly Decimals digits after the separator (rounded to the
  /// nearest, exactly from the double's binary value), grouped and signed as
  /// these settings say; a value that rounds to zero shows no sign. Infinities
  /// and NaN read "Inf", "-Inf" and "NaN". Error 5 for negative Decimals.
  std::string Format(double Value, int32_t Decimals) const;
  /// A number written in these settings: blanks around it, an optional sign
  /// (leading or trailing minus, or parentheses), group separators in the
  /// integer part, the decimal separator, an optional exponent. Where the
  /// group separator is a space, any space a user or system writes between
  /// groups is one: U+0020, U+00A0 or U+202F. Error 13 for any other text,
  /// 6 for a number beyond the range of a double.
  double Parse(std::string_view Text) const;
  /// Parse for text a person typed: group separators are accepted only at
  /// every group boundary of the integer part or not at all, so that with
  /// the English settings "85,5" is refused (13) and "1,234.5" accepted.
  double ParseStrict(std::string_view Text) const;

  /// The settings of the process locale (LC_NUMERIC of the environment),
  /// or those of the "C" locale when the environment names none that exists.
  /// A separator that is not ASCII (glibc's fr_FR groups with U+202F) is
  /// written as the no-break space U+00A0, so that French() and User() under
  /// a French locale write the same text.
  static RegionalSettings User();
  /// English (United States): 1,234.56 and -1,234.56.
  static RegionalSettings English();
  /// French (France): 1 234,56 and -1 234,56, groups separated by the
  /// no-break space U+00A0.
  static RegionalSettings French();

  /// True when every setting is the same.
  friend bool operator==(const RegionalSettings&, const RegionalSettings&) = default;

 private:
  std::string FormatFinite(double Value, int32_t Decimals) const;
  double ParseNumber(std::string_view Text, bool strict) const;
};

}  // namespace ombrix
