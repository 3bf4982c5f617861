// The portable kernels and the choice of kernel.
#include <array>
#include <cstring>

#include "ombrix/checksum/crc_internal.h"

namespace ombrix::detail {
namespace {

constexpr uint16_t kReflectedPolynomial = 0x8408;

// kTables[k][b]: the register after byte b followed by k zero bytes, from 0.
constexpr size_t kSlices = 16;

constexpr std::array<std::array<uint16_t, 256>, kSlices> MakeTables() {
  std::array<std::array<uint16_t, 256>, kSlices> tables{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned crc = b;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
    tables[0][b] = static_cast<uint16_t>(crc);
  }
  for (size_t k = 1; k < kSlices; ++k) {
    for (unsigned b = 0; b < 256; ++b) {
      const uint16_t previous = tables[k - 1][b];
      tables[k][b] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
    }
  }
  return tables;
}
constexpr auto kTables = MakeTables();

}  // namespace

uint16_t Crc16Reference(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  unsigned reg = crc;
  for (size_t i = 0; i < count; ++i) {
    unsigned b = data[i];
    for (int bit = 0; bit < 8; ++bit) {
      reg = ((reg ^ b) & 1) ? (reg >> 1) ^ kReflectedPolynomial : reg >> 1;
      b >>= 1;
    }
  }
  return static_cast<uint16_t>(reg);
}

uint16_t Crc16Table(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  unsigned reg = crc;
  size_t i = 0;
  // Sixteen bytes a step: each byte's table accounts for the bytes after it.
  for (; i + kSlices <= count; i += kSlices) {
    uint8_t b[kSlices];
    std::memcpy(b, data + i, kSlices);
    b[0] = static_cast<uint8_t>(b[0] ^ reg);
    b[1] = static_cast<uint8_t>(b[1] ^ (reg >> 8));
    reg = kTables[15][b[0]] ^ kTables[14][b[1]] ^ kTables[13][b[2]] ^ kTables[12][b[3]] ^
          kTables[11][b[4]] ^ kTables[10][b[5]] ^ kTables[9][b[6]] ^ kTables[8][b[7]] ^
          kTables[7][b[8]] ^ kTables[6][b[9]] ^ kTables[5][b[10]] ^ kTables[4][b[11]] ^
          kTables[3][b[12]] ^ kTables[2][b[13]] ^ kTables[1][b[14]] ^ kTables[0][b[15]];
  }
  for (; i < count; ++i) reg = (reg >> 8) ^ kTables[0][(reg ^ data[i]) & 0xFF];
  return static_cast<uint16_t>(reg);
}

uint16_t Crc16Block(uint64_t first, uint64_t second) noexcept {
  // Byte k of the block is byte k % 8 of its word, counted from the low end.
  const auto at = [](uint64_t word, unsigned k) { return (word >> (8 * k)) & 0xFF; };
  return static_cast<uint16_t>(
      kTables[15][at(first, 0)] ^ kTables[14][at(first, 1)] ^ kTables[13][at(first, 2)] ^
      kTables[12][at(first, 3)] ^ kTables[11][at(first, 4)] ^ kTables[10][at(first, 5)] ^
      kTables[9][at(first, 6)] ^ kTables[8][at(first, 7)] ^ kTables[7][at(second, 0)] ^
      kTables[6][at(second, 1)] ^ kTables[5][at(second, 2)] ^ kTables[4][at(second, 3)] ^
      kTables[3][at(second, 4)] ^ kTables[2][at(second, 5)] ^ kTables[1][at(second, 6)] ^
      kTables[0][at(second, 7)]);
}

#if defined(__x86_64__) || defined(__i386__)
bool HasClmul() noexcept {
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}
bool HasClmul256() noexcept {
  return __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx2") && HasClmul();
}
bool HasClmul512() noexcept {
  return __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx512f");
}
#else
bool HasClmul() noexcept { return false; }
bool HasClmul256() noexcept { return false; }
bool HasClmul512() noexcept { return false; }
#endif

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  // Below a few blocks the tables beat folding and its final reduction.
  constexpr size_t kFoldFrom = 32;
  if (count < kFoldFrom) return Crc16Table(crc, data, count);
  // Chosen once: asking the processor on every call costs as much as a short
  // frame. Each folding kernel hands shorter messages to the narrower one.
  using Kernel = uint16_t (*)(uint16_t, const uint8_t*, size_t) noexcept;
  static const Kernel fold = [] {
    __builtin_cpu_init();
    if (HasClmul512()) return Kernel{&Crc16Clmul512};
    if (HasClmul256()) return Kernel{&Crc16Clmul256};
    return HasClmul() ? Kernel{&Crc16Clmul} : Kernel{&Crc16Table};
  }();
  return fold(crc, data, count);
}

}  // namespace ombrix::detail
