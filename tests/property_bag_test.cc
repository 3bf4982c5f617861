#include <gtest/gtest.h>

#include "ombrix/frame/memory_property_bag.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

TEST(MemoryPropertyBagTest, ReadsBackKindsAndLeavesOutDefaults) {
  auto bag = MemoryPropertyBag::New();
  bag->WriteProperty("Count", Variant(3));
  bag->WriteProperty("Text1", Variant("été"));
  EXPECT_TRUE(bag->ReadProperty("Count").IsLong());
  EXPECT_EQ(bag->ReadProperty("Count").ToLong(), 3);
  EXPECT_EQ(bag->ReadProperty("Text1").ToString(), "été");
  EXPECT_EQ(bag->ReadProperty("Missing", Variant(7)).ToLong(), 7);
  testing::ExpectError([&] { bag->ReadProperty("Missing"); }, 5);
  // A value equal to its default is not stored, and replaces what was.
  bag->WriteProperty("Count", Variant(1), Variant(int16_t{1}));
  EXPECT_EQ(bag->ReadProperty("Count", Variant(int16_t{1})).ToLong(), 1);
  EXPECT_EQ(bag->Keys(), (std::vector<std::string>{"Text1"}));
}

}  // namespace
}  // namespace ombrix
