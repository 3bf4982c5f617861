#include "ombrix/checksum/crc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/checksum/crc_internal.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t count) {
  std::vector<uint8_t> bytes(count);
  std::ranges::generate(bytes, [&] { return static_cast<uint8_t>(random()); });
  return bytes;
}

// One suite over every kernel; those this processor lacks are skipped.
using KernelFunction = uint16_t (*)(uint16_t, const uint8_t*, size_t) noexcept;
inline bool Always() noexcept { return true; }
template <KernelFunction kKernel, bool (*kRuns)() noexcept = Always>
struct Kernel {
  static bool Runs() { return kRuns(); }
  static uint16_t Extend(uint16_t c, const uint8_t* d, size_t n) { return kKernel(c, d, n); }
};

template <typename Kernel>
class Crc16KernelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Kernel::Runs()) GTEST_SKIP() << "this processor lacks the instructions";
  }
};
using Kernels =
    ::testing::Types<Kernel<detail::Crc16Reference>, Kernel<detail::Crc16Table>,
                     Kernel<detail::Crc16Clmul, detail::HasClmul>,
                     Kernel<detail::Crc16Clmul256, detail::HasClmul256>,
                     Kernel<detail::Crc16Clmul512, detail::HasClmul512>, Kernel<detail::Crc16>>;
TYPED_TEST_SUITE(Crc16KernelTest, Kernels);

// The catalogue's check value, then the bit loop at every length and split.
TYPED_TEST(Crc16KernelTest, MatchesTheBitLoopAtEveryLengthAndSplit) {
  const auto* check = reinterpret_cast<const uint8_t*>("123456789");
  EXPECT_EQ(static_cast<uint16_t>(~TypeParam::Extend(0xFFFF, check, 9)), 0x906E);
  std::mt19937 random(11);
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (size_t n : {511, 512, 513, 1024 + 63, 4096, 65536 + 17}) lengths.push_back(n);
  for (const size_t n : lengths) {
    SCOPED_TRACE(n);
    const std::vector<uint8_t> data = RandomBytes(random, n + 7);
    const uint8_t* start = data.data() + n % 7;  // odd alignments
    const auto seed = static_cast<uint16_t>(random());
    const uint16_t expected = detail::Crc16Reference(seed, start, n);
    ASSERT_EQ(TypeParam::Extend(seed, start, n), expected);
    const size_t split = n == 0 ? 0 : random() % n;  // continuing where another call stopped
    ASSERT_EQ(TypeParam::Extend(TypeParam::Extend(seed, start, split), start + split, n - split),
              expected);
  }
}

// The frame "abc" stamped and checked through a library view and through a
// client's own array, which is read and written byte by byte through the
// interface with the same results.
TEST(CrcTest, AbcFrameStampedAndChecked) {
  for (const bool client : {false, true}) {
    auto frame = ByteArray::New({0x61, 0x62, 0x63, 0, 0}, -2);
    testing::ClientArray client_frame(frame);
    IByteArray& target = client ? static_cast<IByteArray&>(client_frame) : *frame;
    auto crc = CRC::New();
    EXPECT_FALSE(crc->Check());
    crc->Append(*target.Interval(-2, 3));
    EXPECT_EQ(crc->Register(), 0x61DA);
    crc->Send(target);
    crc->Send(target);  // the register is unchanged, so the same bytes again
    EXPECT_EQ(frame->Text(), "616263259E");
    crc->Clear();
    crc->Append(target);
    EXPECT_TRUE(crc->Check());
  }
}

TEST(CrcTest, RandomFramesThroughArraysAndViews) {
  std::mt19937 random(3);
  auto crc = CRC::New();
  for (int frame_number = 0; frame_number < 200; ++frame_number) {
    const size_t length = 2 + random() % 2000;
    const size_t lead = random() % 9;  // the frame sits at an odd place in a larger array
    std::vector<uint8_t> data = RandomBytes(random, length - 2);
    std::vector<uint8_t> around(lead, 0xEE);
    around.insert(around.end(), data.begin(), data.end());
    around.resize(lead + length + 3);
    auto buffer = ByteArray::New(around, static_cast<int32_t>(random() % 100) - 50);
    auto frame = buffer->Interval(buffer->LowIndex() + static_cast<int32_t>(lead),
                                  static_cast<int32_t>(length));
    crc->Clear();
    // In two pieces: several Appends make one of the concatenation.
    const auto split = static_cast<int32_t>(random() % (length - 1));
    const auto data_count = static_cast<int32_t>(length) - 2;
    if (split > 0) crc->Append(*frame->Interval(1, split));
    if (split < data_count) crc->Append(*frame->Interval(1 + split, data_count - split));
    ASSERT_EQ(crc->Register(), detail::Crc16Reference(0xFFFF, data.data(), data.size()));
    ASSERT_EQ(CRC::Of(data), static_cast<uint16_t>(~crc->Register()));
    crc->Send(*frame);
    crc->Clear();
    crc->Append(*frame);
    ASSERT_TRUE(crc->Check()) << "frame " << frame_number;
    // The one-call forms: the same bytes, the same verdict.
    auto stamped = ByteArray::New(data);
    CRC::Stamp(*stamped);
    ASSERT_EQ(stamped->Text(), frame->Text());
    ASSERT_TRUE(CRC::Intact(*frame));
    stamped->Item(1, stamped->Item(1) ^ (1 << (frame_number % 8)));
    ASSERT_FALSE(CRC::Intact(*stamped));
  }
}

// Stamp grows what can grow, through the interface alone for a client's
// array; an Interval view refuses, as its Count let does, and stays as it was.
TEST(CrcTest, StampGrowsTheFrameOrChangesNothing) {
  auto parent = ByteArray::New({0x61, 0x62, 0x63});
  CRC::Stamp(*parent->Interval(4));  // an empty trail: the check bytes of nothing
  EXPECT_EQ(parent->Text(), "6162630000");
  auto frame = ByteArray::New({0x61, 0x62, 0x63});
  testing::ClientArray client(frame);
  CRC::Stamp(client);
  EXPECT_EQ(frame->Text(), "616263259E");
  EXPECT_TRUE(CRC::Intact(client));
  ExpectError([&] { CRC::Stamp(*frame->Interval(1, 3)); }, 1000,
              "Application-defined or object-defined error", testing::kReadOnlyCount);
  EXPECT_EQ(frame->Text(), "616263259E");
  // Too short to take the check bytes: error 9, nothing written.
  auto one = ByteArray::New({5});
  ExpectError([&] { CRC::New()->Send(*one); }, 9);
  EXPECT_EQ(one->Text(), "05");
  EXPECT_EQ(CRC::Of({}), 0);
}

TEST(CrcTest, AViewPastItsParentFailsAfterTheBytesItHas) {
  auto parent = ByteArray::New();
  parent->Text("0102030405060708");
  auto view = parent->Interval(5, 10);  // 4 bytes exist, 6 do not
  auto crc = CRC::New();
  ExpectError([&] { crc->Append(*view); }, 9);
  const uint8_t present[] = {5, 6, 7, 8};
  EXPECT_EQ(crc->Register(), detail::Crc16Reference(0xFFFF, present, 4));
  crc->Clear();
  ExpectError([&] { crc->Append(*parent->Interval(-1, 4)); }, 9);  // before the first byte
  EXPECT_EQ(crc->Register(), 0xFFFF);
  auto trail = parent->Interval(3);
  parent->Count(1);  // the trail now has a negative count: nothing to read
  crc->Append(*trail);
  EXPECT_EQ(crc->Register(), 0xFFFF);
}

}  // namespace
}  // namespace ombrix
