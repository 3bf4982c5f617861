// Vector ASC: a header ("date ...", "base hex|dec  timestamps
// absolute|relative", "Begin Triggerblock DATE"), then one event a line,
// its time in seconds first. Frames are
//   TIME CH ID[x] Rx|Tx d DLC BYTES...          classic data
//   TIME CH ID[x] Rx|Tx r [DLC]                 classic remote
//   TIME CH ErrorFrame ...                      error frame
//   TIME CANFD CH Rx|Tx ID[x] [NAME] BRS ESI DLC LENGTH BYTES... ...
//   TIME CANFD CH Rx|Tx ErrorFrame ...
// with identifiers, classic length codes and bytes in the base the header
// names, and anything after the bytes ignored. Other events are passed over.
#include <array>
#include <cctype>
#include <charconv>
#include <string>

#include "formats/file_error.h"
#include "traces/readers_internal.h"

namespace ombrix::traces::detail {
namespace {

bool Same(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(a[k])) !=
        std::tolower(static_cast<unsigned char>(b[k]))) {
      return false;
    }
  }
  return true;
}

// "Tue Dec 08 09:00:31.123 am 2026" (weekday, am/pm and fraction optional;
// English or German month names), as nanoseconds since 1970 read as UTC.
std::optional<int64_t> DateOf(const std::vector<std::string_view>& words, size_t from) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  static constexpr std::array<std::pair<std::string_view, unsigned>, 5> kGerman = {
      {{"mär", 3}, {"mrz", 3}, {"mai", 5}, {"okt", 10}, {"dez", 12}}};
  unsigned month = 0;
  size_t k = from;
  for (; k < words.size() && month == 0; ++k) {
    for (unsigned m = 0; m < 12; ++m) {
      if (Same(words[k].substr(0, 3), kMonths[m])) month = m + 1;
    }
    for (const auto& [name, number] : kGerman) {
      if (words[k].size() >= name.size() && Same(words[k].substr(0, name.size()), name)) {
        month = number;
      }
    }
  }
  if (month == 0 || k + 2 > words.size()) return std::nullopt;
  unsigned day = 0;
  if (std::from_chars(words[k].data(), words[k].data() + words[k].size(), day).ec != std::errc{}) {
    return std::nullopt;
  }
  const std::string_view clock = words[k + 1];
  unsigned hour = 0, minute = 0;
  const auto colon = clock.find(':');
  const auto second_colon = clock.find(':', colon + 1);
  if (colon == std::string_view::npos || second_colon == std::string_view::npos)
    return std::nullopt;
  std::from_chars(clock.data(), clock.data() + colon, hour);
  std::from_chars(clock.data() + colon + 1, clock.data() + second_colon, minute);
  int64_t seconds = 0;
  if (!NanosecondsOf(clock.substr(second_colon + 1), seconds)) return std::nullopt;
  size_t next = k + 2;
  if (next < words.size() && (Same(words[next], "am") || Same(words[next], "pm"))) {
    hour = hour % 12 + (Same(words[next], "pm") ? 12 : 0);
    ++next;
  }
  int64_t year = 0;
  if (next >= words.size() ||
      std::from_chars(words[next].data(), words[next].data() + words[next].size(), year).ec !=
          std::errc{}) {
    return std::nullopt;
  }
  if (day < 1 || day > 31 || hour > 23 || minute > 59 || year < 1678 || year > kLastYear) {
    return std::nullopt;
  }
  return (DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60) * 1'000'000'000 +
         seconds;
}

class Asc final : public TextTraceReader {
 public:
  using TextTraceReader::TextTraceReader;

 private:
  std::optional<uint32_t> Number(std::string_view text, int base) const {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
  }

  // An identifier "1A3" or "1A3x" into the frame.
  bool Identifier(std::string_view text, Frame& frame) const {
    frame.Extended = !text.empty() && (text.back() == 'x' || text.back() == 'X');
    if (frame.Extended) text.remove_suffix(1);
    const auto id = Number(text, base_);
    if (!id || *id > (frame.Extended ? 0x1FFFFFFFu : 0x7FFu)) return false;
    frame.Id = *id;
    return true;
  }

  const char* Bytes(size_t from, size_t count, int base, Frame& frame) const {
    if (from + count > words_.size()) return "fewer data bytes than its length";
    for (size_t k = 0; k < count; ++k) {
      const auto byte = Number(words_[from + k], base);
      if (!byte || *byte > 255) return "a data byte is not a byte";
      frame.Data[k] = static_cast<uint8_t>(*byte);
    }
    frame.Length = static_cast<uint8_t>(count);
    return nullptr;
  }

