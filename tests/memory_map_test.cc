#include "ombrix/memory/memory_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "ombrix/frame/memory_property_bag.h"
#include "ombrix/memory/memory_image.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"
#include "tests/memory_reference.h"

namespace ombrix {
namespace {

using testing::ExpectError;

using Bounds = std::vector<std::pair<int32_t, int32_t>>;  // low, high of each segment

Bounds Layout(const MemoryMap& map) {
  Bounds layout;
  for (const auto& segment : map) layout.emplace_back(segment->LowIndex(), segment->HighIndex());
  return layout;
}

std::shared_ptr<MemoryMap> MapOf(const Bounds& stretches) {
  auto map = MemoryMap::New();
  for (const auto& [start, count] : stretches) map->Add(start, count);
  return map;
}

// Overlaps, joins and which object takes a merge the random test below checks against the plain
// scan; here, what the objects handed out before a merge then show.
TEST(MemoryMapTest, SegmentsHandedOutSeeMergesAndLeaveWithTheirBounds) {
  auto map = MapOf({{20, 5}, {10, 5}});
  EXPECT_EQ(Layout(*map), (Bounds{{10, 14}, {20, 24}}));
  auto lower = map->Item(1), upper = map->Item(2);
  map->Add(15, 5);  // closes the gap: the lower object grows over the upper one
  EXPECT_EQ(Layout(*map), (Bounds{{10, 24}}));
  EXPECT_EQ(map->Item(1), lower);
  EXPECT_EQ(lower->HighIndex(), 24);
  EXPECT_EQ(upper->LowIndex(), 20);
  EXPECT_EQ(upper->HighIndex(), 24);
  EXPECT_EQ(map->BytesCount(), 15);
}

TEST(MemoryMapTest, OverlapsAndBadStretchesChangeNothing) {
  auto map = MapOf({{10, 10}});
  for (const auto& [start, count] : Bounds{{-1, 2}, {30, -1}, {INT32_MAX - 1, 2}}) {
    ExpectError([&] { map->Add(start, count); }, 5);
  }
  EXPECT_EQ(Layout(*map), (Bounds{{10, 19}}));
  map->Add(INT32_MAX - 1, 1);  // ends exactly at the top of the range
  EXPECT_EQ(map->Count(), 2);
  ExpectError([&] { map->Remove(10, 1); }, 1000, "non encore implémenté");
  ExpectError([&] { map->Item(0); }, 9);
  ExpectError([&] { map->Item(3); }, 9);
}

TEST(MemoryMapTest, CheckExcludeAndImages) {
  auto map = MapOf({{10, 10}});
  const auto covers = [&](int32_t start, int32_t count) {
    auto probe = MemoryMap::New();
    probe->Add(start, count);
    return map->Check(*probe->Item(1));
  };
  for (const auto& [start, count, covered] :
       {std::tuple{10, 10, true}, {12, 4, true}, {9, 4, false}, {15, 6, false}, {20, 0, true}}) {
    EXPECT_EQ(covers(start, count), covered) << start << "+" << count;
  }
  EXPECT_FALSE(MemoryMap::New()->Check(*map->Item(1)));

  auto whole = MapOf({{0, 100}});
  EXPECT_EQ(Layout(*whole->Exclude(*MapOf({{10, 10}, {50, 10}}))),
            (Bounds{{0, 9}, {20, 49}, {60, 99}}));
  EXPECT_EQ(whole->Exclude(*MapOf({{0, 200}}))->Count(), 0);
  auto same = whole->Exclude(*MemoryMap::New());
  EXPECT_EQ(Layout(*same), (Bounds{{0, 99}}));
  EXPECT_NE(same->Item(1), whole->Item(1));
  EXPECT_EQ(Layout(*MapOf({{0, 10}, {20, 10}, {40, 10}})->Exclude(*MapOf({{5, 20}, {45, 1}}))),
            (Bounds{{0, 4}, {25, 29}, {40, 44}, {46, 49}}));

  auto image = MapOf({{0, 4}, {8, 2}})->MemoryImage(255);
  ASSERT_EQ(image->Count(), 2);
  EXPECT_EQ(image->Item(1)->Text(), "FFFFFFFF");
  EXPECT_EQ(image->Item(2)->LowIndex(), 8);
  EXPECT_EQ(image->Item(2)->Text(), "FFFF");
}

TEST(MemoryMapTest, Persistence) {
  auto bag = MemoryPropertyBag::New();
  MapOf({{16, 16}, {64, 8}})->WriteProperties(*bag);
  EXPECT_EQ(bag->Keys(),
            (std::vector<std::string>{"Count", "Start0", "Count0", "Start1", "Count1"}));
  EXPECT_EQ(bag->ReadProperty("Count0").ToLong(), 16);
  EXPECT_EQ(Layout(*MemoryMap::Load(*bag)), (Bounds{{16, 31}, {64, 71}}));
  auto empty_bag = MemoryPropertyBag::New();
  MemoryMap::New()->WriteProperties(*empty_bag);
  EXPECT_TRUE(empty_bag->Keys().empty());

  bag->WriteProperty("Count", Variant(3));  // a missing key ends the load, keeping what came before
  auto map = MemoryMap::New();
  ExpectError([&] { map->ReadProperties(*bag); }, 5);
  EXPECT_EQ(map->Count(), 2);
  bag->WriteProperty("Start2", Variant(20));
  bag->WriteProperty("Count2", Variant(1));
  ExpectError([&] { map->ReadProperties(*bag); }, 1000, testing::kOverlap);
  EXPECT_EQ(Layout(*map), (Bounds{{16, 31}, {64, 71}}));
}

// The map against the plain scan of its definition, over random stretches
// (many touching, some overlapping), checking bounds, errors, and which
// objects survive a merge.
TEST(MemoryMapTest, MatchesThePlainScanOnRandomStretches) {
  std::mt19937 random(17);
  for (int round = 0; round < 20; ++round) {
    auto map = MemoryMap::New();
    std::vector<testing::ScanSegment> reference;
    std::map<int, std::shared_ptr<ArrayBounds>> objects;
    int next_id = 0;
    // Wide rounds hold a few hundred segments, so the list splits its blocks.
    const uint32_t range = round % 2 == 0 ? 2000 : 12000;
    for (int step = 0; step < 600; ++step) {
      const auto start = static_cast<int32_t>(random() % range);
      const auto count = static_cast<int32_t>(random() % 4 == 0 ? 0 : random() % 30);
      const bool accepted = testing::ReferenceAdd(reference, start, count, next_id);
      if (accepted) {
        map->Add(start, count);
      } else {
        ExpectError([&] { map->Add(start, count); }, 1000, testing::kOverlap);
      }
      ASSERT_EQ(map->Count(), static_cast<int32_t>(reference.size())) << "step " << step;
      for (size_t k = 0; k < reference.size(); ++k) {
        const auto segment = map->Item(static_cast<int32_t>(k + 1));
        ASSERT_EQ(segment->LowIndex(), reference[k].low);
        ASSERT_EQ(segment->HighIndex(), reference[k].high);
        const auto [known, inserted] = objects.try_emplace(reference[k].id, segment);
        ASSERT_EQ(known->second, segment) << "segment " << reference[k].id << " was replaced";
      }
    }
  }
}

// Segments of two bytes every four, their first bytes added, then their
// second ones in random order; twice, the second time above the first once
// it has been searched: enough segments for the map to search its blocks by
// halves (the larger count) or by counting them (the smaller), and joins
// that move the blocks' ends. Exclude then looks the segments up at their
// last bytes.
TEST(MemoryMapTest, ManySegmentsAreFoundAndJoined) {
  for (const int32_t count : {3000, 100000}) {
    std::mt19937 random(static_cast<uint32_t>(count));
    auto pairs = MemoryMap::New(), ends = MemoryMap::New();
    for (const int32_t first : {0, count}) {
      std::vector<int32_t> starts(static_cast<size_t>(count));
      for (int32_t k = 0; k < count; ++k) starts[static_cast<size_t>(k)] = 4 * (first + k);
      for (const int32_t second_byte : {0, 1}) {
        // The smaller map's first bytes come in order, filling block after block.
        if (second_byte == 1 || count > 3000) std::ranges::shuffle(starts, random);
        for (const int32_t start : starts) pairs->Add(start + second_byte, 1);
      }
      for (const int32_t start : starts) ends->Add(start + 1, 2);
    }
    const auto rest = ends->Exclude(*pairs);
    ASSERT_EQ(pairs->Count(), 2 * count);
    ASSERT_EQ(rest->Count(), 2 * count);
    for (int32_t k = 0; k < 2 * count; ++k) {
      ASSERT_EQ(pairs->Item(k + 1)->LowIndex(), 4 * k);
      ASSERT_EQ(pairs->Item(k + 1)->HighIndex(), 4 * k + 1);
      ASSERT_EQ(rest->Item(k + 1)->LowIndex(), 4 * k + 2);
      ASSERT_EQ(rest->Item(k + 1)->HighIndex(), 4 * k + 2);
    }
  }
}

}  // namespace
}  // namespace ombrix
