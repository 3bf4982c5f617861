#include <cstdint>
#include <cstring>

#include "ombrix/frame/text_encoding_internal.h"

namespace ombrix::detail {
namespace {

// Code page 1252 at 0x80..0x9F; 0 where the code page has no character
// (those five bytes keep the C1 control of the same value).
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToCodePageByte(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (unsigned k = 0; k < 32; ++k) {
    if (kHighControls[k] == code_point) return static_cast<char>(0x80 + k);
  }
  return '?';
}

// Length of the UTF-8 sequence led by `lead`, 0 for a byte that cannot lead one.
unsigned SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

bool IsAscii(std::string_view text) noexcept {
  // Eight bytes a step: any high bit anywhere shows in the OR of the words.
  uint64_t any = 0;
  size_t k = 0;
  for (; k + 32 <= text.size(); k += 32) {
    uint64_t words[4];
    std::memcpy(words, text.data() + k, sizeof words);
    any |= words[0] | words[1] | words[2] | words[3];
  }
  for (; k < text.size(); ++k) any |= static_cast<unsigned char>(text[k]);
  return (any & 0x8080808080808080u) == 0;
}

std::string ToCodePage1252(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const unsigned length = SequenceLength(lead);
    char32_t code_point = length == 1 ? lead : (lead & (0x7Fu >> length));
    bool valid = length != 0 && i + length <= utf8.size();
    for (unsigned k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      code_point = (code_point << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (valid && length == 3)
      valid = code_point >= 0x800 && !(code_point >= 0xD800 && code_point <= 0xDFFF);
    if (valid && length == 4) valid = code_point >= 0x10000 && code_point <= 0x10FFFF;
    if (!valid) {
      out.push_back('?');
      ++i;
      continue;
    }
    if (code_point >= 0x10000) {
      out.append("??");  // a surrogate pair: two code units, neither in the code page
    } else {
      out.push_back(ToCodePageByte(code_point));
    }
    i += length;
  }
  return out;
}

}  // namespace ombrix::detail
