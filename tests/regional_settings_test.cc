#include "ombrix/frame/regional_settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "ombrix/frame/variant.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

// The presets' separators show in the formatting tests below and in the
// scaled value's; here, the user's settings from the C locale.
TEST(RegionalSettingsTest, UserSettingsFallBackToTheCLocale) {
  ::setenv("LC_ALL", "C", 1);
  const RegionalSettings c = RegionalSettings::User();
  EXPECT_EQ(c.DecimalSeparator, ".");
  EXPECT_EQ(c.Grouping, 0);
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // unknown: falls back to "C"
  EXPECT_EQ(RegionalSettings::User(), c);
  ::unsetenv("LC_ALL");
}

// A comma-decimal locale for this thread, as a program that adopts its
// user's locale has; made with localedef where the system has none.
locale_t CommaDecimalLocale(const std::string& folder) {
  for (const char* name : {"fr_FR.UTF-8", "de_DE.UTF-8"}) {
    if (locale_t locale = ::newlocale(LC_ALL_MASK, name, nullptr)) return locale;
  }
  const std::string made = folder + "/fr_FR.UTF-8";
  if (std::system(("localedef -i fr_FR -f UTF-8 " + made + " >/dev/null 2>&1").c_str()) != 0) {
    return nullptr;
  }
  ::setenv("LOCPATH", folder.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
  // glibc keeps the LOCPATH it read for good: not a leak of ours.
  const __lsan::ScopedDisabler glibc_keeps_the_path;
#endif
  locale_t locale = ::newlocale(LC_ALL_MASK, "fr_FR.UTF-8", nullptr);
  ::unsetenv("LOCPATH");
  return locale;
}

// Numbers are written with the settings' separators, never the process's.
TEST(RegionalSettingsTest, NumbersIgnoreTheProcessLocale) {
  const auto folder = std::filesystem::temp_directory_path() / "ombrix_locale_test";
  std::filesystem::create_directories(folder);
  const locale_t comma = CommaDecimalLocale(folder.string());
  if (comma == nullptr) GTEST_SKIP() << "no comma-decimal locale here (Debian package locales)";
  const locale_t before = ::uselocale(comma);
  char probe[8];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5");  // the locale is in force
  EXPECT_EQ(RegionalSettings::English().Format(1234.5, 2), "1,234.50");
  EXPECT_EQ(RegionalSettings::French().Format(1234.5, 2),
            "1\xC2\xA0"
            "234,50");
  EXPECT_EQ(Variant(1.5).ToString(), "1.5");
  EXPECT_EQ(Variant(1e20).ToString(), "1E+20");
  ::uselocale(before);
  ::freelocale(comma);
  std::filesystem::remove_all(folder);
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
  RegionalSettings bare = RegionalSettings::English();
  bare.LeadingZero = false;
  EXPECT_EQ(bare.Format(-0.5, 3), "-.500");
  EXPECT_EQ(RegionalSettings::English().Format(2.5, 0), "2");  // exact binary halves go to even
  EXPECT_EQ(RegionalSettings::English().Format(1e300, 0).size(), 301u + 100u);
  testing::ExpectError([] { RegionalSettings::English().Format(1, -1); }, 5);
  EXPECT_EQ(RegionalSettings::English().Parse("1e-400"), 0);  // too small reads as zero
}

// ParseStrict reads what Parse reads, but typed group separators must stand
// at every group boundary; the same error (13) as any other bad text.
TEST(RegionalSettingsTest, ParseStrictRefusesGroupsOutOfPlace) {
  const RegionalSettings english = RegionalSettings::English();
  const RegionalSettings french = RegionalSettings::French();
  const struct {
    const RegionalSettings& settings;
    const char* text;
    bool accepted;
  } cases[] = {
      {english, "1,234.5", true},    {english, "1234.5", true},    {english, "-1,234,567", true},
      {english, "(12,345)", true},   {english, "85,5", false},     {english, "1,2345", false},
      {english, "12,34,567", false}, {english, "1234,567", false}, {french, "1 234,5", true},
      {french, "1 234", true},       {french, "85 5", false},      {french, "12 34,5", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.accepted) {
      EXPECT_EQ(c.settings.ParseStrict(c.text), c.settings.Parse(c.text));
    } else {
      (void)c.settings.Parse(c.text);  // the lenient parse skips the separator
      testing::ExpectError([&] { (void)c.settings.ParseStrict(c.text); }, 13);
    }
  }
  EXPECT_EQ(english.Parse("85,5"), 855);
  testing::ExpectError([&] { (void)english.ParseStrict("x"); }, 13);
}

}  // namespace
}  // namespace ombrix
