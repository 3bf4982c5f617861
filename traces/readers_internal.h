// Internal: the readers of each format, made by OpenTrace, and what their
// parsers share.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "traces/line_source_internal.h"
#include "traces/trace_reader.h"

namespace ombrix::traces::detail {

std::unique_ptr<TraceReader> CandumpReader(std::unique_ptr<LineSource> lines,
                                           const ReadOptions& options);
std::unique_ptr<TraceReader> AscReader(std::unique_ptr<LineSource> lines,
                                       const ReadOptions& options);

/// The value of a hexadecimal digit, or -1.
inline int HexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

/// Seconds with a fraction ("12.345678", at most 9 decimals used, more
/// ignored) as nanoseconds; none for anything else or beyond ±292 years.
std::optional<int64_t> NanosecondsOf(std::string_view text) noexcept;

}  // namespace ombrix::traces::detail
