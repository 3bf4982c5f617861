#include "ombrix/signals/physical_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "ombrix/frame/decimal_pairs_internal.h"
#include "ombrix/frame/detail/allocation.h"
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

// Writes ±magnitude × 10^-decimals backwards, ending at `end`, without the
// zeros that would end its decimals; returns where the text starts.
template <typename Magnitude>
char* WriteBackwards(char* end, bool negative, Magnitude magnitude, int decimals) {
  while (decimals > 0 && magnitude % 10 == 0) {
    magnitude /= 10;
    --decimals;
  }
  char* at = end;
  if (decimals > 0) {
    for (; decimals >= 2; decimals -= 2) {
      at = ombrix::detail::WritePairBefore(at, static_cast<unsigned>(magnitude % 100));
      magnitude /= 100;
    }
    if (decimals == 1) {
      *--at = static_cast<char>('0' + static_cast<int>(magnitude % 10));
      magnitude /= 10;
    }
    *--at = '.';
  }
  // The whole part, "0" when there is none.
  at = ombrix::detail::WriteDecimalBefore(at, magnitude);
  if (negative) *--at = '-';
  return at;
}

}  // namespace

PhysicalText::PhysicalText(const Signal& signal) : signed_(signal.Signed), length_(signal.Length) {
  if (signal.Type != ValueType::Integer || signal.Length < 1 || signal.Length > 64) return;
  decimals_ = std::max(ombrix::detail::DecimalsOf(signal.Factor),
                       ombrix::detail::DecimalsOf(signal.Offset));
  exact_ = ScaledWhole(signal.Factor, decimals_, factor_) &&
           ScaledWhole(signal.Offset, decimals_, offset_);
}

char* PhysicalText::Write(char* out, const DecodedSignal& decoded) const noexcept {
  if (!exact_) return std::to_chars(out, out + kMost, decoded.Value).ptr;
  // The raw value: the bits, their sign extended for a negative signed one.
  const bool extend = signed_ && length_ < 64 && (decoded.Bits >> (length_ - 1) & 1) != 0;
  const uint64_t bits = extend ? decoded.Bits | ~uint64_t{0} << length_ : decoded.Bits;
  // Written backwards ending halfway through a buffer, then moved to `out`
  // as a block of kMost bytes (one fixed copy, not a call): the text, then
  // bytes the caller writes over.
  std::array<char, 2 * kMost> buffer;
  char* const end = buffer.data() + kMost;
  char* start = nullptr;
  // Most values are worked out in 64 bits; the others in 128, where
  // |raw| < 2^64 and both scaled numbers < 10^15 < 2^50 cannot overflow,
  // though dividing by 10 is then slow.
  int64_t units = 0;
  const bool raw_fits = signed_ || (bits >> 63) == 0;
  if (raw_fits && !__builtin_mul_overflow(static_cast<int64_t>(bits), factor_, &units) &&
      !__builtin_add_overflow(units, offset_, &units)) {
    const uint64_t magnitude =
        units < 0 ? uint64_t{0} - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
    start = WriteBackwards(end, units < 0, magnitude, decimals_);
  } else {
    const Wide raw = raw_fits ? Wide{static_cast<int64_t>(bits)} : Wide{bits};
    const Wide wide = raw * factor_ + offset_;
    const WideMagnitude magnitude = wide < 0 ? WideMagnitude(-wide) : WideMagnitude(wide);
    start = magnitude >> 64 == 0
                ? WriteBackwards(end, wide < 0, static_cast<uint64_t>(magnitude), decimals_)
                : WriteBackwards(end, wide < 0, magnitude, decimals_);
  }
  std::memcpy(out, start, kMost);
  return out + (end - start);
}

void PhysicalText::Append(std::string& text, const DecodedSignal& decoded) const {
  std::array<char, kMost> buffer;
  char* const end = Write(buffer.data(), decoded);
  ombrix::detail::OrOutOfMemory([&] { text.append(buffer.data(), end); });
}

std::string PhysicalText::operator()(const DecodedSignal& decoded) const {
  std::string text;
  Append(text, decoded);
  return text;
}

}  // namespace ombrix::signals
