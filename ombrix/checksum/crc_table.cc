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

#if defined(__x86_64__) || defined(__i386__)
bool HasClmul() noexcept {
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}
bool HasClmul512() noexcept {
  return __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx512f");
}
#else
bool HasClmul() noexcept { return false; }
bool HasClmul512() noexcept { return false; }
#endif

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  // Folding pays for its final reduction from a few blocks on.
  if (count >= 256 && HasClmul512()) return Crc16Clmul512(crc, data, count);
  if (count >= 64 && HasClmul()) return Crc16Clmul(crc, data, count);
  return Crc16Table(crc, data, count);
}

}  // namespace ombrix::detail
