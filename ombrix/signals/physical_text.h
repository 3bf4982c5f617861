// A signal's physical values as the decimals they are: raw × factor +
// offset computed in decimal, so that raw 3 at factor 0.1 reads "0.3" (the
// double product is 0.30000000000000004), and 64-bit raw values keep every
// digit. This is the text a decoded trace writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ombrix/signals/message_codec.h"
#include "ombrix/signals/signal_database.h"

namespace ombrix::signals {

/// Writes one signal's physical values as text, prepared once per signal.
class PhysicalText {
 public:
  /// For `signal`: exact decimals when it is an integer signal whose factor
  /// and offset are decimals of at most 15 digits, the shortest text of the
  /// double value otherwise.
  explicit PhysicalText(const Signal& signal);

  /// True when values are written as exact decimals.
  bool Exact() const noexcept { return exact_; }

  /// Appends the physical value of `decoded` (a value of this signal) to
  /// `text`: "0.3", "-273.4", "18446744073709551615", "1e+300".
  void Append(std::string& text, const DecodedSignal& decoded) const;

  /// The physical value of `decoded` as text.
  std::string operator()(const DecodedSignal& decoded) const;

  /// The most characters a value takes.
  static constexpr size_t kMost = 48;
  /// The same text written at `out`, which has room for kMost characters
  /// (all of which it may write); returns the text's end.
  char* Write(char* out, const DecodedSignal& decoded) const noexcept;

 private:
  bool exact_ = false;
  bool signed_ = false;
  uint32_t length_ = 0;
  int decimals_ = 0;    // of factor_ and offset_, in units of 10^-decimals_
  int64_t factor_ = 0;  // the factor × 10^decimals_
  int64_t offset_ = 0;  // the offset × 10^decimals_
};

}  // namespace ombrix::signals
