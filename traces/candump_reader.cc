// candump's log: "(SECONDS.FRACTION) INTERFACE ID#DATA", one frame a line.
// ID is 3 hexadecimal digits (standard) or 8 (extended; bit 29 marks an
// error frame); "#R" with an optional length is a remote frame; "##F" starts
// CAN FD data with its flags digit F (1 bit rate switch, 2 error state);
// data bytes may be split by '.', and a classic frame may end in "_L", its
// length code beyond 8. A last " R" or " T" tells received from sent.
// candump's screen output is read too: "[(TIME)] INTERFACE ID [LENGTH]
// BYTES..." (or "remote request"), a two-digit length for CAN FD, an error
// frame's line ending in "ERRORFRAME", and an ASCII column in quotes.
#include <algorithm>
#include <cstring>

#include "formats/file_error.h"
#include "ombrix/bytes/hex_text_internal.h"
#include "traces/readers_internal.h"

namespace ombrix::traces::detail {
namespace {

constexpr uint32_t kErrorFlag = 0x20000000;

class Candump final : public TextTraceReader {
 public:
  using TextTraceReader::TextTraceReader;

 private:
  const char* Parse(std::string_view line, Frame& frame) override {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p == end || *p == '#') return "";
    if (*p != '(') {
      if (LogShaped(p, end)) return "a frame starts with its time in parentheses";
      return Screen(p, end, 0, frame);
    }
    const char* close = static_cast<const char*>(std::memchr(p, ')', static_cast<size_t>(end - p)));
    if (close == nullptr) return "the time has no closing parenthesis";
    int64_t time = 0;
    if (!NanosecondsOf(std::string_view(p + 1, static_cast<size_t>(close - p - 1)), time))
      return "the time is not a number of seconds";
    p = close + 1;
    if (p == end || *p != ' ') return "no interface after the time";
    while (p < end && *p == ' ') ++p;
    // Read as a log line (the usual case) until the '#'; a line that fails
    // before it is the screen output's when none of its first words has a '#'.
    const char* const after_time = p;
    const auto not_log = [&](const char* problem) {
      return LogShaped(after_time, end) ? problem : Screen(after_time, end, time, frame);
    };
    const char* name = p;
    while (p < end && *p != ' ' && *p != '\t') ++p;
    if (p == name || p == end) return not_log("no frame after the interface");
    const std::string_view channel(name, static_cast<size_t>(p - name));
    while (p < end && (*p == ' ' || *p == '\t')) ++p;

    // The identifier, up to '#'.
    uint32_t id = 0;
    const char* digits = p;
    for (; p < end && *p != '#'; ++p) {
      const int digit = HexDigit(*p);
      if (digit < 0 || p - digits >= 8)
        return not_log("the identifier is not 3 or 8 hexadecimal digits");
      id = id << 4 | static_cast<uint32_t>(digit);
    }
    const auto id_digits = p - digits;
    if (p == end) return not_log("no '#' after the identifier");
    if (id_digits != 3 && id_digits != 8) return "the identifier is not 3 or 8 hexadecimal digits";
    // The data bytes beyond Length are not cleared: nothing reads them.
    frame.Flags = 0;
    frame.Length = 0;
    frame.Time = time;
    frame.Extended = id_digits == 8;
    if (!frame.Extended && id > 0x7FF) return "a standard identifier is above 7FF";
    if (frame.Extended && (id & kErrorFlag) != 0) {
      frame.Flags |= kError;
      frame.Extended = false;
    }
    frame.Id = id & 0x1FFFFFFF;
    ++p;  // the '#'

    size_t most = 8;
    if (p < end && *p == '#') {
      if (p + 1 >= end) return "no flags digit after '##'";
      const int flags = HexDigit(p[1]);
      if (flags < 0) return "the CAN FD flags are not a hexadecimal digit";
      frame.Flags |= kFd;
      if ((flags & 1) != 0) frame.Flags |= kBitRateSwitch;
      if ((flags & 2) != 0) frame.Flags |= kErrorState;
      most = 64;
      p += 2;
    } else if (p < end && (*p == 'R' || *p == 'r')) {
      frame.Flags |= kRemote;
      ++p;
      if (p < end && *p >= '0' && *p <= '8') frame.Length = static_cast<uint8_t>(*p++ - '0');
      return Direction(p, end, channel, frame);
    }
    // The data: pairs of hexadecimal digits, perhaps split by dots. The
    // pairs up to the first other character are decoded in one step.
    size_t length = ombrix::detail::DecodeHex(p, std::min(static_cast<size_t>(end - p) / 2, most),
                                              frame.Data.data());
    p += 2 * length;
    while (p < end && *p != ' ' && *p != '\t' && *p != '_') {
      if (*p == '.') {
        ++p;
        continue;
      }
      if (p + 1 >= end) return "the data ends in half a byte";
      const int high = HexDigit(p[0]);
      const int low = HexDigit(p[1]);
      if ((high | low) < 0) return "the data is not hexadecimal";
      if (length == most)
        return most == 8 ? "more than 8 bytes of classic data" : "more than 64 bytes of data";
      frame.Data[length++] = static_cast<uint8_t>(high << 4 | low);
      p += 2;
    }
    // CAN FD lengths beyond 8 come in steps (12, 16, ... 64); like can-utils,
    // any length up to 64 is taken as given.
    frame.Length = static_cast<uint8_t>(length);
    if (p < end && *p == '_') {
      // A classic frame's length code above 8: the data is 8 bytes all the same.
      if (p + 1 >= end || HexDigit(p[1]) < 9 || length != 8) return "a bad length code after '_'";
      p += 2;
    }
    return Direction(p, end, channel, frame);
  }

