// ByteArray::Text and the hexadecimal kernels behind it.
#include <array>
#include <limits>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/hex_codec.h"
#include "ombrix/bytes/hex_text_internal.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/text_encoding_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ombrix {
namespace detail {
namespace {

constexpr uint8_t kNotHex = 0xFF;

constexpr std::array<uint8_t, 256> MakeNibbleTable() {
  std::array<uint8_t, 256> table{};
  for (auto& entry : table) entry = kNotHex;
  for (size_t c = 0; c < 10; ++c) table['0' + c] = static_cast<uint8_t>(c);
  for (size_t c = 0; c < 6; ++c) {
    table['A' + c] = static_cast<uint8_t>(10 + c);
    table['a' + c] = static_cast<uint8_t>(10 + c);
  }
  return table;
}
constexpr std::array<uint8_t, 256> kNibble = MakeNibbleTable();

constexpr std::array<char, 512> MakePairTable() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<char, 512> table{};
  for (size_t b = 0; b < 256; ++b) {
    table[2 * b] = kDigits[b >> 4];
    table[2 * b + 1] = kDigits[b & 15];
  }
  return table;
}
constexpr std::array<char, 512> kPairs = MakePairTable();

}  // namespace

void EncodeHexReference(const uint8_t* bytes, size_t count, char* out) noexcept {
  for (size_t k = 0; k < count; ++k) {
    out[2 * k] = kPairs[2 * bytes[k]];
    out[2 * k + 1] = kPairs[2 * bytes[k] + 1];
  }
}

size_t DecodeHexReference(const char* text, size_t pairs, uint8_t* out) noexcept {
  for (size_t k = 0; k < pairs; ++k) {
    const uint8_t high = kNibble[static_cast<unsigned char>(text[2 * k])];
    const uint8_t low = kNibble[static_cast<unsigned char>(text[2 * k + 1])];
    if (((high | low) & 0xF0) != 0) return k;  // kNotHex has the high bits set
    out[k] = static_cast<uint8_t>(high << 4 | low);
  }
  return pairs;
}

#if defined(__SSE2__)
namespace {

// Sixteen nibbles to their digits: '0' + v, plus 7 more for A..F.
inline __m128i NibblesToDigits(__m128i nibbles) {
  const __m128i letters =
      _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8(7));
  return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}

// Sixteen characters to their nibble values; valid gets 0xFF where the
// character is a hexadecimal digit. Bytes of 0x80 or more fail both ranges.
inline __m128i DigitsToNibbles(__m128i chars, __m128i& valid) {
  const __m128i digit = _mm_sub_epi8(chars, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
  const __m128i letter = _mm_sub_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i is_letter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
  valid = _mm_or_si128(is_digit, is_letter);
  return _mm_or_si128(_mm_and_si128(is_digit, digit),
                      _mm_and_si128(is_letter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
}

// Eight pairs of nibbles (high first) in 16-bit lanes to eight bytes in the
// low halves of the lanes.
inline __m128i JoinPairs(__m128i nibbles) {
  const __m128i joined = _mm_or_si128(_mm_slli_epi16(nibbles, 4), _mm_srli_epi16(nibbles, 8));
  return _mm_and_si128(joined, _mm_set1_epi16(0x00FF));
}

}  // namespace

void EncodeHex(const uint8_t* bytes, size_t count, char* out) noexcept {
  const __m128i low_nibble = _mm_set1_epi8(0x0F);
  size_t k = 0;
  for (; k + 16 <= count; k += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    const __m128i high = _mm_and_si128(_mm_srli_epi16(x, 4), low_nibble);
    const __m128i low = _mm_and_si128(x, low_nibble);
    auto* dest = reinterpret_cast<__m128i*>(out + 2 * k);
    _mm_storeu_si128(dest, NibblesToDigits(_mm_unpacklo_epi8(high, low)));
    _mm_storeu_si128(dest + 1, NibblesToDigits(_mm_unpackhi_epi8(high, low)));
  }
  EncodeHexReference(bytes + k, count - k, out + 2 * k);
}

size_t DecodeHex(const char* text, size_t pairs, uint8_t* out) noexcept {
  size_t k = 0;
  for (; k + 16 <= pairs; k += 16) {
    const auto* src = reinterpret_cast<const __m128i*>(text + 2 * k);
    __m128i valid0, valid1;
    const __m128i first = DigitsToNibbles(_mm_loadu_si128(src), valid0);
    const __m128i second = DigitsToNibbles(_mm_loadu_si128(src + 1), valid1);
    // A bad pair in this block: the plain loop writes up to it and stops there.
    if (_mm_movemask_epi8(_mm_and_si128(valid0, valid1)) != 0xFFFF) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                     _mm_packus_epi16(JoinPairs(first), JoinPairs(second)));
  }
  // Eight pairs more in one step, which short texts (a frame's data) are.
  if (k + 8 <= pairs) {
    __m128i valid;
    const __m128i nibbles =
        DigitsToNibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 2 * k)), valid);
    if (_mm_movemask_epi8(valid) == 0xFFFF) {
      const __m128i joined = JoinPairs(nibbles);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(joined, joined));
      k += 8;
    }
  }
  return k + DecodeHexReference(text + 2 * k, pairs - k, out + k);
}

#else

void EncodeHex(const uint8_t* bytes, size_t count, char* out) noexcept {
  EncodeHexReference(bytes, count, out);
}

size_t DecodeHex(const char* text, size_t pairs, uint8_t* out) noexcept {
  return DecodeHexReference(text, pairs, out);
}

#endif

}  // namespace detail

void EncodeHex(const uint8_t* bytes, size_t count, char* out) noexcept {
  detail::EncodeHex(bytes, count, out);
}

size_t DecodeHex(const char* text, size_t pairs, uint8_t* out) noexcept {
  return detail::DecodeHex(text, pairs, out);
}

std::string ByteArray::Text() const {
  std::string text =
      detail::OrOutOfMemory([&] { return std::string(2 * static_cast<size_t>(Count()), '\0'); });
  if (Count() > 0) detail::EncodeHex(store_.data(), static_cast<size_t>(Count()), text.data());
  return text;
}

void ByteArray::Text(std::string_view Value) {
  // Lengths count characters (UTF-16 code units) of the text, so a text with
  // characters beyond ASCII is measured in its code page form; such
  // characters are never hexadecimal digits.
  std::string converted;
  if (!detail::IsAscii(Value)) {
    converted = detail::OrOutOfMemory([&] { return detail::ToCodePage1252(Value); });
    Value = converted;
  }
  if (Value.size() % 2 != 0) Raise(errors::kLibrary, messages::kOddText);
  const size_t pairs = Value.size() / 2;
  if (pairs > static_cast<size_t>(std::numeric_limits<int32_t>::max())) Raise(errors::kOverflow);
  Count(static_cast<int32_t>(pairs));
  if (pairs == 0) return;
  if (detail::DecodeHex(Value.data(), pairs, store_.data()) != pairs) {
    Raise(errors::kTypeMismatch);
  }
}

}  // namespace ombrix
