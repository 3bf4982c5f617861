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

#include "ombrix/bytes/i_byte_array.h"

namespace ombrix {

class CRC final {
  struct Private {
    explicit Private() = default;
  };

 public:
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

 private:
  uint16_t register_;
};

}  // namespace ombrix
