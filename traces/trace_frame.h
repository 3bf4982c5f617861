// One frame of a bus trace, as every reader gives it and every writer takes it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace ombrix::traces {

/// What a frame is besides its identifier and bytes; flags combine.
enum FrameFlags : uint8_t {
  kRemote = 1,         ///< a remote (request) frame: no data, Length the requested length
  kFd = 2,             ///< a CAN FD frame
  kBitRateSwitch = 4,  ///< CAN FD: the data phase ran at the higher bit rate
  kErrorState = 8,     ///< CAN FD: the sender was error passive (ESI)
  kError = 16,         ///< an error frame: Id holds the error class, where the trace gives one
  kTransmitted = 32,   ///< sent by the logging node (Tx) rather than received
};

/// A frame: when, on which channel, which identifier, its flags and bytes.
struct Frame {
  /// Nanoseconds since 1 January 1970 UTC, or since the trace's start when
  /// it gives no date.
  int64_t Time = 0;
  /// The channel's index in the reader's Channels().
  uint16_t Channel = 0;
  /// The identifier: 11 bits, or 29 when Extended.
  uint32_t Id = 0;
  /// A 29-bit identifier.
  bool Extended = false;
  /// FrameFlags, combined.
  uint8_t Flags = 0;
  /// Bytes of data (or requested, for a remote frame): 0 to 64.
  uint8_t Length = 0;
  /// The data, Length bytes of it.
  std::array<uint8_t, 64> Data{};

  /// The data bytes.
  std::span<const uint8_t> Bytes() const noexcept {
    return {Data.data(), (Flags & kRemote) != 0 ? size_t{0} : size_t{Length}};
  }
  /// Whether every flag of `flags` is set.
  bool Has(uint8_t flags) const noexcept { return (Flags & flags) == flags; }
};

/// The CAN FD data lengths by length code (0 to 15).
inline constexpr std::array<uint8_t, 16> kFdLengths = {0, 1,  2,  3,  4,  5,  6,  7,
                                                       8, 12, 16, 20, 24, 32, 48, 64};
/// The smallest length code whose length holds `bytes` (0 to 64).
uint8_t LengthCode(uint8_t bytes) noexcept;

/// Seconds and microseconds of a time, as "1700000000.123456" (negative
/// times with a leading '-').
std::string SecondsText(int64_t nanoseconds);
/// The same appended to `text`.
void AppendSeconds(std::string& text, int64_t nanoseconds);
/// The same written at `out`, which has room for kSecondsTextMost characters; returns its end.
char* WriteSeconds(char* out, int64_t nanoseconds) noexcept;
/// The most characters SecondsText gives.
inline constexpr size_t kSecondsTextMost = 24;

}  // namespace ombrix::traces
