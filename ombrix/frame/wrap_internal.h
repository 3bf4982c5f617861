// Internal: 32-bit two's complement arithmetic that wraps instead of overflowing, as
// the library's index, address and count arithmetic does.
#pragma once

#include <cstdint>

namespace ombrix::detail {

/// a + b modulo 2^32.
constexpr int32_t WrapAdd(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

/// a - b modulo 2^32.
constexpr int32_t WrapSub(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

/// Low + Count - 1 modulo 2^32: the high index of a segment.
constexpr int32_t WrapHigh(int32_t low, int32_t count) noexcept {
  return WrapSub(WrapAdd(low, count), 1);
}

}  // namespace ombrix::detail
