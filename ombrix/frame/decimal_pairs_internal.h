// Internal: decimal digits written two at a time from a table of "00" to
// "99", for the writers that turn many numbers into text.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace ombrix::detail {

inline constexpr std::array<char, 200> kDecimalPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

/// Writes the two digits of `pair` (below 100) at `at`.
inline void WritePair(char* at, unsigned pair) noexcept {
  std::memcpy(at, kDecimalPairs.data() + 2 * pair, 2);
}

/// Writes the two digits of `pair` (below 100) just before `at`; returns
/// where they start.
inline char* WritePairBefore(char* at, unsigned pair) noexcept {
  WritePair(at - 2, pair);
  return at - 2;
}

/// Writes `value` in decimal backwards, its last digit just before `end`;
/// returns where it starts. For any unsigned type, 128 bits included.
template <typename Unsigned>
char* WriteDecimalBefore(char* end, Unsigned value) noexcept {
  char* at = end;
  for (; value >= 100; value /= 100) at = WritePairBefore(at, static_cast<unsigned>(value % 100));
  if (value >= 10) return WritePairBefore(at, static_cast<unsigned>(value));
  *--at = static_cast<char>('0' + static_cast<int>(value));
  return at;
}

/// Writes `value` in decimal at `out` (room for 20 characters); returns the
/// end. The digits are counted first, then written backwards in pairs.
inline char* WriteDecimal(char* out, uint64_t value) noexcept {
  static constexpr uint64_t kPowers[20] = {1,
                                           10,
                                           100,
                                           1000,
                                           10000,
                                           100000,
                                           1000000,
                                           10000000,
                                           100000000,
                                           1000000000,
                                           10000000000,
                                           100000000000,
                                           1000000000000,
                                           10000000000000,
                                           100000000000000,
                                           1000000000000000,
                                           10000000000000000,
                                           100000000000000000,
                                           1000000000000000000,
                                           10000000000000000000u};
  // From the bit length, times log10(2) (1233/4096), at most 19; then one
  // step up where the value reaches the next power. 0 has one digit.
  int digits = static_cast<int>(std::bit_width(value | 1)) * 1233 >> 12;
  digits += (value | 1) >= kPowers[digits];
  WriteDecimalBefore(out + digits, value);
  return out + digits;
}

}  // namespace ombrix::detail
