#include "ombrix/frame/safe_array.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::ExpectError;

TEST(SafeArrayTest, BoundsAndIndexChecks) {
  SafeArray<uint8_t> none;
  EXPECT_FALSE(none.Allocated());
  EXPECT_EQ(none.UBound(), -1);
  SafeArray<uint8_t> array(10, 3);
  EXPECT_EQ(array.UBound(), 12);
  array[12] = 5;
  EXPECT_EQ(array.data()[2], 5);
  ExpectError([&] { array[9] = 1; }, 9);
  ExpectError([&] { array[13] = 1; }, 9);
  ExpectError([] { SafeArray<uint8_t>(0, -1); }, 5);
  ExpectError([] { SafeArray<uint8_t>(std::numeric_limits<int32_t>::max(), 2); }, 5);
  SafeArray<uint8_t> top(std::numeric_limits<int32_t>::max(), 1);
  EXPECT_EQ(top.UBound(), std::numeric_limits<int32_t>::max());
}

}  // namespace
}  // namespace ombrix
