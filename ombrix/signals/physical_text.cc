#include "ombrix/signals/physical_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

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

// "00" to "99", so that digits are written two at a time.
constexpr std::array<char, 200> kPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

// Writes the two digits of `pair` (below 100) just before `at`.
char* PutPair(char* at, unsigned pair) {
  at -= 2;
  std::memcpy(at, kPairs.data() + 2 * pair, 2);
  return at;
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
      at = PutPair(at, static_cast<unsigned>(magnitude % 100));
      magnitude /= 100;
    }
    if (decimals == 1) {
      *--at = static_cast<char>('0' + static_cast<int>(magnitude % 10));
      magnitude /= 10;
    }
    *--at = '.';
  }
  // The whole part, "0" when there is none.
  for (; magnitude >= 100; magnitude /= 100)
    at = PutPair(at, static_cast<unsigned>(magnitude % 100));
  if (magnitude >= 10) {
    at = PutPair(at, static_cast<unsigned>(magnitude));
  } else {
    *--at = static_cast<char>('0' + static_cast<int>(magnitude));
  }
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
  Wide raw = decoded.Bits;
  if (signed_ && length_ < 64 && (decoded.Bits >> (length_ - 1) & 1) != 0) {
    raw -= Wide{1} << length_;
  } else if (signed_ && length_ == 64) {
    raw = static_cast<int64_t>(decoded.Bits);
  }
  // |raw| < 2^64 and both scaled numbers < 10^15 < 2^50: no overflow.
  const Wide units = raw * factor_ + offset_;
  // Written backwards at the end of a buffer, then moved to `out`. Most
  // values fit 64 bits, whose divisions by 10 are a multiplication; wider
  // ones divide slowly.
  std::array<char, kMost> buffer;
  char* const end = buffer.data() + buffer.size();
  const WideMagnitude magnitude = units < 0 ? WideMagnitude(-units) : WideMagnitude(units);
  char* const start =
      magnitude >> 64 == 0
          ? WriteBackwards(end, units < 0, static_cast<uint64_t>(magnitude), decimals_)
          : WriteBackwards(end, units < 0, magnitude, decimals_);
  const auto count = static_cast<size_t>(end - start);
  std::memcpy(out, start, count);
  return out + count;
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
