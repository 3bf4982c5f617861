#include "ombrix/memory/memory_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

#include "ombrix/frame/memory_property_bag.h"
#include "ombrix/memory/memory_map.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::Describe;
using testing::ExpectError;

// Joins in every direction are in the random test below; here, whose
// arrays an image keeps and what it refuses.
TEST(MemoryImageTest, TouchingArraysJoinAndBadArraysAreRefused) {
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
  ExpectError([&] { (void)image->MemoryRead(101, -2); }, 1000, testing::kNegativeCount);
  // A trail whose parent has shrunk has a negative Count: the copy Add makes refuses it.
  auto parent = ByteArray::New({1, 2, 3, 4});
  auto tail = parent->Interval(4);
  parent->Count(1);
  ExpectError([&] { image->Add(*tail); }, 1000, testing::kNegativeCount);
  EXPECT_EQ(Describe(*image), "100:010203040506 ");

  image->MemoryWrite(*ByteArray::New({0xAA, 0xBB}, 102));
  EXPECT_EQ(Describe(*image), "100:0102AABB0506 ");
  ExpectError([&] { image->MemoryWrite(*ByteArray::New({0, 0}, 105)); }, 9);
  auto none = ByteArray::New();
  none->LowIndex(101);
  image->MemoryWrite(*none);  // no bytes: nothing written
  EXPECT_EQ(Describe(*image), "100:0102AABB0506 ");

  // Bytes from the stored array that grows to take them.
  image->Add(106, image->Item(1)->Bytes());
  EXPECT_EQ(Describe(*image), "100:0102AABB05060102AABB0506 ");
  image->Holding(101)->Item(100, 0x77);  // stored arrays are the image's own
  EXPECT_EQ(image->MemoryRead(100, 1)->Text(), "77");
  EXPECT_EQ(image->Holding(101), image->Item(1));
  ExpectError([&] { image->Item(2); }, 9);

  // A handed-out array cut short or moved by its caller: answers within
  // what it still holds, where the image placed it, and nothing past that.
  image->Holding(100)->Count(4);
  EXPECT_EQ(image->MemoryRead(102, 2)->Text(), "AABB");
  EXPECT_EQ(image->MemoryRead(102, 3), nullptr);
  std::vector<uint8_t> three(3);
  EXPECT_FALSE(image->ReadInto(102, three));
  EXPECT_EQ(image->MemoryRead(103, 0)->Text(), "BB");
  EXPECT_EQ(image->Holding(104), nullptr);
  image->Item(1)->LowIndex(0x7FFFFF00);
  EXPECT_EQ(image->MemoryRead(100, 4)->Text(), "7702AABB");
  EXPECT_EQ(image->MemoryRead(0x7FFFFF00, 1), nullptr);
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

// The image a byte model describes: every array a maximal run of held
// addresses, in order.
std::string Layout(const std::vector<int>& model) {
  std::string layout;
  for (size_t a = 0; a < model.size(); ++a) {
    if (model[a] < 0) continue;
    if (a == 0 || model[a - 1] < 0) layout += std::to_string(a) + ":";
    layout += ByteArray::New({static_cast<uint8_t>(model[a])})->Text();
    if (model[a + 1] < 0) layout += " ";
  }
  return layout;
}

// Random adds, reads and writes against a map from address to byte; runs
// of reads and writes without adds let the image index its arrays, and the
// adds after them must drop that index. Arrays are handed out at random
// points (Holding, enumeration), and bytes then go through them.
TEST(MemoryImageTest, MatchesAByteModelOnRandomOperations) {
  std::mt19937 random(23);
  for (int round = 0; round < 10; ++round) {
    auto image = MemoryImage::New();
    // Wide rounds hold a few hundred arrays, so the list splits its blocks.
    const uint32_t range = round % 2 == 0 ? 1500 : 12000;
    std::vector<int> model(range + 20, -1);  // the byte held at each address, or -1
    for (int step = 0; step < 1500; ++step) {
      const auto start = static_cast<int32_t>(random() % range);
      std::vector<uint8_t> data(1 + random() % 20);
      std::ranges::generate(data, [&] { return static_cast<uint8_t>(random()); });
      const auto stretch = std::span(model).subspan(static_cast<size_t>(start), data.size());
      const bool free = std::ranges::all_of(stretch, [](int b) { return b < 0; });
      const bool held = std::ranges::none_of(stretch, [](int b) { return b < 0; });
      const auto bytes = ByteArray::New(data, start);
      // Now and then every array is handed out (Describe enumerates them).
      if (step % 250 == 125) {
        ASSERT_EQ(Describe(*image), Layout(model));
      }
      switch ((step / 300) % 2 == 0 ? random() % 3 : 1 + random() % 2) {
        case 0:
          if (!free) {
            ExpectError([&] { image->Add(*bytes); }, 1000, testing::kOverlap);
            break;
          }
          image->Add(*bytes);
          std::ranges::copy(data, stretch.begin());
          break;
        case 1: {
          // Touching arrays are joined, so a run of held addresses is one array.
          const auto read = image->MemoryRead(start, bytes->Count());
          ASSERT_EQ(read != nullptr, held) << "step " << step;
          ASSERT_TRUE(!read || std::ranges::equal(Bytes(*read), stretch));
          // The same bytes without an array; nothing written when absent.
          std::vector<uint8_t> copied(data.size(), 0xEE);
          ASSERT_EQ(image->ReadInto(start, copied), held);
          ASSERT_TRUE(held ? std::ranges::equal(copied, stretch)
                           : std::ranges::count(copied, 0xEE) == std::ssize(copied));
          const auto holder = image->Holding(start);  // the stored array itself, or none
          ASSERT_EQ(holder ? holder->Item(start) : -1, model[static_cast<size_t>(start)]);
          break;
        }
        default:
          if (!held) {
            ExpectError([&] { image->MemoryWrite(*bytes); }, 9);
            break;
          }
          image->MemoryWrite(*bytes);
          std::ranges::copy(data, stretch.begin());
          if (step % 5 == 0) {
            // The stored array moves its bytes elsewhere and back to its size.
            const auto holder = image->Holding(start);
            const int32_t count = holder->Count();
            holder->Count(count + 4096);
            holder->Count(count);
          }
      }
    }
    ASSERT_EQ(Describe(*image), Layout(model));
    ASSERT_EQ(image->BytesCount(), std::ranges::count_if(model, [](int b) { return b >= 0; }));
  }
}

// Enough separate arrays for the image to search its blocks by halves,
// then the gaps filled in random order until one array is left.
TEST(MemoryImageTest, ManyArraysAreFoundAndJoined) {
  constexpr int32_t kArrays = 20000;
  std::vector<int32_t> order(kArrays);
  for (int32_t k = 0; k < kArrays; ++k) order[static_cast<size_t>(k)] = k;
  std::mt19937 random(5);
  std::ranges::shuffle(order, random);
  auto image = MemoryImage::New();
  const auto byte_at = [](int32_t address) { return static_cast<uint8_t>(address % 251); };
  const auto add = [&](int32_t address) {
    image->Add(address, std::vector<uint8_t>{byte_at(address)});
  };
  for (const int32_t k : order) add(2 * k);
  ASSERT_EQ(image->Count(), kArrays);
  ExpectError([&] { add(2 * order[7]); }, 1000, testing::kOverlap);
  for (const int32_t address : {0, 1, 2 * kArrays - 2, 2 * kArrays - 1, 2 * order[9] + 1}) {
    const auto holder = image->Holding(address);
    ASSERT_EQ(holder ? holder->Item(address) : -1, address % 2 == 0 ? byte_at(address) : -1);
  }
  std::ranges::shuffle(order, random);
  for (const int32_t k : order) {
    if (k < kArrays - 1) add(2 * k + 1);
  }
  ASSERT_EQ(image->Count(), 1);
  const auto bytes = Bytes(*image->Item(1));
  ASSERT_EQ(bytes.size(), size_t{2 * kArrays - 1});
  for (size_t a = 0; a < bytes.size(); ++a) ASSERT_EQ(bytes[a], byte_at(static_cast<int32_t>(a)));
}

}  // namespace
}  // namespace ombrix
