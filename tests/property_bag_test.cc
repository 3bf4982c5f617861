#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "ombrix/frame/memory_property_bag.h"
#include "ombrix/frame/regional_settings.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

TEST(MemoryPropertyBagTest, ReadsBackKindsAndDefaults) {
  auto bag = MemoryPropertyBag::New();
  bag->WriteProperty("Count", Variant(3));
  bag->WriteProperty("Text1", Variant("été"));
  EXPECT_TRUE(bag->ReadProperty("Count").IsLong());
  EXPECT_EQ(bag->ReadProperty("Count").ToLong(), 3);
  EXPECT_EQ(bag->ReadProperty("Text1").ToString(), "été");
  EXPECT_EQ(bag->ReadProperty("Missing", Variant(7)).ToLong(), 7);
  testing::ExpectError([&] { bag->ReadProperty("Missing"); }, 5);
  EXPECT_EQ(bag->Keys(), (std::vector<std::string>{"Count", "Text1"}));
}

TEST(MemoryPropertyBagTest, AValueEqualToItsDefaultReadsBackAsTheDefault) {
  auto bag = MemoryPropertyBag::New();
  bag->WriteProperty("LowIndex", Variant(5), Variant(int16_t{1}));
  bag->WriteProperty("LowIndex", Variant(1), Variant(int16_t{1}));  // replaces the 5
  EXPECT_EQ(bag->ReadProperty("LowIndex", Variant(int16_t{1})).ToLong(), 1);
  EXPECT_TRUE(bag->Keys().empty());
}

TEST(RegionalSettingsTest, PresetsAndTheCLocale) {
  EXPECT_EQ(RegionalSettings::English().DecimalSeparator, ".");
  EXPECT_EQ(RegionalSettings::English().GroupSeparator, ",");
  const RegionalSettings french = RegionalSettings::French();
  EXPECT_EQ(french.DecimalSeparator, ",");
  EXPECT_EQ(french.GroupSeparator, "\xC2\xA0");
  EXPECT_EQ(french.Grouping, 3);
  ::setenv("LC_ALL", "C", 1);
  const RegionalSettings c = RegionalSettings::User();
  EXPECT_EQ(c.DecimalSeparator, ".");
  EXPECT_EQ(c.Grouping, 0);
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // unknown: falls back to "C"
  EXPECT_EQ(RegionalSettings::User(), c);
  ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace ombrix
