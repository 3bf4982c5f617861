// Internal: the readers of each format, made by OpenTrace, and what their
// parsers share.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "traces/line_source_internal.h"
#include "traces/trace_reader.h"

namespace ombrix::traces::detail {

/// What every text reader does: lines one by one, each parsed by the
/// format's Parse into a frame, or passed over, or skipped (refused when
/// strict) with its number and reason.
class TextTraceReader : public TraceReader {
 public:
  TextTraceReader(std::unique_ptr<LineSource> lines, const ReadOptions& options)
      : lines_(std::move(lines)), options_(options) {}
  bool Next(Frame& frame) final;
  std::pair<uint64_t, uint64_t> Progress() const noexcept final {
    return {lines_->Consumed(), lines_->Size()};
  }

 protected:
  /// Reads `line` into `frame`: null for a frame, "" for a line that holds
  /// none (comments, headers, events), else what is wrong with it.
  virtual const char* Parse(std::string_view line, Frame& frame) = 0;

 private:
  std::unique_ptr<LineSource> lines_;
  ReadOptions options_;
};

/// A line's words, split at blanks and tabs, into `words` (cleared first).
void SplitWords(std::string_view line, std::vector<std::string_view>& words);

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

/// `start` + `offset` nanoseconds, or none beyond what 64 bits hold
/// (the years 1677 to 2262).
inline std::optional<int64_t> Later(int64_t start, int64_t offset) noexcept {
  int64_t sum = 0;
  if (__builtin_add_overflow(start, offset, &sum)) return std::nullopt;
  return sum;
}

/// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) noexcept;

/// The latest year a time of nanoseconds since 1970 reaches.
inline constexpr int64_t kLastYear = 2261;

/// Seconds with a fraction ("12.345678", at most 9 decimals used, more
/// ignored) as nanoseconds into `nanoseconds`; false, leaving it alone, for
/// anything else or beyond ±292 years. (A flag rather than an optional: the
/// result then comes back in a register, which the candump reader feels.)
bool NanosecondsOf(std::string_view text, int64_t& nanoseconds) noexcept;

}  // namespace ombrix::traces::detail
