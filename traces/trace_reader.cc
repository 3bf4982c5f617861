#include "traces/trace_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <limits>

#include "formats/file_error.h"
#include "ombrix/frame/decimal_pairs_internal.h"
#include "ombrix/frame/detail/allocation.h"
#include "traces/readers_internal.h"

namespace ombrix::traces {
namespace {

// The first few hundred bytes of a file tell candump's "(" from ASC's header.
std::optional<TraceFormat> FormatOfText(std::string_view start) {
  while (!start.empty() && std::isspace(static_cast<unsigned char>(start.front()))) {
    start.remove_prefix(1);
  }
  if (start.starts_with("(")) return TraceFormat::Candump;
  // candump's screen output: "can0  123   [4]  DE AD BE EF".
  const size_t bracket = start.find('[');
  if (bracket != std::string_view::npos && start.find(']', bracket) != std::string_view::npos &&
      start.find('#') == std::string_view::npos && !start.starts_with(";")) {
    return TraceFormat::Candump;
  }
  if (start.starts_with(";")) return TraceFormat::Trc;
  std::string lower(start.substr(0, 64));
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.starts_with("date") || lower.starts_with("base") || lower.starts_with("//") ||
      lower.starts_with("begin triggerblock")) {
    return TraceFormat::Asc;
  }
  return std::nullopt;
}

std::unique_ptr<TraceReader> ReaderOf(std::unique_ptr<detail::LineSource> lines, TraceFormat format,
                                      const ReadOptions& options) {
  switch (format) {
    case TraceFormat::Candump:
      return detail::CandumpReader(std::move(lines), options);
    case TraceFormat::Asc:
      return detail::AscReader(std::move(lines), options);
    case TraceFormat::Trc:
      return detail::TrcReader(std::move(lines), options);
    case TraceFormat::Blf:
      break;
  }
  throw formats::FileError(lines->Name(), 0, "BLF is read from a file or standard input only");
}

}  // namespace

uint8_t LengthCode(uint8_t bytes) noexcept {
  uint8_t code = 0;
  while (code < 15 && kFdLengths[code] < bytes) ++code;
  return code;
}

char* WriteSeconds(char* out, int64_t nanoseconds) noexcept {
  const bool negative = nanoseconds < 0;
  const uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(nanoseconds)
                                      : static_cast<uint64_t>(nanoseconds);
  // To the nearest microsecond, but never past what reads back into 64 bits.
  const uint64_t micro =
      std::min<uint64_t>((magnitude + 500) / 1000, std::numeric_limits<int64_t>::max() / 1000);
  if (negative) *out++ = '-';
  out = ombrix::detail::WriteDecimal(out, micro / 1000000);
  *out = '.';
  const auto fraction = static_cast<unsigned>(micro % 1000000);
  ombrix::detail::WritePair(out + 1, fraction / 10000);
  ombrix::detail::WritePair(out + 3, fraction / 100 % 100);
  ombrix::detail::WritePair(out + 5, fraction % 100);
  return out + 7;
}

void AppendSeconds(std::string& text, int64_t nanoseconds) {
  char digits[kSecondsTextMost];
  char* const end = WriteSeconds(digits, nanoseconds);
  ombrix::detail::OrOutOfMemory([&] { text.append(digits, end); });
}

std::string SecondsText(int64_t nanoseconds) {
  std::string text;
  AppendSeconds(text, nanoseconds);
  return text;
}

uint16_t TraceReader::ChannelIndex(std::string_view name) {
  for (size_t k = 0; k < channels_.size(); ++k) {
    if (channels_[k] == name) return static_cast<uint16_t>(k);
  }
  if (channels_.size() >= 0xFFFF) return 0xFFFF;
  channels_.emplace_back(name);
  return static_cast<uint16_t>(channels_.size() - 1);
}

