#include "traces/trace_writer.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "ombrix/frame/detail/allocation.h"

namespace ombrix::traces {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Text gathered and handed on in pieces of about 64 KiB.
class Buffered : public TraceWriter {
 public:
  explicit Buffered(TraceSink sink) : sink_(std::move(sink)) { text_.reserve(kPiece + 512); }

  void Write(const Frame& frame, const std::vector<std::string>& channels) final {
    ombrix::detail::OrOutOfMemory([&] { Put(frame, channels); });
  }
  void Finish() final {
    ombrix::detail::OrOutOfMemory([&] { End(); });
  }

 protected:
  // The frame's text; what ends the trace.
  virtual void Put(const Frame& frame, const std::vector<std::string>& channels) = 0;
  virtual void End() = 0;

  void Flush(bool all) {
    if (!text_.empty() && (all || text_.size() >= kPiece)) {
      sink_(text_);
      text_.clear();
    }
  }
  void Hex(uint32_t value, int digits) {
    for (int k = digits - 1; k >= 0; --k) text_ += kHex[(value >> (4 * k)) & 15];
  }
  void Byte(uint8_t byte) {
    text_ += kHex[byte >> 4];
    text_ += kHex[byte & 15];
  }
  std::string text_;

 private:
  static constexpr size_t kPiece = size_t{1} << 16;
  TraceSink sink_;
};

bool IsNumber(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size();
}

class CandumpWriter final : public Buffered {
 public:
  using Buffered::Buffered;

  void Put(const Frame& frame, const std::vector<std::string>& channels) override {
    text_ += '(';
    text_ += SecondsText(frame.Time);
    text_ += ") ";
    const std::string& name = frame.Channel < channels.size() ? channels[frame.Channel] : kNone;
    if (IsNumber(name) && name != "0") {
      text_ += "can" + std::to_string(std::stoul(name) - 1);  // ASC counts from 1
    } else {
      text_ += name.empty() ? std::string("can0") : name;
    }
    text_ += ' ';
    if (frame.Has(kError)) {
      // An error frame of no known class (ASC tells none) is a bus error.
      Hex(0x20000000u | (frame.Id != 0 ? frame.Id : 0x80u), 8);
    } else {
      Hex(frame.Id, frame.Extended ? 8 : 3);
    }
    text_ += '#';
    if (frame.Has(kRemote) && !frame.Has(kFd)) {
      text_ += 'R';
      if (frame.Length > 0) text_ += static_cast<char>('0' + std::min<int>(frame.Length, 8));
    } else {
      if (frame.Has(kFd)) {
        text_ += '#';
        text_ += kHex[(frame.Has(kBitRateSwitch) ? 1 : 0) | (frame.Has(kErrorState) ? 2 : 0)];
      }
      for (const uint8_t byte : frame.Bytes()) Byte(byte);
    }
    // The direction, as candump and python-can write it; error frames have none.
    if (!frame.Has(kError)) text_ += frame.Has(kTransmitted) ? " T" : " R";
    text_ += '\n';
    Flush(false);
  }

  void End() override { Flush(true); }

 private:
  inline static const std::string kNone;
};

class AscWriter final : public Buffered {
 public:
  using Buffered::Buffered;

  void Put(const Frame& frame, const std::vector<std::string>& channels) override {
    if (!started_) Start(frame.Time);
    Time(frame.Time - start_);
    const uint32_t channel = Number(frame.Channel, channels);
    const std::string id = IdText(frame);
    if (frame.Has(kFd)) {
      text_ += "CANFD " + Padded(std::to_string(channel), 3) + " " + Direction(frame) + " ";
      if (frame.Has(kError)) {
        text_ += "ErrorFrame\n";
      } else {
        text_ += Padded(id, 8) + " " + (frame.Has(kBitRateSwitch) ? "1" : "0") + " " +
                 (frame.Has(kErrorState) ? "1" : "0") + " ";
        text_ += kHex[LengthCode(frame.Length)];
        const size_t length = frame.Has(kRemote) ? 0 : frame.Length;
        text_ += " " + Padded(std::to_string(length), 2);
        for (const uint8_t byte : frame.Bytes()) {
          text_ += ' ';
          Byte(byte);
        }
        // Duration, bit count, flags (bit 12 FD, 13 bit rate switch, 14 error state), CRC
        // and bit timings: readers take the switch and the state from the flags too.
        const uint32_t flags = 0x1000u | (frame.Has(kBitRateSwitch) ? 0x2000u : 0u) |
                               (frame.Has(kErrorState) ? 0x4000u : 0u);
        text_ += "        0    0 ";
        std::string hex;
        for (int k = 3; k >= 0; --k) hex += kHex[(flags >> (4 * k)) & 15];
        text_ += Padded(hex, 8) + "        0        0        0        0        0\n";
      }
    } else if (frame.Has(kError)) {
      text_ += std::to_string(channel) + "  ErrorFrame\n";
    } else {
      text_ += std::to_string(channel) + "  " + id;
      text_ += std::string(id.size() < 15 ? 15 - id.size() : 1, ' ');
      text_ += " " + Direction(frame) + "   ";
      text_ += frame.Has(kRemote) ? "r " : "d ";
      text_ += kHex[std::min<int>(frame.Length, 15)];
      for (const uint8_t byte : frame.Bytes()) {
        text_ += ' ';
        Byte(byte);
      }
      text_ += '\n';
    }
    Flush(false);
  }

