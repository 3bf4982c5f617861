#include "ombrix/frame/safe_array.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

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

// Short byte arrays live inside the object and longer ones on the heap:
// every change of size across that line keeps the elements, and copies and
// moves carry them whichever side they are on.
TEST(SafeArrayTest, ElementsSurviveEveryChangeOfSizeCopyAndMove) {
  SafeArray<uint8_t> array(1, 0);
  EXPECT_TRUE(array.Allocated());
  EXPECT_EQ(array.data(), nullptr);
  std::vector<uint8_t> model;
  uint8_t next = 1;
  for (const int32_t count : {3, 16, 17, 40, 5, 16, 33, 0, 2}) {
    array.Resize(count);
    model.resize(static_cast<size_t>(count));
    ASSERT_EQ(array.Count(), count);
    ASSERT_EQ(std::vector<uint8_t>(array.data(), array.data() + count), model) << count;
    for (int32_t k = 1; k <= count; ++k) {
      array[k] = next;
      model[static_cast<size_t>(k - 1)] = next++;
    }

    SafeArray<uint8_t> copy = array;
    EXPECT_EQ(copy, array);
    if (count > 0) {
      copy[1] = static_cast<uint8_t>(copy[1] + 1);
      EXPECT_NE(copy, array);
      EXPECT_EQ(array[1], model[0]);
    }
    SafeArray<uint8_t> assigned(7, 1);
    {
      SafeArray<uint8_t> moved = std::move(copy);
      EXPECT_EQ(copy.Count(), 0);  // NOLINT(bugprone-use-after-move): documented
      EXPECT_EQ(copy.data(), nullptr);
      copy.Resize(count);  // overwrites whatever the source held inside itself
      ASSERT_EQ(moved.Count(), count);
      if (count > 0) {
        EXPECT_EQ(moved[1], static_cast<uint8_t>(model[0] + 1));
      }
      assigned = std::move(moved);
      moved.Resize(count);
    }
    EXPECT_EQ(assigned.LBound(), 1);
    ASSERT_EQ(assigned.Count(), count);
    if (count > 0) {
      EXPECT_EQ(assigned[1], static_cast<uint8_t>(model[0] + 1));
      EXPECT_EQ(std::vector<uint8_t>(assigned.data() + 1, assigned.data() + count),
                std::vector<uint8_t>(model.begin() + 1, model.end()));
    }
    assigned = array;
    EXPECT_EQ(assigned, array);
  }
  array.Release();
  EXPECT_FALSE(array.Allocated());
  EXPECT_EQ(array.Count(), 0);
  EXPECT_EQ(array.data(), nullptr);
}

// Assign copies in whatever it is given, this array's own elements included,
// whether they end inside the object or on the heap.
TEST(SafeArrayTest, AssignTakesCopiesEvenOfItsOwnElements) {
  for (const int32_t count : {6, 40}) {
    SafeArray<uint8_t> array(3, count);
    for (int32_t k = 0; k < count; ++k) array[3 + k] = static_cast<uint8_t>(k + 1);
    array.Assign(array.data() + 1, count - 1);
    EXPECT_EQ(array.LBound(), 3);
    ASSERT_EQ(array.Count(), count - 1);
    for (int32_t k = 0; k < count - 1; ++k) EXPECT_EQ(array[3 + k], k + 2) << count;
    array.Assign(array.data() + 2, 3);
    EXPECT_EQ(std::vector<uint8_t>(array.data(), array.data() + 3),
              (std::vector<uint8_t>{4, 5, 6}));
    ExpectError([&] { array.Assign(array.data(), -1); }, 5);
    EXPECT_EQ(array.Count(), 3);
    array.Assign(nullptr, 0);
    EXPECT_TRUE(array.Allocated());
    EXPECT_EQ(array.data(), nullptr);
  }
}

}  // namespace
}  // namespace ombrix
