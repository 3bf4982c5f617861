#include "ombrix/memory/memory_image.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "ombrix/frame/memory_property_bag.h"
#include "ombrix/memory/memory_map.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using ombrix::testing::Describe;

using testing::ExpectError;

// Joins in every direction are in the random test below; here, whose
// arrays an image keeps and what it refuses.
TEST(MemoryImageTest, TouchingArraysJoinAndOverlapsAreRefused) {
  auto image = MemoryImage::New();
  EXPECT_EQ(image->MemoryRead(0, 1), nullptr);
  auto first = ByteArray::New({1, 2}, 100);
  image->Add(*first);
  image->Add(*ByteArray::New({5, 6}, 104));
  first->Item(100, 9);  // the caller's array is not the image's
  first->LowIndex(0);
  auto lower = image->Item(1);
  image->Add(*ByteArray::New({3, 4}, 102));
  EXPECT_EQ(Describe(*image), "100:010203040506 ");
  EXPECT_EQ(image->Item(1), lower);  // the lower array grew in place
  for (const int32_t at : {101, 99}) {
    ExpectError(
        [&] {
          image->Add(*ByteArray::New({0, 0}, at));
        },
        1000, "Segments mémoire en recouvrement");
  }
  for (const int32_t at : {-1, INT32_MAX})
    ExpectError([&] { image->Add(*ByteArray::New({0, 0}, at)); }, 5);
  // A view whose bytes are gone fails while being read, before anything changes.
  ExpectError([&] { image->Add(*ByteArray::New({1, 2})->Interval(2, 3)); }, 9);
  EXPECT_EQ(Describe(*image), "100:010203040506 ");
}

TEST(MemoryImageTest, ReadsAndWritesByAddress) {
  auto image = MemoryImage::New();
  image->Add(*ByteArray::New({1, 2, 3, 4, 5, 6}, 100));
  auto read = image->MemoryRead(101, 3);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->LowIndex(), 101);
  EXPECT_EQ(read->Text(), "020304");
  EXPECT_EQ(image->MemoryRead(101, INT32_MAX), nullptr);
  EXPECT_EQ(image->MemoryRead(103, 0)->Text(), "040506");
  ExpectError([&] { (void)image->MemoryRead(101, -2); }, 1000,
              "La propriété ByteAray.Count ne peut pas être négative");
  // A trail whose parent has shrunk has a negative Count: the copy Add makes refuses it.
  auto parent = ByteArray::New({1, 2, 3, 4});
  auto tail = parent->Interval(4);
  parent->Count(1);
  ExpectError([&] { image->Add(*tail); }, 1000,
              "La propriété ByteAray.Count ne peut pas être négative");
  EXPECT_EQ(Describe(*image), "100:010203040506 ");

  image->MemoryWrite(*ByteArray::New({0xAA, 0xBB}, 102));
  EXPECT_EQ(Describe(*image), "100:0102AABB0506 ");
  ExpectError([&] { image->MemoryWrite(*ByteArray::New({0, 0}, 105)); }, 9);
  auto none = ByteArray::New();
  none->LowIndex(101);
  image->MemoryWrite(*none);  // no bytes: nothing written
  EXPECT_EQ(Describe(*image), "100:0102AABB0506 ");

  image->Holding(101)->Item(100, 0x77);  // stored arrays are the image's own
  EXPECT_EQ(image->MemoryRead(100, 1)->Text(), "77");
  EXPECT_EQ(image->Holding(101), image->Item(1));
  ExpectError([&] { image->Item(2); }, 9);
}

