#include "ombrix/frame/variant.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::ExpectError;

TEST(VariantTest, ToByteRoundsHalfToEvenAndChecksRange) {
  const std::pair<Variant, int32_t> cases[] = {
      {Variant(2.5), 2},      {Variant(3.5), 4},     {Variant(254.5), 254},  {Variant(-0.5), 0},
      {Variant(200), 200},    {Variant(false), 0},   {Variant(), 0},         {Variant(" 12 "), 12},
      {Variant("&hFF"), 255}, {Variant("&o17"), 15}, {Variant("1.5e2"), 150}};
  for (const auto& [value, byte] : cases) EXPECT_EQ(value.ToByte(), byte) << value.ToString();
  // True is -1; "&hFFFF" a 16-bit -1.
  for (const Variant& value : {Variant(255.5), Variant(256), Variant(-0.51), Variant(true),
                               Variant(std::nan("")), Variant("&hFFFF")}) {
    ExpectError([&] { value.ToByte(); }, 6);
  }
  for (const char* text : {"", "abc", "1x", "inf", "nan", "&h", "&hG", "&x1", "1 2", "--1"}) {
    SCOPED_TRACE(text);
    ExpectError([text] { Variant(text).ToByte(); }, 13);
  }
  ExpectError([] { Variant(SafeArray<uint8_t>(0, 1)).ToByte(); }, 13);
  ExpectError([] { Variant::Null().ToByte(); }, 94);
}

TEST(VariantTest, ToLongCoversTheWholeRange) {
  const std::pair<Variant, int32_t> cases[] = {{Variant(-2147483648.0), INT32_MIN},
                                               {Variant(2147483646.5), 2147483646},
                                               {Variant(true), -1},
                                               {Variant(int16_t{-7}), -7},
                                               {Variant("&hFFFFFFFF"), -1},
                                               {Variant("&h8000"), -32768},
                                               {Variant::Date(1.5), 2}};
  for (const auto& [value, number] : cases) EXPECT_EQ(value.ToLong(), number) << value.ToString();
  for (const Variant& value :
       {Variant(2147483647.5), Variant(HUGE_VAL), Variant("&h100000000"), Variant("1e400")}) {
    ExpectError([&] { value.ToLong(); }, 6);
  }
}

TEST(VariantTest, ToStringWritesTheInvariantForm) {
  const std::pair<Variant, const char*> cases[] = {{Variant(), ""},
                                                   {Variant(true), "True"},
                                                   {Variant(-12), "-12"},
                                                   {Variant(0.1), "0.1"},
                                                   {Variant(1.0 / 3), "0.333333333333333"},
                                                   {Variant(1e20), "1E+20"},
                                                   {Variant(-0.0), "0"},
                                                   {Variant::Date(36526.75), "2000-01-01 18:00:00"},
                                                   {Variant::Date(-1.25), "1899-12-29 06:00:00"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(value.ToString(), text);
  ExpectError([] { Variant::Date(1e9).ToString(); }, 6);
  ExpectError([] { Variant(SafeArray<Variant>(0, 0)).ToString(); }, 13);
  ExpectError([] { Variant::Null().ToString(); }, 94);
}

TEST(VariantTest, EqualityComparesValuesAcrossNumericKinds) {
  EXPECT_EQ(Variant(int16_t{1}), Variant(1));
  EXPECT_EQ(Variant(true), Variant(-1));
  EXPECT_NE(Variant("1"), Variant(1));
  EXPECT_EQ(Variant(), Variant());
  EXPECT_NE(Variant(), Variant::Null());
  EXPECT_EQ(Variant(SafeArray<uint8_t>(0, std::vector<uint8_t>{1, 2})),
            Variant(SafeArray<uint8_t>(0, std::vector<uint8_t>{1, 2})));
  EXPECT_NE(Variant(SafeArray<Variant>(0, std::vector<Variant>{Variant(1)})),
            Variant(SafeArray<Variant>(0, std::vector<Variant>{Variant(2)})));
}

}  // namespace
}  // namespace ombrix
