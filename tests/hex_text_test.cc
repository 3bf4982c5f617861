#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/hex_text_internal.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;
using testing::MakeArray;

TEST(HexTextTest, ReadsAndWritesPairs) {
  auto a = MakeArray({10, 255, 0}, -4);
  EXPECT_EQ(a->Text(), "0AFF00");
  EXPECT_EQ(ByteArray::New()->Text(), "");
  a->Text("0aff00");
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{10, 255, 0}));
  a->Text("0AFF00ab");
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{10, 255, 0, 0xAB}));
  EXPECT_EQ(a->LowIndex(), -4);
  a->Text("");
  EXPECT_EQ(a->Count(), 0);
}

TEST(HexTextTest, OddLengthChangesNothing) {
  auto a = MakeArray({1, 2});
  ExpectError([&] { a->Text("ABC"); }, 1000, "la propriété Text doit être de longueur paire");
  // Lengths count characters: "é" is one character, so "é12" is odd too.
  ExpectError([&] { a->Text("é12"); }, 1000, "la propriété Text doit être de longueur paire");
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{1, 2}));
}

class HexTextRejectTest : public ::testing::TestWithParam<std::string> {};

// The pairs before the bad one are written, later bytes keep their values,
// and bytes the array grew by are 0.
TEST_P(HexTextRejectTest, RaisesAtTheBadPairKeepingLaterBytes) {
  auto a = MakeArray({7});
  const std::string text = "0102" + GetParam() + "04";
  a->Text("AABBCCDD");
  ExpectError([&] { a->Text(text); }, 13);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{1, 2, 0xCC, 0xDD}));
  auto one = MakeArray({7});
  ExpectError([&] { one->Text(GetParam()); }, 13);
  EXPECT_EQ(Bytes(*one), (std::vector<uint8_t>{7}));
}

INSTANTIATE_TEST_SUITE_P(BadPairs, HexTextRejectTest,
                         ::testing::Values("0G", "G0", "&h", " 1", "1 ", "-1", "+1",
                                           std::string("\0"
                                                       "1",
                                                       2),
                                           "é1",
                                           "\xFF"
                                           "0",
                                           "0:", "@1", "`1", "0g"));

// The fast kernels against the plain table loops on random data of every
// length up to 300, with a bad character at a random place half the time.
TEST(HexTextTest, FastKernelsMatchTableLoops) {
  std::mt19937 random(20261206);
  for (size_t length = 0; length <= 300; ++length) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> bytes(length);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    std::string fast(2 * length, '\0'), plain(2 * length, '\0');
    detail::EncodeHex(bytes.data(), length, fast.data());
    detail::EncodeHexReference(bytes.data(), length, plain.data());
    ASSERT_EQ(fast, plain);
    if (length > 0 && random() % 2) fast[random() % fast.size()] = static_cast<char>(random());
    std::vector<uint8_t> decoded_fast(length, 0x5A), decoded_plain(length, 0x5A);
    ASSERT_EQ(detail::DecodeHex(fast.data(), length, decoded_fast.data()),
              detail::DecodeHexReference(fast.data(), length, decoded_plain.data()));
    ASSERT_EQ(decoded_fast, decoded_plain);
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += MakeArray({static_cast<uint8_t>(b)})->Text();
  auto round = ByteArray::New();
  round->Text(all);
  EXPECT_EQ(round->Text(), all);
}

}  // namespace
}  // namespace ombrix