TEST(MemoryImageTest, MapsAndPersistence) {
  auto image = MemoryImage::New();
  image->Add(*ByteArray::New({1, 2, 3, 4}, 0));
  image->Add(*ByteArray::New({5, 6, 7, 8, 9, 10, 11, 12}, 16));
  std::shared_ptr<MemoryMap> map;
  image->GetMap(map);
  ASSERT_EQ(map->Count(), 2);
  EXPECT_EQ(map->Item(2)->HighIndex(), 23);
  EXPECT_EQ(image->Map()->BytesCount(), 12);

  auto bag = MemoryPropertyBag::New();
  image->WriteProperties(*bag);
  EXPECT_EQ(bag->Keys(), (std::vector<std::string>{"Count", "Start0", "Text0", "Start1", "Text1"}));
  EXPECT_EQ(bag->ReadProperty("Text1").ToString(), "05060708090A0B0C");
  EXPECT_EQ(Describe(*MemoryImage::Load(*bag)), Describe(*image));
  bag->WriteProperty("Text1", Variant("0G"));
  auto loaded = MemoryImage::New();
  ExpectError([&] { loaded->ReadProperties(*bag); }, 13);
  EXPECT_EQ(Describe(*loaded), "0:01020304 ");
}

// Random adds, reads and writes against a map from address to byte; runs
// of reads and writes without adds let the image index its arrays, and the
// adds after them must drop that index.
TEST(MemoryImageTest, MatchesAByteModelOnRandomOperations) {
  std::mt19937 random(23);
  for (int round = 0; round < 10; ++round) {
    auto image = MemoryImage::New();
    std::map<int32_t, uint8_t> model;
    const auto holds = [&](int32_t start, int32_t count) {
      for (int32_t a = start; a < start + count; ++a) {
        if (!model.count(a)) return false;
      }
      return true;
    };
    for (int step = 0; step < 1500; ++step) {
      const auto start = static_cast<int32_t>(random() % 1500);
      const auto count = static_cast<int32_t>(1 + random() % 20);
      auto bytes = ByteArray::New();
      bytes->Count(count);
      bytes->LowIndex(start);
      for (int32_t a = start; a < start + count; ++a)
        bytes->Item(a, static_cast<int32_t>(random()));
      bool free = true;
      for (int32_t a = start; a < start + count; ++a) free = free && !model.count(a);
      const bool adds = (step / 300) % 2 == 0;
      switch (adds ? random() % 3 : 1 + random() % 2) {
        case 0:
          if (free) {
            image->Add(*bytes);
            for (int32_t a = start; a < start + count; ++a)
              model[a] = static_cast<uint8_t>(bytes->Item(a));
          } else {
            ExpectError([&] { image->Add(*bytes); }, 1000, "Segments mémoire en recouvrement");
          }
          break;
        case 1: {
          // Held bytes come back only from one array: touching arrays are joined,
          // so a run of held addresses is always one array.
          const auto read = image->MemoryRead(start, count);
          ASSERT_EQ(read != nullptr, holds(start, count)) << "step " << step;
          const auto holder = image->Holding(start);  // the stored array itself, or none
          ASSERT_EQ(holder != nullptr, model.count(start) == 1);
          if (holder) {
            ASSERT_EQ(holder->Item(start), model[start]);
          }
          if (read) {
            for (int32_t a = start; a < start + count; ++a) ASSERT_EQ(read->Item(a), model[a]);
          }
          break;
        }
        default:
          if (holds(start, count)) {
            image->MemoryWrite(*bytes);
            for (int32_t a = start; a < start + count; ++a)
              model[a] = static_cast<uint8_t>(bytes->Item(a));
          } else {
            ExpectError([&] { image->MemoryWrite(*bytes); }, 9);
          }
      }
    }
    // Layout: every array is a maximal run of held addresses, in order.
    int32_t expected_arrays = 0;
    int32_t previous = -2;
    for (const auto& [address, value] : model) {
      if (address != previous + 1) ++expected_arrays;
      previous = address;
    }
    ASSERT_EQ(image->Count(), expected_arrays);
    ASSERT_EQ(image->BytesCount(), static_cast<int32_t>(model.size()));
    for (const auto& array : *image) {
      for (int32_t a = array->LowIndex(); a <= array->HighIndex(); ++a)
        ASSERT_EQ(array->Item(a), model[a]);
    }
  }
}

}  // namespace
}  // namespace ombrix
