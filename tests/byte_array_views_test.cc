#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <span>
#include <sstream>
#include <vector>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;

// One suite over the three implementations of the interface, each showing
// the bytes 1, 2, 3, 4 (the views inside a parent with other bytes around).
struct PlainArray {
  static std::shared_ptr<IByteArray> Make(std::shared_ptr<ByteArray>& parent) {
    parent = ByteArray::New({1, 2, 3, 4});
    return parent;
  }
};
struct IntervalView {
  static std::shared_ptr<IByteArray> Make(std::shared_ptr<ByteArray>& parent) {
    parent = ByteArray::New({0xEE, 1, 2, 3, 4, 0xEE}, 0);
    return parent->Interval(1, 4);
  }
};
struct TrailView {
  static std::shared_ptr<IByteArray> Make(std::shared_ptr<ByteArray>& parent) {
    parent = ByteArray::New({0xEE, 0xEE, 1, 2, 3, 4}, 7);
    return parent->Interval(9);
  }
};

template <typename Kind>
class IByteArrayTest : public ::testing::Test {
 protected:
  std::shared_ptr<ByteArray> parent_;
  std::shared_ptr<IByteArray> array_ = Kind::Make(parent_);
};
using Kinds = ::testing::Types<PlainArray, IntervalView, TrailView>;
TYPED_TEST_SUITE(IByteArrayTest, Kinds);

TYPED_TEST(IByteArrayTest, ReadsAndWritesInPlace) {
  IByteArray& a = *this->array_;
  EXPECT_EQ((std::vector<int32_t>{a.Count(), a.LowIndex(), a.HighIndex(), a.Sum()}),
            (std::vector<int32_t>{4, 1, 4, 10}));
  EXPECT_EQ(a.Text(), "01020304");
  EXPECT_EQ(a.Bounds()->HighIndex(), 4);
  // Bytes(), the iterators and printing are the same bytes, in place.
  const std::span<uint8_t> bytes = a.Bytes();
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), Bytes(a));
  std::ostringstream printed;
  printed << a;
  EXPECT_EQ(printed.str(), a.Text());
  a.Item(2, 0x1FF);
  EXPECT_EQ(Bytes(*a.Copy()), (std::vector<uint8_t>{1, 255, 3, 4}));
  EXPECT_EQ(bytes[1], 255);
  a.LowIndex(-1);
  EXPECT_EQ(a.Item(-1), 1);
  EXPECT_EQ(a.HighIndex(), 2);
  a.Text("a0b0c0d0");
  EXPECT_EQ(a.Item(2), 0xD0);
  a.Value(Variant(SafeArray<uint8_t>(5, std::vector<uint8_t>{9, 9, 8, 8})));
  EXPECT_EQ(a.Skip(9, -1), 2);
  std::ranges::fill(a, 6);
  EXPECT_EQ(std::accumulate(a.begin(), a.end(), 0), 24);
  a.Fill(5);
  EXPECT_EQ(a.Sum(), 20);
  EXPECT_EQ(a.Value().ByteArray()->Count(), 4);
  SafeArray<uint8_t> dest(0, 2);
  a.WriteBytes(dest, 0, 0, 2);
  EXPECT_EQ(dest[1], 5);
  a.Interval(0, 2)->Item(1, 0x42);
  EXPECT_EQ(a.Item(0), 0x42);
  a.Copy(*ByteArray::New({1, 2, 3, 4}, 99));
  EXPECT_EQ(a.Text(), "01020304");
  // The parent's bytes around a view are never touched.
  EXPECT_EQ(this->parent_->Sum(), this->parent_.get() == &a ? 10 : 10 + 2 * 0xEE);
  ExpectError([&] { a.Text("0"); }, 1000, testing::kOddText);
  ExpectError([&] { a.Text("01020G04"); }, 13);
  EXPECT_EQ(a.Text(), "01020304");  // views decode first, so nothing was written
}