  // Header lines change how later lines read; they hold no frame.
  bool Header() {
    const std::string_view first = words_[0];
    if (Same(first, "base") && words_.size() >= 2) {
      base_ = Same(words_[1], "dec") ? 10 : 16;
      relative_ = words_.size() >= 4 && Same(words_[3], "relative");
      return true;
    }
    if (Same(first, "date")) {
      if (auto date = DateOf(words_, 1)) start_ = *date;
      return true;
    }
    if (Same(first, "begin") && words_.size() >= 2 && Same(words_[1], "triggerblock")) {
      if (auto date = DateOf(words_, 2)) start_ = *date;
      last_ = 0;
      return true;
    }
    return false;
  }

  const char* Parse(std::string_view line, Frame& frame) override {
    SplitWords(line, words_);
    if (words_.empty() || words_[0].starts_with("//") || Header()) return "";
    int64_t offset = 0;
    if (!NanosecondsOf(words_[0], offset) || words_.size() < 3)
      return "";  // "End TriggerBlock" and other events
    frame = Frame();
    const auto last = relative_ ? Later(last_, offset) : std::optional<int64_t>(offset);
    const auto time = last ? Later(start_, *last) : std::nullopt;
    if (!time) return "a time beyond the year 2262";
    last_ = *last;
    frame.Time = *time;
    const bool fd = Same(words_[1], "CANFD");
    const size_t channel_at = fd ? 2 : 1;
    if (channel_at >= words_.size() || !Number(words_[channel_at], 10)) return "";
    const size_t at = channel_at + 1;
    const bool error = at < words_.size() && Same(words_[at], "ErrorFrame");
    const bool error_fd = fd && at + 1 < words_.size() && Same(words_[at + 1], "ErrorFrame");
    if (error || error_fd) {
      frame.Flags = kError | (fd ? kFd : 0);
      if (error_fd && Same(words_[at], "Tx")) frame.Flags |= kTransmitted;
      frame.Channel = ChannelIndex(words_[channel_at]);
      return nullptr;
    }
    if (fd) {
      // CH Rx|Tx ID [NAME] BRS ESI DLC LENGTH BYTES...
      if (at + 6 > words_.size()) return "a CAN FD line with too few fields";
      if (!Same(words_[at], "Rx") && !Same(words_[at], "Tx")) return "";
      if (Same(words_[at], "Tx")) frame.Flags |= kTransmitted;
      if (!Identifier(words_[at + 1], frame)) return "the identifier is not one";
      size_t k = at + 2;
      if (!(words_[k] == "0" || words_[k] == "1")) ++k;  // a symbolic name
      if (k + 4 > words_.size()) return "a CAN FD line with too few fields";
      frame.Flags |= kFd;
      if (words_[k] == "1") frame.Flags |= kBitRateSwitch;
      if (words_[k + 1] == "1") frame.Flags |= kErrorState;
      const auto code = Number(words_[k + 2], 16);
      const auto length = Number(words_[k + 3], 10);
      if (!code || *code > 15 || !length || *length > 64) return "a bad CAN FD length";
      frame.Channel = ChannelIndex(words_[channel_at]);
      // CAN FD has no remote frames: a length of 0 is a data frame of no bytes.
      return Bytes(k + 4, *length, base_, frame);
    }
    // CH ID Rx|Tx d|r DLC BYTES...
    if (at + 2 >= words_.size()) return "";
    if (!Same(words_[at + 1], "Rx") && !Same(words_[at + 1], "Tx")) return "";
    if (!Identifier(words_[at], frame)) return "the identifier is not one";
    if (Same(words_[at + 1], "Tx")) frame.Flags |= kTransmitted;
    frame.Channel = ChannelIndex(words_[channel_at]);
    const std::string_view kind = words_[at + 2];
    if (Same(kind, "r")) {
      frame.Flags |= kRemote;
      if (at + 3 < words_.size()) {
        const auto code = Number(words_[at + 3], base_);
        if (code && *code <= 15) frame.Length = static_cast<uint8_t>(std::min(8u, *code));
      }
      return nullptr;
    }
    if (!Same(kind, "d") || at + 3 >= words_.size()) return "neither data (d) nor remote (r)";
    const auto code = Number(words_[at + 3], base_);
    if (!code || *code > 15) return "a bad length code";
    return Bytes(at + 4, std::min(8u, *code), base_, frame);
  }

  std::vector<std::string_view> words_;
  int base_ = 16;
  bool relative_ = false;
  int64_t start_ = 0;
  int64_t last_ = 0;
};

}  // namespace

std::unique_ptr<TraceReader> AscReader(std::unique_ptr<LineSource> lines,
                                       const ReadOptions& options) {
  return std::make_unique<Asc>(std::move(lines), options);
}

}  // namespace ombrix::traces::detail
