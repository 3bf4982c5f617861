// Physical values written as exact decimals, checked against the decimal
// value of raw × factor + offset worked out from the DBC text itself.
#include "ombrix/signals/physical_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "formats/dbc/dbc_file.h"
#include "ombrix/frame/decimal_pairs_internal.h"

namespace ombrix::signals {
namespace {

__extension__ using Wide = __int128;

// A decimal text as an integer and its number of decimals: "-0.25" is
// -25, 2; "2.5e-07" is 25, 8.
std::pair<Wide, int> Decimal(const std::string& text) {
  Wide units = 0;
  int decimals = -1;
  bool negative = false;
  const size_t exponent = text.find('e');
  for (const char c : text.substr(0, exponent)) {
    if (c == '-') {
      negative = true;
    } else if (c == '.') {
      decimals = 0;
    } else {
      EXPECT_TRUE(c >= '0' && c <= '9') << text;
      units = units * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    }
  }
  decimals = std::max(decimals, 0);
  if (exponent != std::string::npos) decimals -= std::stoi(text.substr(exponent + 1));
  EXPECT_GE(decimals, 0) << text;
  return {negative ? -units : units, decimals};
}

Wide Power(int n) {
  Wide p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// One message with one 40-bit signal at bit 0 of the given sign, factor and offset.
SignalDatabase OneSignal(bool is_signed, const std::string& factor, const std::string& offset,
                         int length = 40, const std::string& type = "") {
  return formats::ParseDbc("BO_ 1 M: 8 X\n SG_ S : 0|" + std::to_string(length) + "@1" +
                           (is_signed ? "-" : "+") + " (" + factor + "," + offset +
                           ") [0|0] \"\" X\n" + type);
}

TEST(PhysicalTextTest, ValuesAreTheExactDecimalsOfRawTimesFactorPlusOffset) {
  const std::vector<std::string> factors = {"1",     "0.1",   "0.01",    "0.05",     "0.25",
                                            "0.001", "1e-05", "3.3",     "0.333333", "0.0625",
                                            "10",    "-0.5",  "2.5e-07", "1000"};
  const std::vector<std::string> offsets = {"0", "-40", "-273.15", "1000000", "0.5", "12.345"};
  std::mt19937_64 random(11);
  for (const std::string& factor : factors) {
    for (const std::string& offset : offsets) {
      for (const bool is_signed : {false, true}) {
        const SignalDatabase database = OneSignal(is_signed, factor, offset);
        const MessageCodec codec(database.Messages.front());
        const PhysicalText writer(database.Messages.front().Signals.front());
        ASSERT_TRUE(writer.Exact()) << factor << " " << offset;
        const auto [f, f_decimals] = Decimal(factor);
        const auto [o, o_decimals] = Decimal(offset);
        for (int k = 0; k < 300; ++k) {
          std::vector<uint8_t> frame(8);
          const uint64_t bits = random() >> (24 + random() % 40);
          for (size_t b = 0; b < 5; ++b) frame[b] = static_cast<uint8_t>(bits >> (8 * b));
          const DecodedSignal decoded = codec.Decode(frame).front();
          const Wide raw =
              is_signed && (bits >> 39 & 1) ? Wide(bits) - (Wide{1} << 40) : Wide(bits);
          const std::string text = writer(decoded);
          const auto [units, decimals] = Decimal(text);
          // text = units / 10^decimals = raw × f / 10^fd + o / 10^od, cross-multiplied.
          const int common = std::max({decimals, f_decimals, o_decimals});
          EXPECT_TRUE(units * Power(common - decimals) ==
                      raw * f * Power(common - f_decimals) + o * Power(common - o_decimals))
              << text << " for raw " << static_cast<int64_t>(raw) << " (" << factor << ", "
              << offset << ")";
          // The shortest such text: no zero ends its decimals, none leads it.
          EXPECT_FALSE(decimals > 0 && text.back() == '0') << text;
          EXPECT_FALSE(text.size() > 1 && text[text[0] == '-'] == '0' &&
                       text[(text[0] == '-') + 1] != '.')
              << text;
          // And the double of that text is the decoded value, up to the
          // rounding of the double product and sum.
          const double terms =
              std::abs(decoded.Raw * std::stod(factor)) + std::abs(std::stod(offset));
          EXPECT_LE(std::abs(std::stod(text) - decoded.Value),
                    terms * 2 * std::numeric_limits<double>::epsilon())
              << text;
        }
      }
    }
  }
}

TEST(PhysicalTextTest, TextsAtTheEdges) {
  const auto text_of = [](const SignalDatabase& database, std::vector<uint8_t> frame) {
    const MessageCodec codec(database.Messages.front());
    return PhysicalText(database.Messages.front().Signals.front())(codec.Decode(frame).front());
  };
  const std::vector<uint8_t> ones(8, 0xFF);
  // Every digit of 64-bit raw values, which a double does not hold.
  EXPECT_EQ(text_of(OneSignal(false, "1", "0", 64), ones), "18446744073709551615");
  EXPECT_EQ(text_of(OneSignal(true, "1", "0", 64), {0, 0, 0, 0, 0, 0, 0, 0x80}),
            "-9223372036854775808");
  EXPECT_EQ(text_of(OneSignal(false, "0.001", "0", 64), ones), "18446744073709551.615");
  // A product beyond 64 bits from a raw value within them.
  EXPECT_EQ(text_of(OneSignal(true, "0.5", "0.25", 64), {0, 0, 0, 0, 0, 0, 0, 0x80}),
            "-4611686018427387903.75");
  EXPECT_EQ(text_of(OneSignal(false, "1", "3", 64), {0, 0, 0xE8, 0x89, 0x04, 0x23, 0xC7, 0x8A}),
            "10000000000000000003");
  // Raw 3 at 0.1 is 0.3, though the double product is 0.30000000000000004.
  EXPECT_EQ(text_of(OneSignal(false, "0.1", "0"), {3, 0, 0, 0, 0}), "0.3");
  EXPECT_EQ(text_of(OneSignal(false, "1e-05", "0"), {3, 0, 0, 0, 0}), "0.00003");
  EXPECT_EQ(text_of(OneSignal(false, "0.01", "-273.15"), {0, 0, 0, 0, 0}), "-273.15");
  EXPECT_EQ(text_of(OneSignal(false, "0.01", "-273.15"), {0xB3, 0x6A, 0, 0, 0}), "0");
  EXPECT_EQ(text_of(OneSignal(false, "-1", "0"), {0, 0, 0, 0, 0}), "0");
  EXPECT_EQ(text_of(OneSignal(true, "1", "0", 1), {1}), "-1");
  EXPECT_EQ(text_of(OneSignal(false, "1000", "0"), {0xE8, 3, 0, 0, 0}), "1000000");
  // Float signals and factors of too many digits: the shortest text of the double.
  const SignalDatabase single = OneSignal(false, "1", "0", 32, "SIG_VALTYPE_ 1 S : 1;\n");
  EXPECT_FALSE(PhysicalText(single.Messages.front().Signals.front()).Exact());
  EXPECT_EQ(text_of(single, {0, 0, 0xC0, 0x3F}), "1.5");
  const SignalDatabase fine = OneSignal(false, "1e-17", "0");
  EXPECT_FALSE(PhysicalText(fine.Messages.front().Signals.front()).Exact());
  EXPECT_EQ(text_of(fine, {3, 0, 0, 0, 0}), "3e-17");
  const SignalDatabase wide = OneSignal(false, "0.1234567890123456", "0");
  EXPECT_FALSE(PhysicalText(wide.Messages.front().Signals.front()).Exact());
}

// The digit writer shared by the number writers against std::to_chars:
// either side of every power of ten, and random values of every length.
TEST(PhysicalTextTest, DecimalDigitsAsToCharsWritesThem) {
  std::vector<uint64_t> values = {0, std::numeric_limits<uint64_t>::max()};
  for (uint64_t power = 1; power <= 1'000'000'000'000'000'000u; power *= 10) {
    values.insert(values.end(), {power - 1, power, power + 1, power * 9 + 9});
  }
  std::mt19937_64 random(3);
  for (int k = 0; k < 10000; ++k) values.push_back(random() >> (random() % 64));
  for (const uint64_t value : values) {
    char ours[20], theirs[20];
    const char* const end = ombrix::detail::WriteDecimal(ours, value);
    const char* their_end = std::to_chars(theirs, theirs + 20, value).ptr;
    ASSERT_EQ(std::string_view(ours, end), std::string_view(theirs, their_end));
  }
}

}  // namespace
}  // namespace ombrix::signals