// Where Text cannot read, Bytes raises the same error; a client's own
// array lends no bytes.
TEST(ByteArrayViewsTest, BytesRaiseWhatTextRaises) {
  auto parent = ByteArray::New({1, 2, 3, 4, 5});
  auto window = parent->Interval(4, 2), trail = parent->Interval(5);
  parent->Count(3);
  for (const auto& view : {window, trail, parent->Interval(0, 2)}) {
    try {
      (void)view->Text();
      ADD_FAILURE() << "Text read a view it cannot";
    } catch (const Error& error) {
      ExpectError([&] { (void)view->Bytes(); }, error.Number(), error.Description());
    }
  }
  EXPECT_TRUE(parent->Interval(4)->Bytes().empty());
  ExpectError([&] { (void)testing::ClientArray(parent).Bytes(); }, 97);
}

TEST(ByteArrayIntervalTest, IndexMappingIsAnchoredToTheStore) {
  auto parent = ByteArray::New({0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99});
  auto view = parent->Interval(3, 4);
  EXPECT_EQ(view->Item(1), 0x22);
  parent->LowIndex(0);
  EXPECT_EQ(view->Item(1), 0x22);  // still store position 2
  // Views of a view refer to the parent: count defaults to the rest.
  EXPECT_EQ(view->Interval(2)->Text(), "334455");
  EXPECT_EQ(view->Interval(7)->Count(), -2);
  ASSERT_NE(std::dynamic_pointer_cast<ByteArrayInterval>(view->Interval(5)), nullptr);
  // Outside the view but inside the parent reaches the parent's bytes.
  view->Item(5, 0xAB);
  EXPECT_EQ(parent->Item(6), 0xAB);
  ExpectError([&] { parent->Interval(10, 1)->Item(2, 0); }, 9);
}

TEST(ByteArrayIntervalTest, RefusalsAndLengthChecks) {
  auto parent = ByteArray::New({1, 2, 3, 4, 5});
  auto view = parent->Interval(2, 3);
  const char* const app = "Application-defined or object-defined error";
  ExpectError([&] { view->Count(2); }, 1000, app, testing::kReadOnlyCount);
  ExpectError([&] { view->HighIndex(2); }, 1000, app, "Propriété HighIndex en lecture seule");
  ExpectError([&] { (void)view->Check(*parent); }, 1000, "non encore implémenté");
  const char* const mid = "Longueur de tableau incorrecte sur la propriété mid";
  ExpectError([&] { view->Text("0102"); }, 1000, mid);
  ExpectError([&] { view->Value(Variant("ab")); }, 1000, mid);
  ExpectError([&] { view->Copy(*ByteArray::New({1, 2, 3, 4})); }, 1000, mid);
  // Views are not checked when made; a negative count fails whole reads.
  auto negative = parent->Interval(2, -2);
  ExpectError([&] { negative->Text(); }, 1000, testing::kNegativeCount);
  ExpectError([&] { negative->Copy(*ByteArray::New()); }, 1000, mid);
  negative->Fill(9);
  auto before = parent->Interval(-1, 2);
  for (const auto& use : {+[](IByteArray& v) { v.Fill(0); }, +[](IByteArray& v) { (void)v.Sum(); },
                          +[](IByteArray& v) { (void)v.Item(1); }}) {
    ExpectError([&] { use(*before); }, 9);
  }
  EXPECT_EQ(parent->Text(), "0102030405");
  auto zero = parent->Interval(3, 1)->Interval(2);  // an Interval view of 0 bytes
  EXPECT_EQ(zero->Count(), 0);
  EXPECT_TRUE(zero->Value().IsEmpty());
  zero->Text("");
  EXPECT_EQ(parent->Interval(6, 0)->Interval(1, 0)->Count(), 0);  // the end of a trail at the end
}

