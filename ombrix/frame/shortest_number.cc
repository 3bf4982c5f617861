// Doubles as their shortest decimal text, and how many decimals that text has.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "ombrix/frame/shortest_number_internal.h"

namespace ombrix::detail {

std::string ShortestNumber(double value) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end);
}

int DecimalsOf(double value) {
  if (!std::isfinite(value)) return 0;
  char text[32];
  const char* const begin = text;
  const char* const end = std::to_chars(text, text + sizeof text, value).ptr;
  const char* const exponent = std::find(begin, end, 'e');
  const char* const point = std::find(begin, exponent, '.');
  int decimals = point == exponent ? 0 : static_cast<int>(exponent - point - 1);
  if (exponent != end) {
    int power = 0;
    std::from_chars(exponent + (exponent[1] == '+' ? 2 : 1), end, power);
    decimals -= power;
  }
  return std::clamp(decimals, 0, 15);
}

}  // namespace ombrix::detail
