#include "ombrix/bytes/byte_array.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <span>
#include <vector>

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/frame/memory_property_bag.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(ByteArrayTest, NewArrayCountAndHighIndex) {
  auto a = ByteArray::New();
  EXPECT_EQ((std::vector<int32_t>{a->Count(), a->LowIndex(), a->HighIndex(), a->Sum()}),
            (std::vector<int32_t>{0, 1, 0, 0}));
  EXPECT_TRUE(a->Value().IsEmpty());
  ExpectError([&] { a->Item(1); }, 9);
  a->Count(3);
  a->Item(2, 256);  // Item keeps the low 8 bits
  a->Item(3, -1);
  a->Item(1, 7);
  a->Count(5);  // kept bytes stay, new ones are 0
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{7, 0, 255, 0, 0}));
  a->HighIndex(2);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{7, 0}));
  ExpectError([&] { a->Count(-1); }, 1000, testing::kNegativeCount);
  ExpectError([&] { a->HighIndex(-1); }, 1000, testing::kNegativeCount);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{7, 0}));
  // Made from bytes: those bytes from the given LowIndex.
  const std::vector<uint8_t> bytes = {0, 0x7F, 0xFF};
  auto from_span = ByteArray::New(bytes, -5);
  EXPECT_EQ(Bytes(*from_span), bytes);
  EXPECT_EQ(from_span->LowIndex(), -5);
  EXPECT_EQ(ByteArray::New(std::span<const uint8_t>(), kMin)->HighIndex(), kMax);
}

TEST(ByteArrayTest, LowIndexMovesIndexesNotBytes) {
  auto a = ByteArray::New({10, 20, 30, 40});
  a->LowIndex(-10);
  EXPECT_EQ((*a)[-10], 10);
  EXPECT_EQ(a->Item(-7), 40);
  ExpectError([&] { a->Item(-6); }, 9);
  ExpectError([&] { a->Item(-11, 1); }, 9);

  // At the ends of the 32-bit range no wrapped difference may reach a byte.
  a->LowIndex(kMax);
  EXPECT_EQ(a->Item(kMax), 10);
  EXPECT_EQ(a->HighIndex(), kMin + 2);  // wraps, as 32-bit index arithmetic does
  ExpectError([&] { a->Item(kMin); }, 9);
  a->LowIndex(kMin);
  EXPECT_EQ(a->Item(kMin + 3), 40);
  ExpectError([&] { a->Item(kMax); }, 9);
  a->HighIndex(kMin);  // Count = kMin - kMin + 1
  EXPECT_EQ(a->Count(), 1);
}

TEST(ByteArrayTest, CheckComparesCommonIndexesOfPlainArraysOnly) {
  auto a = ByteArray::New({1, 2, 3, 4});
  auto b = ByteArray::New({3, 4, 9}, 3);
  EXPECT_TRUE(a->Check(*b));
  EXPECT_TRUE(b->Check(*a));
  b->Item(3, 8);
  EXPECT_FALSE(a->Check(*b));
  b->LowIndex(5);  // no common index
  EXPECT_TRUE(a->Check(*b));
  EXPECT_TRUE(ByteArray::New()->Check(*a));
  auto far = ByteArray::New({1}, kMax);
  auto low = ByteArray::New({2}, kMin);
  EXPECT_TRUE(far->Check(*low));
  ExpectError([&] { (void)a->Check(*a->Interval(1, 2)); }, 97);
}