  // Whether one of the first three words from `p` is a log line's ID#DATA
  // (the screen output's ASCII column may hold '#' too, further on).
  static bool LogShaped(const char* p, const char* end) noexcept {
    for (int word = 0; word < 3; ++word) {
      while (p < end && (*p == ' ' || *p == '\t')) ++p;
      while (p < end && *p != ' ' && *p != '\t') {
        if (*p++ == '#') return true;
      }
    }
    return false;
  }

  // "INTERFACE ID [LENGTH] BYTES... ['ASCII']", "... remote request" or
  // "... ERRORFRAME", from `p` on, at `time`.
  const char* Screen(const char* p, const char* end, int64_t time, Frame& frame) {
    const auto word = [&]() {
      while (p < end && (*p == ' ' || *p == '\t')) ++p;
      const char* from = p;
      while (p < end && *p != ' ' && *p != '\t') ++p;
      return std::string_view(from, static_cast<size_t>(p - from));
    };
    const std::string_view channel = word();
    const std::string_view id_text = word();
    const std::string_view length_text = word();
    if (channel.empty() || id_text.empty()) return "no frame after the interface";
    if (length_text.size() < 3 || length_text.front() != '[' || length_text.back() != ']') {
      return "neither ID#DATA nor ID [LENGTH] DATA after the interface";
    }
    frame.Flags = 0;
    frame.Length = 0;
    frame.Time = time;
    if (id_text.size() != 3 && id_text.size() != 8) {
      return "the identifier is not 3 or 8 hexadecimal digits";
    }
    uint32_t id = 0;
    for (const char c : id_text) {
      const int digit = HexDigit(c);
      if (digit < 0) return "the identifier is not 3 or 8 hexadecimal digits";
      id = id << 4 | static_cast<uint32_t>(digit);
    }
    frame.Extended = id_text.size() == 8;
    if (!frame.Extended && id > 0x7FF) return "a standard identifier is above 7FF";
    if (frame.Extended && (id & kErrorFlag) != 0) {
      frame.Flags |= kError;
      frame.Extended = false;
    }
    frame.Id = id & 0x1FFFFFFF;
    const std::string_view digits = length_text.substr(1, length_text.size() - 2);
    unsigned length = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return "the length is not a number";
      length = length * 10 + static_cast<unsigned>(c - '0');
    }
    // Two digits are CAN FD's.
    if (digits.size() == 2) frame.Flags |= kFd;
    if (length > ((frame.Flags & kFd) != 0 ? 64u : 8u)) return "a length beyond the frame's kind";
    const char* rest = p;
    if (word() == "remote") {
      frame.Flags |= kRemote;
      frame.Length = static_cast<uint8_t>(length);
      return Channel(channel, frame);
    }
    p = rest;
    for (unsigned k = 0; k < length; ++k) {
      const std::string_view byte = word();
      if (byte.size() != 2 || HexDigit(byte[0]) < 0 || HexDigit(byte[1]) < 0) {
        return "fewer data bytes than its length";
      }
      frame.Data[k] = static_cast<uint8_t>(HexDigit(byte[0]) << 4 | HexDigit(byte[1]));
    }
    frame.Length = static_cast<uint8_t>(length);
    // What may follow: ERRORFRAME, an ASCII column in quotes.
    const std::string_view after = word();
    if (!after.empty() && after != "ERRORFRAME" && after.front() != '\'') {
      return "unexpected text after the frame";
    }
    return Channel(channel, frame);
  }

  // The end of the line: nothing, or " R" / " T"; then the channel.
  const char* Direction(const char* p, const char* end, std::string_view channel, Frame& frame) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end) {
      if (end - p != 1 || (*p != 'R' && *p != 'T' && *p != 'r' && *p != 't')) {
        return "unexpected text after the frame";
      }
      if (*p == 'T' || *p == 't') frame.Flags |= kTransmitted;
    }
    return Channel(channel, frame);
  }

  const char* Channel(std::string_view channel, Frame& frame) {
    // Traces use few channels, one after the other: the last one first.
    if (channel != last_channel_ || Channels().empty()) {
      last_index_ = ChannelIndex(channel);
      last_channel_.assign(channel);
    }
    frame.Channel = last_index_;
    return nullptr;
  }

  std::string last_channel_;
  uint16_t last_index_ = 0;
};

}  // namespace

std::unique_ptr<TraceReader> CandumpReader(std::unique_ptr<LineSource> lines,
                                           const ReadOptions& options) {
  return std::make_unique<Candump>(std::move(lines), options);
}

}  // namespace ombrix::traces::detail
