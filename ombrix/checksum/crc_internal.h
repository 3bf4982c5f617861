// Internal: the kernels behind CRC, which may change between releases. Each
// runs bytes through a CRC-16/X.25 register (reflected, polynomial 0x8408)
// and returns the new register; all give the bit-by-bit loop's result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrix::detail {

/// The bit-by-bit loop that defines the result.
uint16_t Crc16Reference(uint16_t crc, const uint8_t* data, size_t count) noexcept;
/// Slice-by-16 tables; works on every processor.
uint16_t Crc16Table(uint16_t crc, const uint8_t* data, size_t count) noexcept;
/// Carry-less multiplication folding, 64 bytes a step (needs PCLMULQDQ and SSE4.1).
uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data, size_t count) noexcept;
/// The same on 256-bit registers, 128 bytes a step (needs VPCLMULQDQ and AVX2).
uint16_t Crc16Clmul256(uint16_t crc, const uint8_t* data, size_t count) noexcept;
/// The same on 512-bit registers, 256 bytes a step (needs VPCLMULQDQ and AVX-512F).
uint16_t Crc16Clmul512(uint16_t crc, const uint8_t* data, size_t count) noexcept;
/// The register after 16 bytes from 0, the bytes given as two words whose
/// low ends hold the first byte of each half (how x86 registers hold them).
uint16_t Crc16Block(uint64_t first, uint64_t second) noexcept;
/// Whether this processor runs each folding kernel.
bool HasClmul() noexcept;
bool HasClmul256() noexcept;
bool HasClmul512() noexcept;
/// The fastest kernel this processor has for count bytes.
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t count) noexcept;

}  // namespace ombrix::detail