TEST(ByteArrayTest, CopyGivesAnIndependentArrayAndCopyLetKeepsLowIndex) {
  auto a = ByteArray::New({5, 6, 7}, 5);
  auto copy = a->Copy();
  EXPECT_EQ(copy->LowIndex(), 1);
  EXPECT_EQ(Bytes(*copy), Bytes(*a));
  copy->Item(1, 0);
  EXPECT_EQ(a->Item(5), 5);

  auto b = ByteArray::New({1, 2, 3, 4, 5}, -2);
  a->Copy(*b);
  EXPECT_EQ(a->LowIndex(), 5);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  a->Copy(*a);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

TEST(ByteArrayTest, WriteBytesChecksBothRangesBeforeCopying) {
  auto a = ByteArray::New({1, 2, 3, 4}, 0);
  SafeArray<uint8_t> dest(10, 3);
  a->WriteBytes(dest, 10, 1, 3);
  EXPECT_EQ(dest[10], 2);
  EXPECT_EQ(dest[12], 4);
  const SafeArray<uint8_t> before = dest;
  for (const auto& [to, from, count] :
       {std::array{9, 0, 1}, {11, 0, 3}, {10, -1, 1}, {10, 2, 3}, {kMax, 0, 2}}) {
    ExpectError([&] { a->WriteBytes(dest, to, from, count); }, 9);
  }
  SafeArray<uint8_t> none;
  ExpectError([&] { a->WriteBytes(none, 0, 0, 1); }, 9);
  EXPECT_EQ(dest, before);
  ByteArray::New()->WriteBytes(none, 99, -5, 0);  // Count 0 tests nothing
}

TEST(ByteArrayTest, ValueLetTakesEveryKind) {
  auto a = ByteArray::New({9, 9, 9}, 4);
  const std::pair<Variant, std::vector<uint8_t>> cases[] = {
      {Variant("AB"), {65, 66}},
      // Code page 1252; an emoji is two code units.
      {Variant("é€\xF0\x9F\x98\x80"), {0xE9, 0x80, '?', '?'}},
      {Variant(""), {}},
      {Variant(SafeArray<uint8_t>(1, std::vector<uint8_t>{7, 8, 9})), {7, 8, 9}},
      {Variant(SafeArray<uint8_t>()), {}},
      {Variant(SafeArray<Variant>(0, {Variant(1), Variant("x"), Variant(2.5), Variant(300)})),
       {1, 0, 2, 0}},
      {Variant(200), {200}},
      {Variant::Null(), {}},
  };
  for (const auto& [value, bytes] : cases) {
    a->Value(value);
    EXPECT_EQ(Bytes(*a), bytes);
  }
  EXPECT_EQ(a->LowIndex(), 4);
  a->Value(Variant("x"));
  const Variant got = a->Value();  // a zero-based copy, not the array's bytes
  a->Item(4, 0);
  EXPECT_EQ(*got.ByteArray(), SafeArray<uint8_t>(0, std::vector<uint8_t>{120}));

  // A scalar that does not convert leaves Count 1 and the former first byte.
  a->Value(Variant(SafeArray<uint8_t>(0, std::vector<uint8_t>{5, 6})));
  ExpectError([&] { a->Value(Variant(256)); }, 6);
  EXPECT_EQ(Bytes(*a), (std::vector<uint8_t>{5}));
  auto empty = ByteArray::New();
  ExpectError([&] { empty->Value(Variant(true)); }, 6);
  EXPECT_EQ(Bytes(*empty), (std::vector<uint8_t>{0}));
}

TEST(ByteArrayTest, SkipCountsTheRunFromStart) {
  auto a = ByteArray::New({0, 0, 5});
  for (const auto& [start, run] : {std::pair{1, 2}, {3, 0}, {4, 0}, {kMax, 0}}) {
    EXPECT_EQ(a->Skip(0, start), run);
  }
  EXPECT_EQ(ByteArray::New({0, 0, 0})->Skip(0, 2), 2);
  ExpectError([&] { a->Skip(0, 0); }, 9);
  ExpectError([&] { a->Skip(0, kMin); }, 9);
}

TEST(ByteArrayTest, SumWrapsOnlyPastTheLongRange) {
  auto a = ByteArray::New();
  a->Count(300);
  a->Fill(255);
  EXPECT_EQ(a->Sum(), 300 * 255);
  a->Count(8421505);  // 255 * 8421505 = 2^31 + 127 wraps
  a->Fill(255);
  EXPECT_EQ(a->Sum(), static_cast<int32_t>(static_cast<uint32_t>(255u * 8421505u)));
  ByteArray::New()->Fill(7);  // an empty array stays empty
}

TEST(ArrayBoundsTest, SegmentsAndTheirArrays) {
  auto a = ByteArray::New({1, 2, 3, 4}, 10);
  auto bounds = a->Bounds();
  a->Count(1);  // a snapshot: unchanged by the array
  EXPECT_EQ(bounds->LowIndex(), 10);
  EXPECT_EQ(bounds->HighIndex(), 13);
  auto filled = bounds->ByteArray(255);
  EXPECT_EQ(filled->LowIndex(), 10);
  EXPECT_EQ(Bytes(*filled), (std::vector<uint8_t>(4, 255)));
  EXPECT_EQ(Bytes(*bounds->ByteArray()), (std::vector<uint8_t>(4, 0)));
  auto empty = ByteArray::New()->Bounds()->ByteArray();
  EXPECT_EQ(empty->Count(), 0);
  EXPECT_EQ(empty->LowIndex(), 1);
}

TEST(ByteArrayTest, PersistenceRoundTripsAndReadsHandWrittenBags) {
  auto bag = MemoryPropertyBag::New();
  ByteArray::New({1, 171}, -3)->WriteProperties(*bag);
  EXPECT_EQ(bag->ReadProperty("Text").ToString(), "01AB");
  EXPECT_TRUE(bag->ReadProperty("LowIndex").IsLong());
  auto loaded = ByteArray::Load(*bag);
  EXPECT_EQ(loaded->LowIndex(), -3);
  EXPECT_EQ(loaded->Text(), "01AB");
  // A new array writes only defaults, and an empty bag loads a new array.
  auto empty_bag = MemoryPropertyBag::New();
  ByteArray::New()->WriteProperties(*empty_bag);
  EXPECT_TRUE(empty_bag->Keys().empty());
  EXPECT_EQ(ByteArray::Load(*empty_bag)->LowIndex(), 1);

  bag->WriteProperty("Text", Variant("0aff"));
  bag->WriteProperty("LowIndex", Variant("12"));
  EXPECT_EQ(ByteArray::Load(*bag)->Item(13), 255);
  // A bad text fails after LowIndex is read; a bad LowIndex before the text.
  bag->WriteProperty("LowIndex", Variant(-5));
  bag->WriteProperty("Text", Variant("0G"));
  auto b = ByteArray::New({3, 4});
  ExpectError([&] { b->ReadProperties(*bag); }, 13);
  EXPECT_EQ(b->LowIndex(), -5);
  bag->WriteProperty("LowIndex", Variant(3e9));
  ExpectError([&] { b->ReadProperties(*bag); }, 6);
  bag->WriteProperty("LowIndex", Variant("abc"));
  ExpectError([&] { b->ReadProperties(*bag); }, 13);
  EXPECT_EQ(b->LowIndex(), -5);
}

}  // namespace
}  // namespace ombrix
