#include "ombrix/bytes/byte_kernels_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ombrix::detail {

uint32_t SumBytesReference(const uint8_t* data, size_t count) noexcept {
  uint32_t sum = 0;
  for (size_t k = 0; k < count; ++k) sum += data[k];
  return sum;
}

size_t CountEqualReference(const uint8_t* data, size_t count, uint8_t pattern) noexcept {
  size_t k = 0;
  while (k < count && data[k] == pattern) ++k;
  return k;
}

#if defined(__SSE2__)

uint32_t SumBytes(const uint8_t* data, size_t count) noexcept {
  // psadbw against zero adds 8 bytes into a 64-bit lane; four accumulators
  // keep the adds independent. 64-bit lanes cannot overflow here.
  const __m128i zero = _mm_setzero_si128();
  __m128i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
  size_t k = 0;
  for (; k + 64 <= count; k += 64) {
    const auto* p = reinterpret_cast<const __m128i*>(data + k);
    acc0 = _mm_add_epi64(acc0, _mm_sad_epu8(_mm_loadu_si128(p), zero));
    acc1 = _mm_add_epi64(acc1, _mm_sad_epu8(_mm_loadu_si128(p + 1), zero));
    acc2 = _mm_add_epi64(acc2, _mm_sad_epu8(_mm_loadu_si128(p + 2), zero));
    acc3 = _mm_add_epi64(acc3, _mm_sad_epu8(_mm_loadu_si128(p + 3), zero));
  }
  for (; k + 16 <= count; k += 16) {
    acc0 = _mm_add_epi64(
        acc0, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k)), zero));
  }
  const __m128i acc = _mm_add_epi64(_mm_add_epi64(acc0, acc1), _mm_add_epi64(acc2, acc3));
  const __m128i total = _mm_add_epi64(acc, _mm_unpackhi_epi64(acc, acc));
  const auto wide = static_cast<uint64_t>(_mm_cvtsi128_si64(total));
  return static_cast<uint32_t>(wide) + SumBytesReference(data + k, count - k);
}

size_t CountEqual(const uint8_t* data, size_t count, uint8_t pattern) noexcept {
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(pattern));
  size_t k = 0;
  // 64 bytes a step: AND the four comparisons and look closer only on a miss.
  for (; k + 64 <= count; k += 64) {
    const auto* p = reinterpret_cast<const __m128i*>(data + k);
    const __m128i e0 = _mm_cmpeq_epi8(_mm_loadu_si128(p), wanted);
    const __m128i e1 = _mm_cmpeq_epi8(_mm_loadu_si128(p + 1), wanted);
    const __m128i e2 = _mm_cmpeq_epi8(_mm_loadu_si128(p + 2), wanted);
    const __m128i e3 = _mm_cmpeq_epi8(_mm_loadu_si128(p + 3), wanted);
    const __m128i all = _mm_and_si128(_mm_and_si128(e0, e1), _mm_and_si128(e2, e3));
    if (_mm_movemask_epi8(all) != 0xFFFF) break;
  }
  for (; k + 16 <= count; k += 16) {
    const auto equal = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k)), wanted)));
    if (equal != 0xFFFF) return k + static_cast<size_t>(__builtin_ctz(~equal));
  }
  return k + CountEqualReference(data + k, count - k, pattern);
}

#else

uint32_t SumBytes(const uint8_t* data, size_t count) noexcept {
  return SumBytesReference(data, count);
}

size_t CountEqual(const uint8_t* data, size_t count, uint8_t pattern) noexcept {
  return CountEqualReference(data, count, pattern);
}

#endif

}  // namespace ombrix::detail
