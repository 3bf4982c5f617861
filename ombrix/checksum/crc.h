// CRC: the 16-bit frame check sequence of HDLC framing, appended to a frame
// by a sender and checked on a received frame.
//
//   Width    : 16
//   Poly     : 1021 (applied reflected, as 8408)
//   Init     : FFFF
//   RefIn    : True
//   RefOut   : True
//   XorOut   : FFFF (the check bytes are the complemented register, low byte first)
//   Check    : 906E (result for the nine bytes of "123456789")
//   Residue  : F0B8 (the register after a whole intact frame, check bytes included)
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "ombrix/bytes/i_byte_array.h"

namespace ombrix {

/// The 16-bit HDLC frame check sequence, computed and checked.
class CRC final {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit CRC(Private) { Clear(); }

  /// A new checksum, its register cleared.
  static std::shared_ptr<CRC> New();

  /// Runs B's bytes, LowIndex to HighIndex, through the register. A byte
  /// that cannot be read raises its error 9, the register holding the bytes
  /// before it.
  void Append(const IByteArray& B);
  /// Sets the register to FFFF.
  void Clear() noexcept { register_ = 0xFFFF; }
  /// True when the register holds the residue of an intact frame (F0B8).
  [[nodiscard]] bool Check() const noexcept { return register_ == 0xF0B8; }
  /// Writes the complemented register into B's last two bytes, low byte
  /// first; error 9 (nothing written) when B has fewer than 2 bytes.
  void Send(IByteArray& B) const;
  /// The register as it stands (FFFF after Clear).
  int32_t Register() const noexcept { return register_; }

  /// The check sequence of Bytes: the complemented register after them,
  /// whose low byte Send writes first.
  static uint16_t Of(std::span<const uint8_t> Bytes) noexcept;
  /// Grows Frame by two bytes and writes there the check sequence of the
  /// bytes it had (Count + 2, then Clear, Append and Send in one call).
  /// Count's errors (1000 on an Interval view, 7), Frame unchanged.
  static void Stamp(IByteArray& Frame);
  /// True when Frame, its two check bytes included, is intact (Clear,
  /// Append and Check in one call); Append's errors.
  [[nodiscard]] static bool Intact(const IByteArray& Frame);

 private:
  // Runs the bytes low..low + count - 1 of B, which `window` describes.
  void AppendRange(const IByteArray& B, const detail::StoreWindow& window, int32_t low,
                   int64_t count);

  uint16_t register_;
};

}  // namespace ombrix
