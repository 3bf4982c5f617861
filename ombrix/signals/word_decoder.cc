#include <algorithm>

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/signals/word_decoder_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OMBRIX_WORD_DECODER_AVX2 1
#endif

namespace ombrix::detail {
namespace {

// Four signals are converted to double through the bits of 2^52 + 2^51,
// exact for integers of at most 51 bits, signed or not.
constexpr uint32_t kLongestInGroups = 51;

#ifdef OMBRIX_WORD_DECODER_AVX2
bool HasAvx2() noexcept { return __builtin_cpu_supports("avx2"); }
#endif

}  // namespace

WordDecoder::WordDecoder(std::vector<WordSignal> signals) : signals_(std::move(signals)) {
  const bool groupable = std::all_of(signals_.begin(), signals_.end(), [](const WordSignal& s) {
    return s.length >= 1 && s.length <= kLongestInGroups;
  });
  if (!groupable) return;
  OrOutOfMemory([&] { groups_.resize((signals_.size() + 3) / 4); });
  for (size_t k = 0; k < signals_.size(); ++k) {
    const WordSignal& signal = signals_[k];
    Group& group = groups_[k / 4];
    const size_t lane = k % 4;
    group.shift[lane] = signal.shift;
    group.mask[lane] = signal.mask;
    group.motorola[lane] = signal.motorola ? ~uint64_t{0} : 0;
    group.sign[lane] = signal.sign_shift != 0 ? uint64_t{1} << (signal.length - 1) : 0;
    group.factor[lane] = signal.factor;
    group.offset[lane] = signal.offset;
  }
}

void WordDecoder::DecodeOneByOne(uint64_t intel, double* out) const noexcept {
  const uint64_t words[2] = {intel, __builtin_bswap64(intel)};
  for (const WordSignal& signal : signals_) {
    const uint64_t bits = (words[signal.motorola ? 1 : 0] >> signal.shift) & signal.mask;
    const auto raw = static_cast<int64_t>(bits << signal.sign_shift) >> signal.sign_shift;
    *out++ = static_cast<double>(raw) * signal.factor + signal.offset;
  }
}

#ifdef OMBRIX_WORD_DECODER_AVX2
namespace {

// No fused multiply-add: the value must round as raw × factor + offset does.
__attribute__((target("avx2"))) void DecodeGroups(const void* groups, size_t count, uint64_t intel,
                                                  double* out) noexcept {
  struct Lanes {
    __m256i shift, mask, motorola, sign;
    __m256d factor, offset;
  };
  const auto* group = static_cast<const Lanes*>(groups);
  const __m256i little = _mm256_set1_epi64x(static_cast<long long>(intel));
  const __m256i big = _mm256_set1_epi64x(static_cast<long long>(__builtin_bswap64(intel)));
  const __m256i magic_bits = _mm256_set1_epi64x(0x4338000000000000);
  const __m256d magic = _mm256_castsi256_pd(magic_bits);
  for (size_t done = 0; done < count; done += 4, ++group) {
    const __m256i word = _mm256_blendv_epi8(little, big, group->motorola);
    const __m256i bits = _mm256_and_si256(_mm256_srlv_epi64(word, group->shift), group->mask);
    // Sign extension: flipping the sign bit and subtracting it.
    const __m256i raw = _mm256_sub_epi64(_mm256_xor_si256(bits, group->sign), group->sign);
    const __m256d exact =
        _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(raw, magic_bits)), magic);
    const __m256d value = _mm256_add_pd(_mm256_mul_pd(exact, group->factor), group->offset);
    if (count - done >= 4) [[likely]] {
      _mm256_storeu_pd(out + done, value);
    } else {
      const __m256i lanes = _mm256_set_epi64x(3, 2, 1, 0);
      const __m256i keep =
          _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count - done)), lanes);
      _mm256_maskstore_pd(out + done, keep, value);
    }
  }
}

}  // namespace
#endif

void WordDecoder::Decode(uint64_t intel, double* out) const noexcept {
#ifdef OMBRIX_WORD_DECODER_AVX2
  static const bool kVectors = HasAvx2();
  if (kVectors && !groups_.empty()) {
    static_assert(sizeof(Group) == 6 * 32);
    DecodeGroups(groups_.data(), signals_.size(), intel, out);
    return;
  }
#endif
  DecodeOneByOne(intel, out);
}

}  // namespace ombrix::detail
