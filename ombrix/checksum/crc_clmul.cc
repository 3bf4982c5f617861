// Carry-less multiplication folding for the reflected CRC-16.
//
// A reflected CRC with register 0 over a message M is M(x)·x^16 mod P, the
// first bit read being M's highest coefficient; the register's start value
// is folded in by XORing it into the first two bytes. Loaded little-endian,
// a 16-byte block holds its highest coefficients in the low 64 bits. A block
// A followed by D more bits of message contributes A(x)·x^D, which is
// congruent to A_hi(x)·(x^(D+64) mod P) + A_lo(x)·(x^D mod P): two carry-less
// products of a 64-bit half with a 16-bit constant, whose sum fits in 128
// bits and is XORed into the block D bits further on. Multiplying reversed
// operands gives the reversed product one bit short, so the constants are
// x^(D+63) and x^(D-1). What is left after folding, one 16-byte block with
// the same remainder as the whole message, goes through the tables.
#include <array>
#include <cstring>

#include "ombrix/checksum/crc_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ombrix::detail {

#if defined(__x86_64__) || defined(__i386__)
namespace {

// x^n mod P for P = x^16 + x^12 + x^5 + 1, in the bit order of the
// reflected operands: degree d at bit 63 - d.
constexpr uint64_t FoldConstant(unsigned n) {
  uint32_t r = 1;
  for (unsigned k = 0; k < n; ++k) {
    r <<= 1;
    if (r & 0x10000u) r ^= 0x11021u;
  }
  uint64_t reflected = 0;
  for (unsigned d = 0; d < 16; ++d) {
    if (r >> d & 1u) reflected |= uint64_t{1} << (63 - d);
  }
  return reflected;
}

// The two constants that fold a block over `bytes` bytes of later message.
struct FoldConstants {
  uint64_t high;  // multiplies the block's first 8 bytes
  uint64_t low;   // multiplies its last 8 bytes
};
constexpr FoldConstants ConstantsFor(unsigned bytes) {
  return {FoldConstant(8 * bytes + 63), FoldConstant(8 * bytes - 1)};
}
constexpr FoldConstants kFold16 = ConstantsFor(16);
constexpr FoldConstants kFold64 = ConstantsFor(64);
constexpr FoldConstants kFold256 = ConstantsFor(256);

__attribute__((target("pclmul,sse4.1"))) inline __m128i Constants128(FoldConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.low), static_cast<long long>(k.high));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The register of one remaining block, from 0.
__attribute__((target("pclmul,sse4.1"))) uint16_t Finish(__m128i x) {
  uint8_t block[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), x);
  return Crc16Table(0, block, 16);
}

}  // namespace

__attribute__((target("pclmul,sse4.1"))) uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data,
                                                             size_t count) noexcept {
  if (count < 64) return Crc16Table(crc, data, count);
  // The odd head first, so that folding ends exactly at the last byte.
  const size_t head = count % 16;
  crc = Crc16Table(crc, data, head);
  data += head;
  count -= head;

  const __m128i fold16 = Constants128(kFold16);
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(crc));
  size_t done = 16;
  if (count >= 64) {
    const __m128i fold64 = Constants128(kFold64);
    __m128i x1 = Load(data + 16), x2 = Load(data + 32), x3 = Load(data + 48);
    for (done = 64; done + 64 <= count; done += 64) {
      x0 = Fold(x0, fold64, Load(data + done));
      x1 = Fold(x1, fold64, Load(data + done + 16));
      x2 = Fold(x2, fold64, Load(data + done + 32));
      x3 = Fold(x3, fold64, Load(data + done + 48));
    }
    x0 = Fold(Fold(Fold(x0, fold16, x1), fold16, x2), fold16, x3);
  }
  for (; done + 16 <= count; done += 16) x0 = Fold(x0, fold16, Load(data + done));
  return Finish(x0);
}

namespace {

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Constants512(FoldConstants k) {
  return _mm512_set_epi64(static_cast<long long>(k.low), static_cast<long long>(k.high),
                          static_cast<long long>(k.low), static_cast<long long>(k.high),
                          static_cast<long long>(k.low), static_cast<long long>(k.high),
                          static_cast<long long>(k.low), static_cast<long long>(k.high));
}

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Fold(__m512i x, __m512i k,
                                                                  __m512i next) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                   _mm512_clmulepi64_epi128(x, k, 0x11), next, 0x96);
}

__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Load512(const uint8_t* p) {
  return _mm512_loadu_si512(p);
}

}  // namespace

__attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1"))) uint16_t Crc16Clmul512(
    uint16_t crc, const uint8_t* data, size_t count) noexcept {
  if (count < 256) return Crc16Clmul(crc, data, count);
  const size_t head = count % 64;
  crc = Crc16Table(crc, data, head);
  data += head;
  count -= head;

  const __m512i fold64 = Constants512(kFold64);
  const __m512i fold256 = Constants512(kFold256);
  __m512i z0 = _mm512_xor_si512(Load512(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(crc)));
  __m512i z1 = Load512(data + 64), z2 = Load512(data + 128), z3 = Load512(data + 192);
  size_t done = 256;
  for (; done + 256 <= count; done += 256) {
    z0 = Fold(z0, fold256, Load512(data + done));
    z1 = Fold(z1, fold256, Load512(data + done + 64));
    z2 = Fold(z2, fold256, Load512(data + done + 128));
    z3 = Fold(z3, fold256, Load512(data + done + 192));
  }
  z0 = Fold(Fold(Fold(z0, fold64, z1), fold64, z2), fold64, z3);
  for (; done + 64 <= count; done += 64) z0 = Fold(z0, fold64, Load512(data + done));

  // The four blocks of the last 64 bytes into one.
  const __m128i fold16 = Constants128(kFold16);
  // (Through memory: g++ 12 warns falsely on the lane-extract intrinsics.)
  uint8_t lanes[64];
  _mm512_storeu_si512(lanes, z0);
  __m128i x = Load(lanes);
  x = Fold(x, fold16, Load(lanes + 16));
  x = Fold(x, fold16, Load(lanes + 32));
  x = Fold(x, fold16, Load(lanes + 48));
  return Finish(x);
}

#else

uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  return Crc16Table(crc, data, count);
}
uint16_t Crc16Clmul512(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  return Crc16Table(crc, data, count);
}

#endif

}  // namespace ombrix::detail
