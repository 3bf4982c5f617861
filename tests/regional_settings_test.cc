#include "ombrix/frame/regional_settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "tests/expect_error.h"

namespace ombrix {
namespace {

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
