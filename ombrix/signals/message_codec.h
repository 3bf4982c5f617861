// Decoding a message's frames to physical values, and encoding them back,
// through a plan prepared once per message: each signal's bits are read
// with one load of the bytes it spans and a shift, never bit by bit.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ombrix/signals/signal_database.h"

namespace ombrix::signals {

/// One signal of a decoded frame.
struct DecodedSignal {
  const Signal* Definition = nullptr;
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
  explicit MessageCodec(const Message& message);

  const Message& Definition() const noexcept { return *message_; }

  /// The signals present in `frame`: those within its bytes, and of the
  /// multiplexed ones only those their multiplexer selects; in the
  /// message's order. `out` is cleared first and reused.
  void Decode(std::span<const uint8_t> frame, std::vector<DecodedSignal>& out) const;
  std::vector<DecodedSignal> Decode(std::span<const uint8_t> frame) const;

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

 private:
  // How to read one signal: load the bytes from `first` on (nine at most,
  // in the signal's byte order) and shift right by `shift`.
  struct Step {
    uint32_t first = 0;
    uint32_t end = 0;  // bytes the frame needs for the signal
    uint32_t shift = 0;
    uint64_t mask = 0;
    bool motorola = false;
  };
  // Whether the multiplexing of signal k selects it, given the steps' bits.
  bool Selected(size_t k, std::span<const uint8_t> padded, uint32_t frame_bytes, int depth) const;
  uint64_t Read(const Step& step, std::span<const uint8_t> padded) const noexcept;

  const Message* message_;
  std::vector<Step> steps_;
};

}  // namespace ombrix::signals