void TraceReader::Skip(uint64_t line, std::string message) {
  ++skipped_count_;
  if (skipped_.size() < 20) skipped_.push_back({line, std::move(message)});
}

std::optional<TraceFormat> FormatOfName(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "log" || extension == "candump") return TraceFormat::Candump;
  if (extension == "asc") return TraceFormat::Asc;
  if (extension == "blf") return TraceFormat::Blf;
  if (extension == "trc") return TraceFormat::Trc;
  return std::nullopt;
}

namespace {

// A reader of `lines` in `format`, or in the format their first line shows.
std::unique_ptr<TraceReader> Reader(std::unique_ptr<detail::LineSource> lines,
                                    std::optional<TraceFormat> format, const ReadOptions& options) {
  if (!format) {
    // Blank lines before the first one that tells are passed over.
    std::string_view first;
    bool any = lines->Next(first);
    while (any && first.find_first_not_of(" \t") == std::string_view::npos)
      any = lines->Next(first);
    format = FormatOfText(any ? first : std::string_view());
    if (!format) {
      throw formats::FileError(lines->Name(), 0,
                               "not a trace this program reads (candump log, ASC, BLF or TRC)");
    }
    if (any) lines->PutBack();
  }
  return ReaderOf(std::move(lines), *format, options);
}

}  // namespace

std::unique_ptr<TraceReader> OpenTrace(const std::string& path, std::optional<TraceFormat> format,
                                       const ReadOptions& options) {
  if (!format && path != "-") format = FormatOfName(path);
  if (!format && path != "-") {
    // A binary log shows itself by its first bytes.
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    if (file.read(magic, 4) && std::string_view(magic, 4) == "LOGG") format = TraceFormat::Blf;
  }
  return ombrix::detail::OrOutOfMemory([&] {
    if (format == TraceFormat::Blf) return detail::BlfReader(path, options);
    return Reader(std::make_unique<detail::LineSource>(path), format, options);
  });
}

std::unique_ptr<TraceReader> ReadTrace(std::istream& stream, const std::string& name,
                                       std::optional<TraceFormat> format,
                                       const ReadOptions& options) {
  return ombrix::detail::OrOutOfMemory(
      [&] { return Reader(std::make_unique<detail::LineSource>(stream, name), format, options); });
}

std::unique_ptr<TraceReader> ReadTraceText(std::string text, TraceFormat format,
                                           const ReadOptions& options, const std::string& name) {
  return ombrix::detail::OrOutOfMemory([&] {
    return ReaderOf(std::make_unique<detail::LineSource>(std::move(text), name), format, options);
  });
}

namespace detail {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) noexcept {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool TextTraceReader::Next(Frame& frame) {
  return ombrix::detail::OrOutOfMemory([&] {
    std::string_view line;
    while (lines_->Next(line)) {
      const char* problem = Parse(line, frame);
      if (problem == nullptr) return true;
      if (*problem == '\0') {
        PassOver();
        continue;
      }
      if (options_.Strict) {
        throw formats::FileError(lines_->Name(), static_cast<int>(lines_->LineNumber()), problem);
      }
      Skip(lines_->LineNumber(), problem);
    }
    return false;
  });
}

void SplitWords(std::string_view line, std::vector<std::string_view>& words) {
  words.clear();
  size_t k = 0;
  while (k < line.size()) {
    while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) ++k;
    const size_t from = k;
    while (k < line.size() && line[k] != ' ' && line[k] != '\t') ++k;
    if (k > from) words.push_back(line.substr(from, k - from));
  }
}