TEST(ByteArrayIntervalTest, SurvivesTheParentShrinkingGrowingAndBeingReleased) {
  auto parent = ByteArray::New({1, 2, 3, 4, 5, 6});
  auto view = parent->Interval(3, 3);  // offset 2
  parent->Count(3);
  EXPECT_EQ(view->Item(1), 3);
  ExpectError([&] { view->Item(2); }, 9);
  ExpectError([&] { view->Fill(0); }, 9);
  ExpectError([&] { view->Text("AABBCC"); }, 9);
  EXPECT_EQ(parent->Text(), "010203");
  parent->Count(6);
  EXPECT_EQ(view->Text(), "030000");
  std::weak_ptr<ByteArray> watch = parent;
  parent.reset();
  view->Text("0A0B0C");
  EXPECT_EQ(watch.lock()->Text(), "01020A0B0C00");
}

TEST(ByteArrayIntervalTest, CopiesBetweenOverlappingViewsMoveTheBlock) {
  auto parent = ByteArray::New({1, 2, 3, 4, 5, 6, 7, 8});
  parent->Interval(3, 5)->Copy(*parent->Interval(1, 5));
  EXPECT_EQ(parent->Text(), "0102010203040508");
  parent->Interval(1, 5)->Copy(*parent->Interval(4, 5));
  EXPECT_EQ(parent->Text(), "0203040508040508");
  // A source view whose bytes are gone fails before anything is written.
  ExpectError([&] { parent->Interval(1, 4)->Copy(*parent->Interval(7, 4)); }, 9);
  EXPECT_EQ(parent->Text(), "0203040508040508");
}

TEST(ByteArrayTrailTest, FollowsAndResizesTheParent) {
  auto parent = ByteArray::New();
  parent->Count(10);
  auto trail = parent->Interval(4);
  ASSERT_NE(std::dynamic_pointer_cast<ByteArrayTrail>(trail), nullptr);
  EXPECT_EQ(trail->HighIndex(), 7);
  parent->Count(12);
  EXPECT_EQ(trail->Count(), 9);
  trail->Count(2);
  EXPECT_EQ(parent->Count(), 5);
  trail->HighIndex(4);
  trail->Text("AABB");
  EXPECT_EQ(parent->Text(), "000000AABB");
  trail->Text("");
  ExpectError([&] { trail->Count(-4); }, 1000, testing::kNegativeCount);
  EXPECT_EQ(parent->Count(), 3);
  // Assigning to an empty trail at the end appends.
  auto end = parent->Interval(parent->HighIndex() + 1);
  end->Copy(*ByteArray::New({7, 8, 9}));
  EXPECT_EQ(end->Sum(), 24);
  // A trail's own Interval: an Interval view with a Count, a trail without.
  EXPECT_NE(std::dynamic_pointer_cast<ByteArrayInterval>(end->Interval(2, 2)), nullptr);
  end->Interval(2)->Value(Variant(SafeArray<uint8_t>(0, std::vector<uint8_t>{1, 2, 3})));
  EXPECT_EQ(parent->Text(), "00000007010203");
}

TEST(ByteArrayTrailTest, ParentBelowTheStartAndLowIndexMapping) {
  auto parent = ByteArray::New({1, 2, 3, 4, 5}, 0);
  auto trail = parent->Interval(3);  // offset 3
  SafeArray<uint8_t> dest(0, 1);
  trail->WriteBytes(dest, 0, 1, 1);
  EXPECT_EQ(dest[0], 4);
  parent->Count(1);
  EXPECT_EQ(trail->Count(), -2);
  trail->Fill(9);
  EXPECT_EQ(trail->Sum(), 0);
  trail->Text("0A0B");
  EXPECT_EQ(parent->Text(), "0100000A0B");
  // A write whose copy fails keeps the resize but writes no byte.
  ExpectError([&] { parent->Interval(-2)->Text("0102030405"); }, 9);
  EXPECT_EQ(parent->Text(), "010000");  // offset -2 + 5 bytes
}

}  // namespace
}  // namespace ombrix
