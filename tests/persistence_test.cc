#include <gtest/gtest.h>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/frame/memory_property_bag.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;
using testing::MakeArray;

TEST(ByteArrayPersistenceTest, RoundTripsThroughABag) {
  auto bag = MemoryPropertyBag::New();
  MakeArray({1, 171}, -3)->WriteProperties(*bag);
  EXPECT_EQ(bag->ReadProperty("Text").ToString(), "01AB");
  EXPECT_TRUE(bag->ReadProperty("LowIndex").IsLong());
  auto loaded = ByteArray::Load(*bag);
  EXPECT_EQ(loaded->LowIndex(), -3);
  EXPECT_EQ(Bytes(*loaded), (std::vector<uint8_t>{1, 171}));

  // A new array writes only defaults, and an empty bag loads a new array.
  auto empty_bag = MemoryPropertyBag::New();
  ByteArray::New()->WriteProperties(*empty_bag);
  EXPECT_TRUE(empty_bag->Keys().empty());
  auto fresh = ByteArray::Load(*empty_bag);
  EXPECT_EQ(fresh->LowIndex(), 1);
  EXPECT_EQ(fresh->Count(), 0);
}

TEST(ByteArrayPersistenceTest, ReadsHandWrittenBags) {
  auto bag = MemoryPropertyBag::New();
  bag->WriteProperty("Text", Variant("0aff"));
  bag->WriteProperty("LowIndex", Variant("12"));
  auto a = ByteArray::New();
  a->ReadProperties(*bag);
  EXPECT_EQ(a->LowIndex(), 12);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{10, 255}));

  // A bad text fails after LowIndex is read; a bad LowIndex before the text.
  bag->WriteProperty("LowIndex", Variant(-5));
  bag->WriteProperty("Text", Variant("0G"));
  auto b = MakeArray({3, 4});
  ExpectError([&] { b->ReadProperties(*bag); }, 13);
  EXPECT_EQ(b->LowIndex(), -5);
  bag->WriteProperty("Text", Variant("ABC"));
  ExpectError([&] { ByteArray::Load(*bag); }, 1000,
              "la propriété Text doit être de longueur paire");
  bag->WriteProperty("LowIndex", Variant(3e9));
  ExpectError([&] { b->ReadProperties(*bag); }, 6);
  bag->WriteProperty("LowIndex", Variant("abc"));
  ExpectError([&] { b->ReadProperties(*bag); }, 13);
  EXPECT_EQ(b->LowIndex(), -5);
}

}  // namespace
}  // namespace ombrix
