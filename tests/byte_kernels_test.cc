#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ombrix/bytes/byte_kernels_internal.h"

namespace ombrix::detail {
namespace {

// Every length and start alignment up to 300 bytes against the plain loops;
// runs of the pattern end at random places, or not at all.
TEST(ByteKernelsTest, SumAndCountEqualMatchPlainLoops) {
  std::mt19937 random(42);
  std::vector<uint8_t> buffer(320);
  for (size_t length = 0; length <= 300; ++length) {
    SCOPED_TRACE(length);
    const size_t start = random() % 16;
    for (auto& b : buffer) b = static_cast<uint8_t>(random());
    ASSERT_EQ(SumBytes(buffer.data() + start, length),
              SumBytesReference(buffer.data() + start, length));
    const auto pattern = static_cast<uint8_t>(random());
    const size_t run = random() % (length + 1);
    std::fill(buffer.begin() + static_cast<long>(start),
              buffer.begin() + static_cast<long>(start + run), pattern);
    ASSERT_EQ(CountEqual(buffer.data() + start, length, pattern),
              CountEqualReference(buffer.data() + start, length, pattern));
  }
  std::vector<uint8_t> big(1 << 20, 0xFF);
  EXPECT_EQ(SumBytes(big.data(), big.size()), 255u << 20);
  EXPECT_EQ(CountEqual(big.data(), big.size(), 0xFF), big.size());
}

}  // namespace
}  // namespace ombrix::detail
