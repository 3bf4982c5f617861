// A stretch of a run of bytes, clipped to the bytes there are.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

namespace ombrix::detail {

/// Of the `count` bytes from `position` on in `bytes`, those it holds before
/// the first one it lacks (none for a position outside it or no count).
inline std::span<const uint8_t> Within(std::span<const uint8_t> bytes, int64_t position,
                                       int64_t count) noexcept {
  const auto size = static_cast<int64_t>(bytes.size());
  if (position < 0 || position >= size || count <= 0) return {};
  return bytes.subspan(static_cast<size_t>(position),
                       static_cast<size_t>(std::min(count, size - position)));
}

}  // namespace ombrix::detail
