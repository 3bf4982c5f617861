// Internal: where a signal's bits lie in a frame, and the plain bit-by-bit
// reading and writing that define what the prepared codec must give.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ombrix/signals/signal_database.h"

namespace ombrix::signals {

/// The signal's bits as a mask over `frame_bytes` bytes; none when a bit
/// lies outside them or the length is not 1 to 64.
std::optional<std::vector<uint8_t>> BitsOf(const Signal& signal, uint32_t frame_bytes);

/// The signal's bits, zero-extended, read one bit at a time; none when the
/// frame is too short for them.
std::optional<uint64_t> ReadBitsReference(const Signal& signal, std::span<const uint8_t> frame);
/// Writes the low Length bits of `bits` one at a time; false when the frame
/// is too short for them (nothing written).
bool WriteBitsReference(const Signal& signal, uint64_t bits, std::span<uint8_t> frame);

}  // namespace ombrix::signals
