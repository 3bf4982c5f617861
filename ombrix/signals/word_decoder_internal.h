// Internal: the fastest decoding, for messages whose signals are all
// integers within a frame's first 8 bytes and none multiplexed. Each signal
// is a shift, a mask and a sign extension of the frame read as one word in
// its byte order, then scaled. Four signals at a time where the processor
// has AVX2; one at a time otherwise, which is also the reference.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ombrix::detail {

/// One signal as the word decoder reads it.
struct WordSignal {
  uint64_t mask = 0;       ///< the signal's low Length bits
  double factor = 1;       ///< physical = raw × factor + offset
  double offset = 0;       ///< physical = raw × factor + offset
  bool motorola = false;   ///< read from the byte-swapped word
  uint8_t shift = 0;       ///< the signal's lowest bit in its word
  uint8_t sign_shift = 0;  ///< 64 - Length when signed, else 0
  uint8_t length = 0;      ///< 1 to 64
};

/// The decoder of one message's signals; distinct decoders on distinct
/// threads, one decoder on many threads to read.
class WordDecoder {
 public:
  WordDecoder() = default;
  /// The decoder of `signals`, in their order.
  explicit WordDecoder(std::vector<WordSignal> signals);

  /// Whether it has signals to decode.
  bool empty() const noexcept { return signals_.empty(); }
  /// The number of signals.
  size_t size() const noexcept { return signals_.size(); }

  /// out[k] = signal k's physical value in the frame whose first 8 bytes,
  /// read little-endian, are `intel`. `out` has size() elements.
  void Decode(uint64_t intel, double* out) const noexcept;
  /// The same one signal at a time: what Decode must give.
  void DecodeOneByOne(uint64_t intel, double* out) const noexcept;

 private:
  // Four signals side by side, as the vector instructions load them.
  struct alignas(32) Group {
    uint64_t shift[4];
    uint64_t mask[4];
    uint64_t motorola[4];  // all ones or zero
    uint64_t sign[4];      // the sign bit of a signed signal, else zero
    double factor[4];
    double offset[4];
  };
  std::vector<WordSignal> signals_;
  std::vector<Group> groups_;  // empty when a signal is too long to convert four at a time
};

}  // namespace ombrix::detail
