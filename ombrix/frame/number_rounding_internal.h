// Internal: conversions of doubles to integers as the automation runtime does them:
// halves round to the even neighbour, and a result outside the target range
// (or a NaN) is an overflow, never undefined behaviour.
#pragma once

#include <cmath>
#include <cstdint>

#include "ombrix/frame/error.h"

namespace ombrix::detail {

/// x rounded to the nearest integer, halves to the even one.
inline double RoundHalfEven(double x) noexcept {
  const double floor = std::floor(x);
  const double fraction = x - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

/// x rounded half to even into a 32-bit integer; error 6 when it does not fit.
inline int32_t RoundToInt32(double x) {
  const double rounded = RoundHalfEven(x);
  // The negated test also catches NaN.
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) Raise(errors::kOverflow);
  return static_cast<int32_t>(rounded);
}

}  // namespace ombrix::detail
