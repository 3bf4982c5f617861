// PEAK TRC text, versions 1.0, 1.1, 2.0 and 2.1. Comment lines start with
// ';'; in version 2 they carry ";$FILEVERSION=2.1", ";$STARTTIME=" (an OLE
// date: days since 30 December 1899, the fraction the time of day) and
// ";$COLUMNS=N,O,T,B,I,d,R,L,D" (number, offset in ms, type, bus,
// identifier, direction, reserved, length code, data). Version 1 lines are
// "N) OFFSET [Rx|Tx] ID LENGTH DATA..." on one bus. Identifiers of more
// than 4 hexadecimal digits are extended. Types: DT data, FD / FB / FE / BI
// CAN FD data (with bit rate switch, error state, both), RR remote request,
// ER error frame; status and event lines are passed over.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "formats/file_error.h"
#include "traces/readers_internal.h"

namespace ombrix::traces::detail {
namespace {

class Trc final : public TextTraceReader {
 public:
  using TextTraceReader::TextTraceReader;

 private:
  void Header(std::string_view line) {
    const auto value = [&](std::string_view key) -> std::optional<std::string_view> {
      const size_t at = line.find(key);
      if (at == std::string_view::npos) return std::nullopt;
      std::string_view rest = line.substr(at + key.size());
      while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
      return rest;
    };
    if (auto version = value("$FILEVERSION=")) {
      version_ = std::string(*version);
      if (version_ == "2.0") columns_ = "NOTIdLD";
    } else if (auto start = value("$STARTTIME=")) {
      // Days since 30 December 1899 (25569 days before 1970), fraction of a day.
      double days = 0;
      const auto [end, error] = std::from_chars(start->data(), start->data() + start->size(), days);
      const double nanoseconds = (days - 25569.0) * 86400.0 * 1e9;
      if (error == std::errc{} && std::abs(nanoseconds) < 9e18) {
        start_ = static_cast<int64_t>(nanoseconds);
      }
    } else if (auto columns = value("$COLUMNS=")) {
      columns_.clear();
      for (const char c : *columns) {
        if (c != ',') columns_ += c;
      }
    }
  }

  const char* Parse(std::string_view line, Frame& frame) override {
    SplitWords(line, words_);
    if (words_.empty()) return "";
    if (words_[0].starts_with(";")) {
      Header(line);
      return "";
    }
    frame.Flags = 0;
    frame.Length = 0;
    return version_.starts_with("2") ? Version2(frame) : Version1(frame);
  }

  static std::optional<uint32_t> Hex(std::string_view text) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
  }

  bool Time(std::string_view milliseconds, Frame& frame) const {
    double offset = 0;
    const auto [end, error] =
        std::from_chars(milliseconds.data(), milliseconds.data() + milliseconds.size(), offset);
    if (error != std::errc{} || end != milliseconds.data() + milliseconds.size()) return false;
    // Within what 64 bits of nanoseconds hold, from the start.
    const double nanoseconds = offset * 1e6 + (offset < 0 ? -0.5 : 0.5);
    if (!(std::abs(nanoseconds) < 9e18)) return false;
    const auto time = Later(start_, static_cast<int64_t>(nanoseconds));
    if (!time) return false;
    frame.Time = *time;
    return true;
  }

  const char* Identifier(std::string_view text, Frame& frame) const {
    const auto id = Hex(text);
    frame.Extended = text.size() > 4;
    if (!id || *id > (frame.Extended ? 0x1FFFFFFFu : 0x7FFu)) return "the identifier is not one";
    frame.Id = *id;
    return nullptr;
  }

  const char* Data(size_t from, size_t count, Frame& frame) const {
    if (count > 64) return "more than 64 bytes of data";
    if (from + count > words_.size()) return "fewer data bytes than its length";
    for (size_t k = 0; k < count; ++k) {
      const auto byte = Hex(words_[from + k]);
      if (!byte || *byte > 255) return "a data byte is not a byte";
      frame.Data[k] = static_cast<uint8_t>(*byte);
    }
    frame.Length = static_cast<uint8_t>(count);
    return nullptr;
  }

  // "N) OFFSET [Rx|Tx] ID LENGTH DATA..."
  const char* Version1(Frame& frame) {
    if (words_.size() < 4 || !words_[0].ends_with(")")) return "not a numbered message line";
    if (!Time(words_[1], frame))
      return "the time offset is not a number of milliseconds (to the year 2262)";
    size_t at = 2;
    if (words_[at] == "Rx" || words_[at] == "Tx") {
      if (words_[at] == "Tx") frame.Flags |= kTransmitted;
      ++at;
    }
    if (at + 1 >= words_.size()) return "no length after the identifier";
    if (Hex(words_[at]) == 0xFFFFFFFFu) return "";  // a bus status line
    if (const char* problem = Identifier(words_[at], frame)) return problem;
    frame.Channel = ChannelIndex("1");
    if (words_[at + 1] == "RTR") {
      frame.Flags |= kRemote;
      return nullptr;
    }
    const auto length = Hex(words_[at + 1]);
    if (!length || *length > 8) return "a bad length";
    return Data(at + 2, *length, frame);
  }

  const char* Version2(Frame& frame) {
    std::string_view type = "DT", bus = "1", id, direction = "Rx", code;
    size_t data = 0;
    for (size_t c = 0; c < columns_.size() && c < words_.size(); ++c) {
      switch (columns_[c]) {
        case 'O':
          if (!Time(words_[c], frame))
            return "the time offset is not a number of milliseconds (to the year 2262)";
          break;
        case 'T':
          type = words_[c];
          break;
        case 'B':
          bus = words_[c];
          break;
        case 'I':
          id = words_[c];
          break;
        case 'd':
          direction = words_[c];
          break;
        case 'L':
        case 'l':
          code = words_[c];
          break;
        case 'D':
          data = c;
          break;
        default:
          break;
      }
    }
    if (type == "ER") {
      frame.Flags = kError;
      frame.Id = 0;
      frame.Extended = false;
      frame.Channel = ChannelIndex(bus);
      return nullptr;
    }
    const bool fd = type == "FD" || type == "FB" || type == "FE" || type == "BI";
    if (type != "DT" && type != "RR" && !fd) return "";  // status, error counters, events
    if (id.empty() || code.empty()) return "a message line without identifier or length";
    if (const char* problem = Identifier(id, frame)) return problem;
    if (direction == "Tx") frame.Flags |= kTransmitted;
    frame.Channel = ChannelIndex(bus);
    const auto length_code = Hex(code);
    if (!length_code || *length_code > 15) return "a bad length code";
    if (type == "RR") {
      frame.Flags |= kRemote;
      frame.Length = static_cast<uint8_t>(std::min(8u, *length_code));
      return nullptr;
    }
    if (fd) {
      frame.Flags |= kFd;
      if (type == "FB" || type == "BI") frame.Flags |= kBitRateSwitch;
      if (type == "FE" || type == "BI") frame.Flags |= kErrorState;
    }
    const size_t length = fd ? kFdLengths[*length_code] : std::min(8u, *length_code);
    if (data == 0) data = words_.size();  // no data column: data after the last column
    return Data(data, length, frame);
  }

  std::vector<std::string_view> words_;
  std::string version_ = "1.0";
  std::string columns_ = "NOTBIdRLD";
  int64_t start_ = 0;
};

}  // namespace

std::unique_ptr<TraceReader> TrcReader(std::unique_ptr<LineSource> lines,
                                       const ReadOptions& options) {
  return std::make_unique<Trc>(std::move(lines), options);
}

}  // namespace ombrix::traces::detail
