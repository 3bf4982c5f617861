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

// Each negative form written and read back; zero shows no sign.
TEST(RegionalSettingsTest, EveryNegativeFormRoundTrips) {
  using Form = RegionalSettings::NegativeForm;
  const std::pair<Form, const char*> forms[] = {{Form::Parentheses, "(1,234.50)"},
                                                {Form::LeadingMinus, "-1,234.50"},
                                                {Form::LeadingMinusSpace, "- 1,234.50"},
                                                {Form::TrailingMinus, "1,234.50-"},
                                                {Form::TrailingMinusSpace, "1,234.50 -"}};
  for (const auto& [form, text] : forms) {
    SCOPED_TRACE(text);
    RegionalSettings settings = RegionalSettings::English();
    settings.Negative = form;
    EXPECT_EQ(settings.Format(-1234.5, 2), text);
    EXPECT_EQ(settings.Parse(text), -1234.5);
    EXPECT_EQ(settings.Format(-0.001, 2), "0.00");
  }
  EXPECT_EQ(RegionalSettings::English().Format(2.5, 0), "2");  // exact binary halves go to even
  EXPECT_EQ(RegionalSettings::English().Format(1e300, 0).size(), 301u + 100u);
  testing::ExpectError([] { RegionalSettings::English().Format(1, -1); }, 5);
  EXPECT_EQ(RegionalSettings::English().Parse("1e-400"), 0);  // too small reads as zero
}

}  // namespace
}  // namespace ombrix
