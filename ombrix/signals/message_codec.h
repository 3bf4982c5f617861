// Decoding a message's frames to physical values, and encoding them back,
// through a plan prepared once per message: each signal's bits are read
// with one load of the bytes it spans and a shift, never bit by bit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ombrix/signals/signal_database.h"

namespace ombrix::detail {
class WordDecoder;
}

namespace ombrix::signals {

/// One signal of a decoded frame.
struct DecodedSignal {
  const Signal* Definition = nullptr;  ///< the signal, in the codec's message
  /// The signal's bits, zero-extended.
  uint64_t Bits = 0;
  /// The raw value: the integer (sign applied) or the floating-point value.
  double Raw = 0;
  /// Raw × Factor + Offset.
  double Value = 0;
  /// The value description of the raw value, or null.
  const std::string* Text = nullptr;
};

/// A physical value to encode, or the name of one of the signal's values.
using EncodedValue = std::variant<double, std::string>;

/// A message's decoder and encoder. Holds a pointer to the message, which
/// must outlive it and not change.
class MessageCodec {
 public:
  /// The codec of `message`, its plan prepared once.
  explicit MessageCodec(const Message& message);

  /// The message it decodes and encodes.
  const Message& Definition() const noexcept { return *message_; }

  /// The signals present in `frame`: those within its bytes, and of the
  /// multiplexed ones only those their multiplexer selects; in the
  /// message's order. `out` is cleared first and reused.
  void Decode(std::span<const uint8_t> frame, std::vector<DecodedSignal>& out) const;
  /// Decode into a new vector.
  std::vector<DecodedSignal> Decode(std::span<const uint8_t> frame) const;
  /// Decode into `out`, which has room for every signal of the message
  /// (error 5 otherwise); returns how many it holds. Never allocates.
  size_t Decode(std::span<const uint8_t> frame, std::span<DecodedSignal> out) const;

  /// A frame of the message's length, zeros where no signal is given, with
  /// each given signal's value: a physical value becomes raw = (value -
  /// Offset) / Factor rounded to the nearest integer, ties to even (a float
  /// signal takes it as it is); a text is the raw value it describes.
  /// Error 2000 naming the signal, its limits and the value when the raw
  /// value does not fit its bits or the value leaves the stated limits;
  /// error 5 naming it for an unknown signal or value text.
  std::vector<uint8_t> Encode(const std::map<std::string, EncodedValue>& values) const;
  /// The same over an existing frame, changing only the given signals' bits.
  void Encode(const std::map<std::string, EncodedValue>& values, std::span<uint8_t> frame) const;

  /// The physical values alone, for the fastest decoding: out[k] is signal
  /// k's value, NaN where Decode would leave the signal out. `out` has one
  /// element per signal of the message.
  void DecodeValues(std::span<const uint8_t> frame, std::span<double> out) const;

 private:
  // How to read one signal: load the bytes from `first` on (nine at most,
  // in the signal's byte order) and shift right by `shift`; then what to
  // do with the bits, so that decoding reads the steps and nothing else.
  struct Step {
    uint32_t first = 0;
    uint32_t end = 0;  // bytes the frame needs for the signal
    uint32_t shift = 0;
    uint32_t word_shift = 0;  // in a frame of at most 8 bytes read as one word
    uint64_t mask = 0;
    bool motorola = false;
    bool wide = false;         // needs the ninth byte
    bool multiplexed = false;  // present only when selected
    uint8_t sign_shift = 0;    // 64 - Length for a signed integer, else 0
    bool plain = true;         // an integer that int64_t holds, signed or not
    ValueType type = ValueType::Integer;
    double factor = 1;
    double offset = 0;
  };
  // DecodeValues of a frame the word steps do not read.
  void DecodeValuesOfAnyFrame(std::span<const uint8_t> frame, std::span<double> out) const;
  // Whether the multiplexing of signal k selects it, given the steps' bits.
  bool Selected(size_t k, const uint8_t* bytes, uint32_t frame_bytes, int depth) const;
  static uint64_t Read(const Step& step, const uint8_t* bytes) noexcept;
  static double RawOf(const Step& step, uint64_t bits) noexcept;
  // The physical value of signal k, present in a frame of `frame_bytes`.
  template <typename ReadBits>
  void DecodeEach(const uint8_t* bytes, uint32_t frame_bytes, std::span<double> out,
                  ReadBits read) const;
  // The frame's bytes where every step may load nine: the frame itself when
  // it is long enough, else a zero-padded copy in `room`.
  const uint8_t* Loadable(std::span<const uint8_t> frame, uint8_t* room) const noexcept;

  const Message* message_;
  std::vector<Step> steps_;
  size_t reach_ = 0;  // bytes from the frame's start that the steps load
  bool multiplexed_ = false;
  // Set when every signal is an integer in the first 8 bytes and none is
  // multiplexed; then a frame of at least word_bytes_ bytes holds them all.
  std::shared_ptr<const detail::WordDecoder> word_decoder_;
  uint32_t word_bytes_ = 0;
};

}  // namespace ombrix::signals
