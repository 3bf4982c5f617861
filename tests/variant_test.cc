#include "ombrix/frame/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::ExpectError;

TEST(VariantTest, ToByteRoundsHalfToEvenAndChecksRange) {
  EXPECT_EQ(Variant(2.5).ToByte(), 2);
  EXPECT_EQ(Variant(3.5).ToByte(), 4);
  EXPECT_EQ(Variant(254.5).ToByte(), 254);
  EXPECT_EQ(Variant(-0.5).ToByte(), 0);
  EXPECT_EQ(Variant(200).ToByte(), 200);
  EXPECT_EQ(Variant(false).ToByte(), 0);
  EXPECT_EQ(Variant().ToByte(), 0);
  EXPECT_EQ(Variant(" 12 ").ToByte(), 12);
  EXPECT_EQ(Variant("&hFF").ToByte(), 255);
  EXPECT_EQ(Variant("&o17").ToByte(), 15);
  EXPECT_EQ(Variant("1.5e2").ToByte(), 150);
  ExpectError([] { Variant(255.5).ToByte(); }, 6);
  ExpectError([] { Variant(256).ToByte(); }, 6);
  ExpectError([] { Variant(-0.51).ToByte(); }, 6);
  ExpectError([] { Variant(true).ToByte(); }, 6);  // True is -1
  ExpectError([] { Variant(std::nan("")).ToByte(); }, 6);
  ExpectError([] { Variant("&hFFFF").ToByte(); }, 6);  // a 16-bit -1
  for (const char* text : {"", "abc", "1x", "inf", "nan", "&h", "&hG", "&x1", "1 2", "--1"}) {
    SCOPED_TRACE(text);
    ExpectError([text] { Variant(text).ToByte(); }, 13);
  }
  ExpectError([] { Variant(SafeArray<uint8_t>(0, 1)).ToByte(); }, 13);
  ExpectError([] { Variant::Null().ToByte(); }, 94);
}

TEST(VariantTest, ToLongCoversTheWholeRange) {
  EXPECT_EQ(Variant(-2147483648.0).ToLong(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(Variant(2147483646.5).ToLong(), 2147483646);
  EXPECT_EQ(Variant(true).ToLong(), -1);
  EXPECT_EQ(Variant(int16_t{-7}).ToLong(), -7);
  EXPECT_EQ(Variant("&hFFFFFFFF").ToLong(), -1);
  EXPECT_EQ(Variant("&h8000").ToLong(), -32768);
  EXPECT_EQ(Variant::Date(1.5).ToLong(), 2);
  ExpectError([] { Variant(2147483647.5).ToLong(); }, 6);
  ExpectError([] { Variant(std::numeric_limits<double>::infinity()).ToLong(); }, 6);
  ExpectError([] { Variant("&h100000000").ToLong(); }, 6);
  ExpectError([] { Variant("1e400").ToLong(); }, 6);
}

TEST(VariantTest, ToStringWritesTheInvariantForm) {
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(-12).ToString(), "-12");
  EXPECT_EQ(Variant(0.1).ToString(), "0.1");
  EXPECT_EQ(Variant(1.0 / 3).ToString(), "0.333333333333333");
  EXPECT_EQ(Variant(1e20).ToString(), "1E+20");
  EXPECT_EQ(Variant(-0.0).ToString(), "0");
  EXPECT_EQ(Variant::Date(36526.75).ToString(), "2000-01-01 18:00:00");
  EXPECT_EQ(Variant::Date(-1.25).ToString(), "1899-12-29 06:00:00");
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
