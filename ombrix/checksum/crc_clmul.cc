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
constexpr FoldConstants kFold32 = ConstantsFor(32);
constexpr FoldConstants kFold48 = ConstantsFor(48);
constexpr FoldConstants kFold64 = ConstantsFor(64);
constexpr FoldConstants kFold256 = ConstantsFor(256);

__attribute__((target("pclmul,sse4.1"))) inline __m128i Constants128(FoldConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.low), static_cast<long long>(k.high));
}

// x moved over the later bytes that k stands for (a value below 2^80).
__attribute__((target("pclmul,sse4.1"))) inline __m128i Product(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(Product(x, k), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The register of one remaining block, from 0.
// (Straight from the register: a 16-byte store read back a byte at a time
// stalls the loads.)
__attribute__((target("pclmul,sse4.1"))) inline uint16_t Finish(__m128i x) {
  return Crc16Block(static_cast<uint64_t>(_mm_cvtsi128_si64(x)),
                    static_cast<uint64_t>(_mm_extract_epi64(x, 1)));
}

// The block a message of more than 16 bytes leaves when folding has reached
// `rest` (1 to 15) bytes before its end: x's last 16 - rest bytes followed by
// the rest, `tail` being the message's last 16 bytes. x's first `rest`
// bytes are folded over those 16.
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldRest(__m128i x, const uint8_t* tail,
                                                                 size_t rest) {
  // kShift[16 + k] is k for k in 0..15, every other entry clears its byte:
  // read from kShift + n it moves bytes n - 16 lanes up.
  alignas(16) static constexpr std::array<uint8_t, 48> kShift = [] {
    std::array<uint8_t, 48> shift{};
    for (size_t k = 0; k < shift.size(); ++k) {
      shift[k] = k >= 16 && k < 32 ? static_cast<uint8_t>(k - 16) : 0x80;
    }
    return shift;
  }();
  const __m128i up = Load(kShift.data() + rest);         // lanes up by 16 - rest
  const __m128i down = Load(kShift.data() + 16 + rest);  // lanes down by rest
  const __m128i first = _mm_shuffle_epi8(x, up);         // x's first bytes, last in line
  const __m128i kept = _mm_shuffle_epi8(x, down);
  // Lanes that `up` clears are x's kept bytes; the others are the rest's.
  const __m128i block = _mm_blendv_epi8(Load(tail), kept, up);
  return Fold(first, Constants128(kFold16), block);
}

// What is left once x holds the message's first `done` bytes (at least
// 16): its whole blocks, its last bytes, and the reduction.
__attribute__((target("pclmul,sse4.1"))) inline uint16_t FoldToEnd(__m128i x, const uint8_t* data,
                                                                   size_t done, size_t count) {
  const __m128i fold16 = Constants128(kFold16);
  for (; done + 16 <= count; done += 16) x = Fold(x, fold16, Load(data + done));
  if (done < count) x = FoldRest(x, data + count - 16, count - done);
  return Finish(x);
}

// Four consecutive blocks into one, side by side rather than in a chain.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Combine(__m128i x0, __m128i x1, __m128i x2,
                                                                __m128i x3) {
  return _mm_xor_si128(Fold(x0, Constants128(kFold48), x3),
                       Fold(x1, Constants128(kFold32), Product(x2, Constants128(kFold16))));
}

// The register folded into the first block of a message.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Start(uint16_t crc) {
  return _mm_cvtsi32_si128(crc);
}

}  // namespace

__attribute__((target("pclmul,sse4.1"))) uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data,
                                                             size_t count) noexcept {
  if (count < 16) return Crc16Table(crc, data, count);
  __m128i x0 = _mm_xor_si128(Load(data), Start(crc));
  if (count < 64) return FoldToEnd(x0, data, 16, count);
  const __m128i fold64 = Constants128(kFold64);
  __m128i x1 = Load(data + 16), x2 = Load(data + 32), x3 = Load(data + 48);
  size_t done = 64;
  for (; done + 64 <= count; done += 64) {
    x0 = Fold(x0, fold64, Load(data + done));
    x1 = Fold(x1, fold64, Load(data + done + 16));
    x2 = Fold(x2, fold64, Load(data + done + 32));
    x3 = Fold(x3, fold64, Load(data + done + 48));
  }
  return FoldToEnd(Combine(x0, x1, x2, x3), data, done, count);
}

namespace {

#define OMBRIX_WIDE "avx2,vpclmulqdq,pclmul,sse4.1"

__attribute__((target(OMBRIX_WIDE))) inline __m256i Constants256(FoldConstants k) {
  return _mm256_set_epi64x(static_cast<long long>(k.low), static_cast<long long>(k.high),
                           static_cast<long long>(k.low), static_cast<long long>(k.high));
}

__attribute__((target(OMBRIX_WIDE))) inline __m256i Fold(__m256i x, __m256i k, __m256i next) {
  return _mm256_xor_si256(
      _mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00), _mm256_clmulepi64_epi128(x, k, 0x11)),
      next);
}

__attribute__((target(OMBRIX_WIDE))) inline __m256i Load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// A 32-byte register's two blocks into one.
__attribute__((target(OMBRIX_WIDE))) inline __m128i Narrow(__m256i y) {
  return Fold(_mm256_castsi256_si128(y), Constants128(kFold16), _mm256_extracti128_si256(y, 1));
}

}  // namespace

__attribute__((target(OMBRIX_WIDE))) uint16_t Crc16Clmul256(uint16_t crc, const uint8_t* data,
                                                            size_t count) noexcept {
  if (count < 128) return Crc16Clmul(crc, data, count);
  const __m256i fold128 = Constants256(ConstantsFor(128));
  __m256i y0 = _mm256_xor_si256(Load256(data), _mm256_zextsi128_si256(Start(crc)));
  __m256i y1 = Load256(data + 32), y2 = Load256(data + 64), y3 = Load256(data + 96);
  size_t done = 128;
  for (; done + 128 <= count; done += 128) {
    y0 = Fold(y0, fold128, Load256(data + done));
    y1 = Fold(y1, fold128, Load256(data + done + 32));
    y2 = Fold(y2, fold128, Load256(data + done + 64));
    y3 = Fold(y3, fold128, Load256(data + done + 96));
  }
  const __m256i fold64 = Constants256(kFold64);
  const __m256i fold32 = Constants256(kFold32);
  const __m256i high = Fold(y0, fold64, y2);  // the first 64 bytes over the next
  const __m256i low = Fold(y1, fold64, y3);
  return FoldToEnd(Narrow(Fold(high, fold32, low)), data, done, count);
}

#undef OMBRIX_WIDE

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
  const __m512i fold64 = Constants512(kFold64);
  const __m512i fold256 = Constants512(kFold256);
  __m512i z0 = _mm512_xor_si512(Load512(data), _mm512_zextsi128_si512(Start(crc)));
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
  // (Through memory: g++ 12 warns falsely on the lane-extract intrinsics.)
  uint8_t lanes[64];
  _mm512_storeu_si512(lanes, z0);
  return FoldToEnd(Combine(Load(lanes), Load(lanes + 16), Load(lanes + 32), Load(lanes + 48)), data,
                   done, count);
}

#else

uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  return Crc16Table(crc, data, count);
}
uint16_t Crc16Clmul256(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  return Crc16Table(crc, data, count);
}
uint16_t Crc16Clmul512(uint16_t crc, const uint8_t* data, size_t count) noexcept {
  return Crc16Table(crc, data, count);
}

#endif

}  // namespace ombrix::detail
