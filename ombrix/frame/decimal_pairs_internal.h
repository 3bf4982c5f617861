// Internal: decimal digits written two at a time from a table of "00" to
// "99", for the writers that turn many numbers into text.
#pragma once

#include <array>
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

}  // namespace ombrix::detail
