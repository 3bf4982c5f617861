#include "ombrix/bytes/detail/byte_access.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/byte_array_testing.h"

namespace ombrix::detail {
namespace {

using testing::Bytes;

// What the seam gives of an array's bytes from index `low` on, `count` of
// them: the store's bytes up to the first one missing.
std::vector<uint8_t> ThroughSeam(const IByteArray& array, int32_t low, int64_t count) {
  const StoreWindow window = ByteAccess::WindowOf(array);
  if (window.array == nullptr) return {};
  const auto bytes = ByteAccess::Available(*window.array, window.origin + low, count);
  return {bytes.begin(), bytes.end()};
}

// For every kind of array, the seam agrees with reading Item by Item.
TEST(ByteAccessTest, GivesWhatItemGivesForEveryKindOfArray) {
  auto array = ByteArray::New({10, 11, 12, 13, 14, 15, 16, 17}, -3);
  const auto interval = array->Interval(-1, 4);
  const auto trail = array->Interval(2);
  const auto view_of_view = interval->Interval(2, 2);
  for (const IByteArray* kind : std::vector<const IByteArray*>{array.get(), interval.get(),
                                                               trail.get(), view_of_view.get()}) {
    EXPECT_EQ(ThroughSeam(*kind, kind->LowIndex(), kind->Count()), Bytes(*kind));
  }
  // Writes through Reach land where Item reads them.
  const StoreWindow window = ByteAccess::WindowOf(*view_of_view);
  ByteAccess::Reach(*window.array, window.origin + view_of_view->LowIndex(), 2)[1] = 0xEE;
  EXPECT_EQ(array->Item(1), 0xEE);
  EXPECT_THROW(ByteAccess::Reach(*window.array, window.origin + 7, 2), Error);

  // A view that reaches past its parent's end gives the bytes before the gap.
  const auto beyond = array->Interval(3, 5);
  EXPECT_EQ(ThroughSeam(*beyond, beyond->LowIndex(), beyond->Count()),
            (std::vector<uint8_t>{16, 17}));
  // A client's own array has no window: it is read through its interface.
  EXPECT_EQ(ByteAccess::WindowOf(testing::ClientArray(array)).array, nullptr);
}

}  // namespace
}  // namespace ombrix::detail
