#include "ombrix/signals/physical_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "ombrix/frame/shortest_number_internal.h"

namespace ombrix::signals {
namespace {

__extension__ using Wide = __int128;
__extension__ using WideMagnitude = unsigned __int128;

// x × 10^decimals when that is a whole number below 10^15 whose decimal
// reads back to x exactly; otherwise false.
bool ScaledWhole(double x, int decimals, int64_t& whole) {
  const double scale = std::pow(10.0, decimals);
  const double scaled = std::round(x * scale);
  if (!(std::fabs(scaled) < 1e15) || scaled / scale != x) return false;
  whole = static_cast<int64_t>(scaled);
  return true;
}

// The decimal digits of `magnitude` (below 2^120) into `out`; returns
// their end. Values that fit 64 bits take no 128-bit division.
char* Digits(char* out, WideMagnitude magnitude) {
  constexpr uint64_t kChunk = 10000000000000000000u;  // 10^19
  if (magnitude >> 64 == 0)
    return std::to_chars(out, out + 20, static_cast<uint64_t>(magnitude)).ptr;
  out = std::to_chars(out, out + 20, static_cast<uint64_t>(magnitude / kChunk)).ptr;
  auto low = static_cast<uint64_t>(magnitude % kChunk);
  for (int k = 18; k >= 0; --k) {
    out[k] = static_cast<char>('0' + low % 10);
    low /= 10;
  }
  return out + 19;
}

}  // namespace

PhysicalText::PhysicalText(const Signal& signal) : signed_(signal.Signed), length_(signal.Length) {
  if (signal.Type != ValueType::Integer || signal.Length < 1 || signal.Length > 64) return;
  decimals_ = std::max(ombrix::detail::DecimalsOf(signal.Factor),
                       ombrix::detail::DecimalsOf(signal.Offset));
  exact_ = ScaledWhole(signal.Factor, decimals_, factor_) &&
           ScaledWhole(signal.Offset, decimals_, offset_);
}

void PhysicalText::Append(std::string& text, const DecodedSignal& decoded) const {
  if (!exact_) {
    text += ombrix::detail::ShortestNumber(decoded.Value);
    return;
  }
  Wide raw = decoded.Bits;
  if (signed_ && length_ < 64 && (decoded.Bits >> (length_ - 1) & 1) != 0) {
    raw -= Wide{1} << length_;
  } else if (signed_ && length_ == 64) {
    raw = static_cast<int64_t>(decoded.Bits);
  }
  // |raw| < 2^64 and both scaled numbers < 10^15 < 2^50: no overflow.
  const Wide units = raw * factor_ + offset_;
  if (units == 0) {
    text += '0';
    return;
  }
  std::array<char, 64> buffer;
  const char* const digits = buffer.data();
  const char* end = Digits(buffer.data(), units < 0 ? WideMagnitude(-units) : WideMagnitude(units));
  // The decimals but the zeros that end them; a digit other than 0 stays.
  auto decimals = static_cast<size_t>(decimals_);
  while (decimals > 0 && end[-1] == '0') {
    --end;
    --decimals;
  }
  const auto count = static_cast<size_t>(end - digits);
  // Put together here and appended once. The copies are of fixed sizes,
  // longer than needed (both buffers have the room), which is faster than
  // copies of the exact sizes.
  std::array<char, 128> out;
  char* at = out.data();
  if (units < 0) *at++ = '-';
  if (count > decimals) {
    std::memcpy(at, digits, 40);
    at += count - decimals;
    if (decimals > 0) {
      *at++ = '.';
      std::memcpy(at, end - decimals, 16);
      at += decimals;
    }
  } else {
    *at++ = '0';
    *at++ = '.';
    std::memset(at, '0', 16);
    at += decimals - count;
    std::memcpy(at, digits, 16);
    at += count;
  }
  text.append(out.data(), at);
}

std::string PhysicalText::operator()(const DecodedSignal& decoded) const {
  std::string text;
  Append(text, decoded);
  return text;
}

}  // namespace ombrix::signals