  void End() override {
    if (!started_) Start(0);
    text_ += "End TriggerBlock\n";
    Flush(true);
  }

 private:
  static std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
  }
  static std::string Direction(const Frame& frame) { return frame.Has(kTransmitted) ? "Tx" : "Rx"; }
  static std::string IdText(const Frame& frame) {
    char digits[9];
    const auto [end, error] = std::to_chars(digits, digits + 9, frame.Id, 16);
    std::string text(digits, end);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return frame.Extended ? text + "x" : text;
  }

  // ASC channels are numbers from 1.
  uint32_t Number(uint16_t channel, const std::vector<std::string>& channels) {
    const std::string& name = channel < channels.size() ? channels[channel] : std::string();
    if (IsNumber(name) && name != "0") return static_cast<uint32_t>(std::stoul(name));
    if (name.size() > 3 && name.starts_with("can") && IsNumber(name.substr(3))) {
      return static_cast<uint32_t>(std::stoul(name.substr(3))) + 1;
    }
    for (size_t k = 0; k < others_.size(); ++k) {
      if (others_[k] == name) return static_cast<uint32_t>(k + 1);
    }
    others_.push_back(name);
    return static_cast<uint32_t>(others_.size());
  }

  void Time(int64_t nanoseconds) {
    std::string seconds = SecondsText(nanoseconds);
    text_ += Padded(seconds, 11) + " ";
  }

  void Start(int64_t time) {
    started_ = true;
    start_ = time;
    const std::string date = DateText(time);
    text_ += "date " + date + "\n";
    text_ += "base hex  timestamps absolute\n";
    text_ += "internal events logged\n";
    text_ += "// version 9.0.0\n";
    text_ += "Begin Triggerblock " + date + "\n";
    text_ += Padded("0.000000", 11) + " Start of measurement\n";
  }

  // "Tue Dec 08 09:00:31.123 am 2026", in UTC.
  static std::string DateText(int64_t nanoseconds) {
    const std::time_t seconds =
        static_cast<std::time_t>(nanoseconds / 1'000'000'000 -
                                 (nanoseconds < 0 && nanoseconds % 1'000'000'000 != 0 ? 1 : 0));
    const auto millis = static_cast<int>(((nanoseconds % 1'000'000'000) + 1'000'000'000) %
                                         1'000'000'000 / 1'000'000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    char hours[16];
    std::strftime(hours, sizeof hours, "%I:%M:%S", &parts);
    char start[16];
    std::strftime(start, sizeof start, "%a %b %d", &parts);
    std::snprintf(text, sizeof text, "%s %s.%03d %s %d", start, hours, millis,
                  parts.tm_hour < 12 ? "am" : "pm", parts.tm_year + 1900);
    return text;
  }

  bool started_ = false;
  int64_t start_ = 0;
  std::vector<std::string> others_;
};

}  // namespace

std::unique_ptr<TraceWriter> MakeTraceWriter(TraceFormat format, TraceSink sink) {
  switch (format) {
    case TraceFormat::Candump:
      return std::make_unique<CandumpWriter>(std::move(sink));
    case TraceFormat::Asc:
      return std::make_unique<AscWriter>(std::move(sink));
    case TraceFormat::Blf:
    case TraceFormat::Trc:
      break;
  }
  return nullptr;
}

}  // namespace ombrix::traces
