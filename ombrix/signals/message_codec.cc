#include "ombrix/signals/message_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/shortest_number_internal.h"
#include "ombrix/signals/signal_layout.h"
#include "ombrix/signals/word_decoder_internal.h"

namespace ombrix::signals {
namespace {

__extension__ using Wide = unsigned __int128;

// Frames are copied into this much room, zeros after their bytes, so that
// every step loads nine bytes without a bounds test.
constexpr size_t kRoom = 64 + 16;

uint64_t LowBits(uint32_t length) {
  return length >= 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
}

const std::string* TextOf(const Signal& signal, double raw) {
  for (const auto& [value, text] : signal.Values) {
    if (static_cast<double>(value) == raw) return &text;
  }
  return nullptr;
}

}  // namespace

MessageCodec::MessageCodec(const Message& message) : message_(&message) {
  detail::OrOutOfMemory([&] { steps_.reserve(message.Signals.size()); });
  for (const Signal& signal : message.Signals) {
    Step step;
    step.mask = LowBits(signal.Length);
    if (signal.Length < 1 || signal.Length > 64) {
      step.end = std::numeric_limits<uint32_t>::max();  // never in a frame
    } else if (signal.Order == ByteOrder::Intel) {
      step.first = signal.StartBit / 8;
      step.shift = signal.StartBit % 8;
      step.wide = step.shift + signal.Length > 64;
      step.word_shift = signal.StartBit;
      step.end = static_cast<uint32_t>((uint64_t{signal.StartBit} + signal.Length + 7) / 8);
    } else {
      const uint32_t from_msb = MotorolaSkippedBits(signal.StartBit);
      step.first = from_msb / 8;
      step.motorola = true;
      // Nine bytes hold 72 bits, the signal's last one (72 - 1 - shift) from their top.
      step.shift = 72 - from_msb % 8 - signal.Length;
      step.wide = true;
      step.word_shift = 64 - from_msb - signal.Length;  // used only within the first word
      step.end = static_cast<uint32_t>((uint64_t{from_msb} + signal.Length + 7) / 8);
    }
    if (step.end > 64) step.end = std::numeric_limits<uint32_t>::max();
    step.multiplexed = signal.MultiplexValue.has_value() || !signal.MultiplexSwitch.empty();
    step.type = signal.Type;
    if (signal.Type == ValueType::Integer && signal.Signed && signal.Length < 64) {
      step.sign_shift = static_cast<uint8_t>(64 - signal.Length);
    }
    step.plain = signal.Type == ValueType::Integer && (signal.Signed || signal.Length < 64);
    step.factor = signal.Factor;
    step.offset = signal.Offset;
    multiplexed_ = multiplexed_ || step.multiplexed;
    if (step.end <= 64) reach_ = std::max<size_t>(reach_, step.first + 9);
    steps_.push_back(step);
  }
  const bool by_word = std::all_of(steps_.begin(), steps_.end(), [](const Step& step) {
    return step.end <= 8 && step.plain && !step.multiplexed;
  });
  if (!by_word) return;
  word_decoder_ = detail::OrOutOfMemory([&] {
    std::vector<detail::WordSignal> signals;
    signals.reserve(steps_.size());
    for (size_t k = 0; k < steps_.size(); ++k) {
      const Step& step = steps_[k];
      signals.push_back({step.mask, step.factor, step.offset, step.motorola,
                         static_cast<uint8_t>(step.word_shift), step.sign_shift,
                         static_cast<uint8_t>(message.Signals[k].Length)});
      word_bytes_ = std::max(word_bytes_, step.end);
    }
    return std::make_shared<const detail::WordDecoder>(std::move(signals));
  });
}

[[gnu::always_inline]] inline uint64_t MessageCodec::Read(const Step& step,
                                                          const uint8_t* bytes) noexcept {
  uint64_t word;
  std::memcpy(&word, bytes + step.first, sizeof word);
  if (!step.wide) return (word >> step.shift) & step.mask;
  const uint8_t ninth = bytes[step.first + 8];
  const Wide all =
      step.motorola ? (Wide{__builtin_bswap64(word)} << 8) | ninth : (Wide{ninth} << 64) | word;
  return static_cast<uint64_t>(all >> step.shift) & step.mask;
}

[[gnu::always_inline]] inline double MessageCodec::RawOf(const Step& step, uint64_t bits) noexcept {
  if (step.plain) [[likely]] {
    // Unsigned ones below 64 bits have sign_shift 0 and stay positive.
    return static_cast<double>(static_cast<int64_t>(bits << step.sign_shift) >> step.sign_shift);
  }
  switch (step.type) {
    case ValueType::Float:
      return std::bit_cast<float>(static_cast<uint32_t>(bits));
    case ValueType::Double:
      return std::bit_cast<double>(bits);
    case ValueType::Integer:
      break;
  }
  return static_cast<double>(bits);  // unsigned, 64 bits
}

const uint8_t* MessageCodec::Loadable(std::span<const uint8_t> frame,
                                      uint8_t* room) const noexcept {
  if (frame.size() >= reach_) return frame.data();
  const size_t size = std::min<size_t>(frame.size(), 64);
  if (size > 0) std::memcpy(room, frame.data(), size);
  std::memset(room + size, 0, reach_ - size);
  return room;
}

bool MessageCodec::Selected(size_t k, const uint8_t* bytes, uint32_t frame_bytes, int depth) const {
  const Signal& signal = message_->Signals[k];
  if (signal.MultiplexSwitch.empty()) {
    if (!signal.MultiplexValue) return true;
    for (size_t s = 0; s < steps_.size(); ++s) {
      if (message_->Signals[s].IsMultiplexer) {
        return steps_[s].end <= frame_bytes && Read(steps_[s], bytes) == *signal.MultiplexValue;
      }
    }
    return false;
  }
  // Extended multiplexing: a named switch, itself selected, in one of the ranges.
  if (depth > 16) return false;  // a loop of switches selects nothing
  for (size_t s = 0; s < steps_.size(); ++s) {
    if (message_->Signals[s].Name != signal.MultiplexSwitch) continue;
    if (steps_[s].end > frame_bytes || !Selected(s, bytes, frame_bytes, depth + 1)) return false;
    const uint64_t value = Read(steps_[s], bytes);
    for (const MultiplexRange& range : signal.MultiplexRanges) {
      if (range.low <= value && value <= range.high) return true;
    }
    return false;
  }
  return false;
}

void MessageCodec::Decode(std::span<const uint8_t> frame, std::vector<DecodedSignal>& out) const {
  // Room for every signal first, so that decoding itself never allocates.
  detail::OrOutOfMemory([&] { out.resize(steps_.size()); });
  out.resize(Decode(frame, std::span<DecodedSignal>(out)));
}

size_t MessageCodec::Decode(std::span<const uint8_t> frame, std::span<DecodedSignal> out) const {
  if (out.size() < steps_.size()) Raise(errors::kInvalidArgument);
  std::array<uint8_t, kRoom> room;
  const uint8_t* bytes = Loadable(frame, room.data());
  const auto frame_bytes = static_cast<uint32_t>(std::min<size_t>(frame.size(), 64));
  size_t count = 0;
  for (size_t k = 0; k < steps_.size(); ++k) {
    const Step& step = steps_[k];
    if (step.end > frame_bytes) continue;
    if (step.multiplexed && !Selected(k, bytes, frame_bytes, 0)) continue;
    const Signal& signal = message_->Signals[k];
    DecodedSignal& decoded = out[count++];
    decoded.Definition = &signal;
    decoded.Bits = Read(step, bytes);
    decoded.Raw = RawOf(step, decoded.Bits);
    decoded.Value = decoded.Raw * step.factor + step.offset;
    decoded.Text = signal.Values.empty() ? nullptr : TextOf(signal, decoded.Raw);
  }
  return count;
}

template <typename ReadBits>
void MessageCodec::DecodeEach(const uint8_t* bytes, uint32_t frame_bytes, std::span<double> out,
                              ReadBits read) const {
  const size_t count = std::min(out.size(), steps_.size());
  for (size_t k = 0; k < count; ++k) {
    const Step& step = steps_[k];
    if (step.end > frame_bytes || (step.multiplexed && !Selected(k, bytes, frame_bytes, 0)))
        [[unlikely]] {
      out[k] = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    out[k] = RawOf(step, read(step)) * step.factor + step.offset;
  }
}

// Kept apart so that the fast path below needs few registers.
[[gnu::noinline]] void MessageCodec::DecodeValuesOfAnyFrame(std::span<const uint8_t> frame,
                                                            std::span<double> out) const {
  const auto frame_bytes = static_cast<uint32_t>(std::min<size_t>(frame.size(), 64));
  std::array<uint8_t, kRoom> room;
  const uint8_t* bytes = Loadable(frame, room.data());
  DecodeEach(bytes, frame_bytes, out, [&](const Step& step) { return Read(step, bytes); });
}

void MessageCodec::DecodeValues(std::span<const uint8_t> frame, std::span<double> out) const {
  if (!word_decoder_ || frame.size() < word_bytes_ || out.size() < word_decoder_->size())
      [[unlikely]] {
    DecodeValuesOfAnyFrame(frame, out);
    return;
  }
  // A classic frame holding every signal: its first 8 bytes as one word.
  uint64_t intel = 0;
  if (frame.size() >= 8) [[likely]] {
    std::memcpy(&intel, frame.data(), 8);
  } else {
    std::memcpy(&intel, frame.data(), frame.size());
  }
  word_decoder_->Decode(intel, out.data());
}

std::vector<DecodedSignal> MessageCodec::Decode(std::span<const uint8_t> frame) const {
  return detail::OrOutOfMemory([&] {
    std::vector<DecodedSignal> out;
    Decode(frame, out);
    return out;
  });
}

std::vector<uint8_t> MessageCodec::Encode(const std::map<std::string, EncodedValue>& values) const {
  auto frame = detail::OrOutOfMemory([&] { return std::vector<uint8_t>(message_->Length); });
  Encode(values, frame);
  return frame;
}

namespace {

// The bits that stand for `value` in `signal`, or error 2000/5 naming it.
uint64_t BitsFor(const Signal& signal, const EncodedValue& value) {
  const std::string name = "signal " + signal.Name;
  double raw = 0;
  double physical = 0;
  if (const auto* text = std::get_if<std::string>(&value)) {
    const auto found = std::find_if(signal.Values.begin(), signal.Values.end(),
                                    [&](const auto& pair) { return pair.second == *text; });
    if (found == signal.Values.end()) {
      throw Error(errors::kInvalidArgument, {}, {}, name + " has no value named '" + *text + "'");
    }
    raw = static_cast<double>(found->first);
    physical = raw * signal.Factor + signal.Offset;
  } else {
    physical = std::get<double>(value);
    raw = signal.Factor == 0 ? 0 : (physical - signal.Offset) / signal.Factor;
    if (signal.Type == ValueType::Integer) raw = std::nearbyint(raw);
  }
  const auto refuse = [&](const std::string& limits) {
    throw Error(
        errors::kFieldRange,
        raw < 0 || physical < signal.Minimum ? messages::kValueTooSmall : messages::kValueTooBig,
        {}, name + ": " + detail::ShortestNumber(physical) + " is outside its limits " + limits);
  };
  if ((signal.Minimum != 0 || signal.Maximum != 0) &&
      (physical < signal.Minimum || physical > signal.Maximum)) {
    refuse(detail::ShortestNumber(signal.Minimum) + ".." + detail::ShortestNumber(signal.Maximum) +
           (signal.Unit.empty() ? "" : " " + signal.Unit));
  }
  switch (signal.Type) {
    case ValueType::Float:
      return std::bit_cast<uint32_t>(static_cast<float>(raw));
    case ValueType::Double:
      return std::bit_cast<uint64_t>(raw);
    case ValueType::Integer:
      break;
  }
  // The raw values the bits hold, as exact doubles (2^63 and 2^64 are exact).
  const double low = signal.Signed ? -std::ldexp(1.0, static_cast<int>(signal.Length) - 1) : 0;
  const double high_end =
      std::ldexp(1.0, static_cast<int>(signal.Length) - (signal.Signed ? 1 : 0));
  if (!(raw >= low && raw < high_end)) {
    refuse("(raw " + detail::ShortestNumber(low) + ".." + detail::ShortestNumber(high_end - 1) +
           ", raw value " + detail::ShortestNumber(raw) + ")");
  }
  const uint64_t bits =
      raw < 0 ? static_cast<uint64_t>(static_cast<int64_t>(raw)) : static_cast<uint64_t>(raw);
  return bits & LowBits(signal.Length);
}

}  // namespace

void MessageCodec::Encode(const std::map<std::string, EncodedValue>& values,
                          std::span<uint8_t> frame) const {
  // Every value is checked (the texts of errors included) before any bit is written.
  const auto writes = detail::OrOutOfMemory([&] {
    std::vector<std::pair<const Signal*, uint64_t>> checked;
    for (const auto& [name, value] : values) {
      const Signal* signal = message_->SignalNamed(name);
      if (signal == nullptr) {
        throw Error(errors::kInvalidArgument, {}, {},
                    "message " + message_->Name + " has no signal " + name);
      }
      if (!BitsOf(*signal, static_cast<uint32_t>(frame.size()))) {
        throw Error(errors::kSubscriptOutOfRange, {}, {},
                    "signal " + signal->Name + " leaves the " + std::to_string(frame.size()) +
                        "-byte frame");
      }
      checked.emplace_back(signal, BitsFor(*signal, value));
    }
    return checked;
  });
  for (const auto& [signal, bits] : writes) WriteBitsReference(*signal, bits, frame);
}

}  // namespace ombrix::signals
