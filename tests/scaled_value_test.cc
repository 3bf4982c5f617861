#include "ombrix/fields/scaled_value.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ombrix/fields/little_endian.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::ExpectError;

class ScaledValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    item_->RefersTo(*frame_, 0, 8, false);
    scaled_->RefersTo(item_);
    scaled_->Settings(RegionalSettings::English());
  }
  std::shared_ptr<ByteArray> frame_ = ByteArray::New({0x80, 0, 0, 0});
  std::shared_ptr<LittleEndian> item_ = LittleEndian::New();
  std::shared_ptr<ScaledValue> scaled_ = ScaledValue::New();
};

TEST_F(ScaledValueTest, ConvertsBothWaysWithTheCoefficients) {
  EXPECT_EQ(scaled_->Value(), 128);
  EXPECT_EQ(scaled_->Text(), "128");
  scaled_->CoeffA(0.1);
  scaled_->CoeffB(-40);
  EXPECT_NEAR(scaled_->Value(), -27.2, 1e-12);
  EXPECT_DOUBLE_EQ(scaled_->Min(), -40);
  EXPECT_DOUBLE_EQ(scaled_->Max(), -14.5);
  scaled_->Value(-30);
  EXPECT_EQ(item_->Value(), 100);
  scaled_->Value(-27.2);
  EXPECT_EQ(item_->Value(), 128);

  scaled_->CoeffA(-1);
  scaled_->CoeffB(0);
  EXPECT_EQ(scaled_->Min(), -255);
  EXPECT_EQ(scaled_->Max(), 0);

  scaled_->CoeffA(2);  // raw = X / 2: halves go to even
  scaled_->Value(5);
  EXPECT_EQ(item_->Value(), 2);
  scaled_->Value(7);
  EXPECT_EQ(item_->Value(), 4);
  ExpectError([&] { scaled_->Value(600); }, 2000, "Value too big");
  ExpectError([&] { scaled_->Value(1e12); }, 6);
  ExpectError([&] { scaled_->Value(NAN); }, 6);
  scaled_->CoeffA(0);
  ExpectError([&] { scaled_->Value(1); }, 6);
  scaled_->CoeffA(1);
  scaled_->CoeffC(0);
  EXPECT_TRUE(std::isinf(scaled_->Value()));
  EXPECT_EQ(item_->Value(), 4);
}

TEST_F(ScaledValueTest, TextFollowsTheRegionalSettings) {
  auto wide = LittleEndian::New();
  wide->RefersTo(*frame_, 0, 32, true);
  scaled_->RefersTo(wide);
  scaled_->Unit("km/h");
  wide->Value(1234567);
  scaled_->CoeffC(1000);  // 1234.567
  scaled_->Precision(2);
  EXPECT_EQ(scaled_->Text(), "1,234.57");
  scaled_->Precision(-1);  // the settings' own
  EXPECT_EQ(scaled_->Text(), "1,234.57");
  // The rest of the number's form (signs, zero, grouping) is the settings' own.
  scaled_->Settings(RegionalSettings::French());
  scaled_->Precision(2);
  EXPECT_EQ(scaled_->Text(), "1\u00A0234,57");
  scaled_->Precision(-2);
  ExpectError([&] { scaled_->Text(); }, 5);
}

TEST_F(ScaledValueTest, TextLetParsesNumbersInTheSettings) {
  auto wide = LittleEndian::New();
  wide->RefersTo(*frame_, 0, 32, true);
  scaled_->RefersTo(wide);
  scaled_->CoeffC(100);
  scaled_->Text(" 1,234.5 ");
  EXPECT_EQ(wide->Value(), 123450);
  scaled_->Text("(2)");
  EXPECT_EQ(wide->Value(), -200);
  scaled_->Settings(RegionalSettings::French());
  scaled_->Text("3\u00A0000");
  EXPECT_EQ(wide->Value(), 300000);
  for (const char* bad : {"abc", "", "1,2,3x", "--1", "1.5", "1e"}) {
    SCOPED_TRACE(bad);
    ExpectError([&] { scaled_->Text(bad); }, 13);
  }
  EXPECT_EQ(wide->Value(), 300000);
  ExpectError([&] { scaled_->Text("1e400"); }, 6);
}

TEST(ScaledValueWithoutItemTest, RaisesObjectNotSet) {
  auto scaled = ScaledValue::New();
  ExpectError([&] { scaled->Value(); }, 91);
  ExpectError([&] { scaled->Value(1); }, 91);
  ExpectError([&] { scaled->Min(); }, 91);
  ExpectError([&] { scaled->Text("x"); }, 91);
}

// The pure conversions give what Value gives and writes, without a field.
TEST_F(ScaledValueTest, ConversionsMatchValueWithoutAField) {
  scaled_->CoeffA(0.5);
  scaled_->CoeffB(-3);
  scaled_->CoeffC(4);
  for (const int32_t raw : {0, 1, 77, 254}) {
    item_->Value(raw);
    EXPECT_EQ(scaled_->ToPhysical(raw), scaled_->Value());
    scaled_->Value(scaled_->Value() + 0.125);
    EXPECT_EQ(scaled_->ToRaw(scaled_->ToPhysical(raw) + 0.125), item_->Value());
  }
  ExpectError([&] { (void)scaled_->ToRaw(1e12); }, 6);
  auto alone = ScaledValue::New();
  alone->CoeffA(2);
  EXPECT_EQ(alone->ToRaw(43), 22);  // 21.5 rounds half to even
}

}  // namespace
}  // namespace ombrix