namespace {

constexpr uint64_t kZeroDigits = 0x3030303030303030u;  // "00000000"

// Eight decimal digits in a 64-bit word (the first in the lowest byte) as
// a number, or -1 when one is not a digit: pairs, then quads, then the whole.
[[gnu::always_inline]] inline int64_t EightDigits(uint64_t word) noexcept {
  // Each byte 0x30..0x3F, and adding 6 (which then carries into no other
  // byte) leaves it below 0x40: '0' to '9'.
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
  if ((word & kHigh) != kZeroDigits || ((word + 0x0606060606060606u) & kHigh) != kZeroDigits) {
    return -1;
  }
  const uint64_t low = word - kZeroDigits;  // each digit's value
  uint64_t value = (low * 10 + (low >> 8)) & 0x00FF00FF00FF00FFu;
  value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFFu;
  value = (value * 10000 + (value >> 32)) & 0xFFFFFFFFu;
  return static_cast<int64_t>(value);
}

uint64_t Load8(const char* text) noexcept {
  uint64_t word = 0;
  std::memcpy(&word, text, 8);
  return word;  // little-endian: text[0] is the lowest byte
}

// 10^(9 - k): what k decimals are worth in nanoseconds.
constexpr int64_t kScale[10] = {1'000'000'000, 100'000'000, 10'000'000, 1'000'000, 100'000,
                                10'000,        1'000,       100,        10,        1};

// The `count` (1 to 8) digits just before `end` (with at least eight bytes
// of the text before it), followed by as many '0's as make eight: decimals
// in units of 10 ns; -1 unless all are digits.
int64_t DecimalsBefore(const char* end, size_t count) noexcept {
  const auto shift = static_cast<unsigned>(8 * (8 - count));
  const uint64_t after = shift == 0 ? 0 : kZeroDigits << (64 - shift);
  return EightDigits(Load8(end - 8) >> shift | after);
}

// A time of 8 to 16 whole digits and at most 8 decimals (a log's times:
// "1700000000.123456"), its first eight digits and its decimals each read
// as one word; false for any other text, which the plain reading then takes
// or refuses.
bool ReadByWords(std::string_view text, int64_t& nanoseconds) noexcept {
  const size_t size = text.size();
  if (size < 8) return false;
  int64_t seconds = EightDigits(Load8(text.data()));
  if (seconds < 0) return false;
  size_t k = 8;
  for (; k < size && k < 16; ++k) {  // up to eight whole digits more, one by one
    const auto digit = static_cast<unsigned>(text[k] - '0');
    if (digit > 9) break;
    seconds = seconds * 10 + digit;
  }
  if (k < size && text[k] != '.') return false;
  const size_t decimals = k < size ? size - k - 1 : 0;
  if (decimals > 8) return false;
  const int64_t fraction = decimals == 0 ? 0 : DecimalsBefore(text.data() + size, decimals);
  return fraction >= 0 && seconds <= std::numeric_limits<int64_t>::max() / 1'000'000'000 &&
         !__builtin_add_overflow(seconds * 1'000'000'000, fraction * 10, &nanoseconds);
}

}  // namespace

bool NanosecondsOf(std::string_view text, int64_t& nanoseconds) noexcept {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t total = 0;
  if (!ReadByWords(text, total)) {
    // Digit by digit: the first nine decimals count, the others must be digits.
    size_t k = 0;
    int64_t seconds = 0;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
      seconds = seconds * 10 + (text[k] - '0');
      // Beyond this, nanoseconds no longer fit 64 bits.
      if (seconds > std::numeric_limits<int64_t>::max() / 1'000'000'000) return false;
    }
    if (k == 0) return false;
    int64_t fraction = 0;
    if (k < text.size()) {
      if (text[k++] != '.') return false;
      size_t counted = 0;
      for (; k < text.size(); ++k) {
        const auto digit = static_cast<unsigned>(text[k] - '0');
        if (digit > 9) return false;
        if (counted < 9) {
          fraction = fraction * 10 + digit;
          ++counted;
        }
      }
      fraction *= kScale[counted];
    }
    if (__builtin_add_overflow(seconds * 1'000'000'000, fraction, &total)) return false;
  }
  nanoseconds = negative ? -total : total;
  return true;
}

}  // namespace detail
}  // namespace ombrix::traces
