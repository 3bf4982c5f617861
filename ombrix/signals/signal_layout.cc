#include "ombrix/signals/signal_layout.h"

namespace ombrix::signals {
namespace {

// The frame bit (byte * 8 + bit, bit 0 least significant) that holds the
// signal's bit k, k = 0 being its least significant bit.
uint64_t FrameBit(const Signal& signal, uint32_t k) {
  if (signal.Order == ByteOrder::Intel) return uint64_t{signal.StartBit} + k;
  // Motorola: count from the most significant bit in most-significant-first
  // order, then back to DBC's numbering.
  const uint64_t from_msb = uint64_t{MotorolaSkippedBits(signal.StartBit)} + signal.Length - 1 - k;
  return from_msb / 8 * 8 + 7 - from_msb % 8;
}

bool Fits(const Signal& signal, size_t frame_bytes) {
  if (signal.Length < 1 || signal.Length > 64) return false;
  const uint64_t bits = uint64_t{frame_bytes} * 8;
  if (signal.Order == ByteOrder::Intel) return uint64_t{signal.StartBit} + signal.Length <= bits;
  return uint64_t{MotorolaSkippedBits(signal.StartBit)} + signal.Length <= bits;
}

}  // namespace

std::optional<std::vector<uint8_t>> BitsOf(const Signal& signal, uint32_t frame_bytes) {
  if (!Fits(signal, frame_bytes)) return std::nullopt;
  std::vector<uint8_t> mask(frame_bytes);
  for (uint32_t k = 0; k < signal.Length; ++k) {
    const uint64_t bit = FrameBit(signal, k);
    mask[bit / 8] = static_cast<uint8_t>(mask[bit / 8] | 1u << (bit % 8));
  }
  return mask;
}

std::optional<uint64_t> ReadBitsReference(const Signal& signal, std::span<const uint8_t> frame) {
  if (!Fits(signal, frame.size())) return std::nullopt;
  uint64_t bits = 0;
  for (uint32_t k = 0; k < signal.Length; ++k) {
    const uint64_t bit = FrameBit(signal, k);
    bits |= uint64_t{(frame[bit / 8] >> (bit % 8)) & 1u} << k;
  }
  return bits;
}

bool WriteBitsReference(const Signal& signal, uint64_t bits, std::span<uint8_t> frame) {
  if (!Fits(signal, frame.size())) return false;
  for (uint32_t k = 0; k < signal.Length; ++k) {
    const uint64_t bit = FrameBit(signal, k);
    const auto one = static_cast<uint8_t>(1u << (bit % 8));
    frame[bit / 8] = static_cast<uint8_t>(((bits >> k) & 1u) != 0 ? frame[bit / 8] | one
                                                                  : frame[bit / 8] & ~one);
  }
  return true;
}

}  // namespace ombrix::signals
