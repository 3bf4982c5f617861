// How numbers are written for a user: separators, grouping, negative form
// and default decimals, read from the process locale or taken from a preset.
#pragma once

#include <cstdint>
#include <string>

namespace ombrix {

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

  /// The settings of the process locale (LC_NUMERIC of the environment),
  /// or those of the "C" locale when the environment names none that exists.
  static RegionalSettings User();
  /// English (United States): 1,234.56 and -1,234.56.
  static RegionalSettings English();
  /// French (France): 1 234,56 and -1 234,56, groups separated by a no-break space.
  static RegionalSettings French();

  friend bool operator==(const RegionalSettings&, const RegionalSettings&) = default;
};

}  // namespace ombrix
