// Internal: the readers of each format, made by OpenTrace, and what their
// parsers share.
#pragma once

#include <array>
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
std::unique_ptr<TraceReader> TrcReader(std::unique_ptr<LineSource> lines,
                                       const ReadOptions& options);
/// BLF from the file at `path`, or standard input for "-".
std::unique_ptr<TraceReader> BlfReader(const std::string& path, const ReadOptions& options);

/// Each character's value as a hexadecimal digit, or -1.
inline constexpr std::array<int8_t, 256> kHexValues = [] {
  std::array<int8_t, 256> values{};
  values.fill(-1);
  for (int k = 0; k < 10; ++k) values[static_cast<size_t>('0' + k)] = static_cast<int8_t>(k);
  for (int k = 0; k < 6; ++k) {
    values[static_cast<size_t>('a' + k)] = static_cast<int8_t>(10 + k);
    values[static_cast<size_t>('A' + k)] = static_cast<int8_t>(10 + k);
  }
  return values;
}();

/// The value of a hexadecimal digit, or -1.
inline int HexDigit(char c) noexcept { return kHexValues[static_cast<unsigned char>(c)]; }

/// Seconds with a fraction ("12.345678", at most 9 decimals used, more
/// ignored) as nanoseconds; none for anything else or beyond ±292 years.
std::optional<int64_t> NanosecondsOf(std::string_view text) noexcept;

}  // namespace ombrix::traces::detail
