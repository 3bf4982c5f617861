#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"
#include "tests/byte_array_testing.h"
#include "tests/expect_error.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::ExpectError;

enum class Order { kIntel, kMotorola };

std::shared_ptr<NumericItem> MakeItem(Order order) {
  if (order == Order::kIntel) return LittleEndian::New();
  return BigEndian::New();
}

// The value of a field read bit by bit from the array, in each numbering.
int64_t ReferenceRead(Order order, const std::vector<uint8_t>& bytes, int32_t skipped, int32_t bits,
                      bool is_signed) {
  uint64_t value = 0;
  for (int32_t i = 0; i < bits; ++i) {
    const int32_t position = skipped + i;
    const int32_t bit_in_byte = order == Order::kIntel ? position % 8 : 7 - position % 8;
    const uint64_t bit = (bytes[static_cast<size_t>(position / 8)] >> bit_in_byte) & 1u;
    const int32_t weight = order == Order::kIntel ? i : bits - 1 - i;
    value |= bit << weight;
  }
  if (is_signed && (value >> (bits - 1)) != 0)
    return static_cast<int64_t>(value) - (int64_t{1} << bits);
  return static_cast<int64_t>(value);
}

TEST(NumericFieldTest, EveryGeometryMatchesABitByBitReference) {
  // The reference itself on worked examples: a signed word, a nibble offset, the widest fields.
  ASSERT_EQ(ReferenceRead(Order::kIntel, {0xFE, 0xFF}, 0, 16, true), -2);
  ASSERT_EQ(ReferenceRead(Order::kIntel, {0xAB, 0xCD}, 4, 8, false), 0xDA);
  ASSERT_EQ(ReferenceRead(Order::kMotorola, {0xAB, 0xCD}, 4, 8, false), 0xBC);
  ASSERT_EQ(ReferenceRead(Order::kIntel, {0, 0, 0, 0x80}, 0, 32, true), INT32_MIN);
  ASSERT_EQ(ReferenceRead(Order::kMotorola, {0x81, 0, 0, 0}, 1, 31, false), 0x01000000);
  std::mt19937 random(7);
  for (const Order order : {Order::kIntel, Order::kMotorola}) {
    for (int32_t skipped = 0; skipped < 32; ++skipped) {
      for (int32_t bits = 1; bits <= 32 - skipped % 8; ++bits) {
        for (const bool is_signed : {false, true}) {
          if (bits == 32 && !is_signed) continue;
          SCOPED_TRACE(::testing::Message()
                       << (order == Order::kIntel ? "Intel" : "Motorola") << " skipped " << skipped
                       << " bits " << bits << (is_signed ? " signed" : " unsigned"));
          // Up to two bytes after the field: fields at the very end of
          // arrays of every size, from one byte up.
          const int32_t field_bytes = (skipped % 8 + bits + 7) / 8;
          std::vector<uint8_t> bytes(static_cast<size_t>(skipped / 8 + field_bytes) + random() % 3);
          for (auto& b : bytes) b = static_cast<uint8_t>(random());
          auto array = ByteArray::New(bytes);
          auto item = MakeItem(order);
          item->RefersTo(*array, skipped, bits, is_signed);
          ASSERT_EQ(item->Value(), ReferenceRead(order, bytes, skipped, bits, is_signed));
          // The same field on a client's own array, reached through Item.
          auto client = MakeItem(order);
          testing::ClientArray client_array(array);
          client->RefersTo(client_array, skipped, bits, is_signed);
          EXPECT_EQ(int64_t{item->Max()} - item->Min() + 1, int64_t{1} << bits);
          // The mask has exactly the field's bits set, over the bytes it touches.
          std::vector<uint8_t> mask(static_cast<size_t>(field_bytes));
          for (int32_t bit = skipped % 8; bit < skipped % 8 + bits; ++bit)
            mask[static_cast<size_t>(bit / 8)] |=
                static_cast<uint8_t>(order == Order::kIntel ? 1 << (bit % 8) : 0x80 >> (bit % 8));
          ASSERT_EQ(item->Mask(), ByteArray::New(mask)->Text());
          // A random value, then the two bounds: only the field's bits change.
          const int64_t span = int64_t{item->Max()} - item->Min() + 1;
          const auto wanted =
              static_cast<int32_t>(item->Min() + static_cast<int64_t>(random()) % span);
          for (const int32_t value : {wanted, item->Min(), item->Max()}) {
            (value == wanted ? client : item)->Value(value);
            const std::vector<uint8_t> now = Bytes(*array);
            ASSERT_EQ(ReferenceRead(order, now, skipped, bits, is_signed), value);
            ASSERT_EQ(item->Value(), value);
            ASSERT_EQ(client->Value(), value);
            for (size_t k = 0; k < now.size(); ++k) {
              const size_t m = k - static_cast<size_t>(skipped / 8);  // wraps below the field
              const auto kept = static_cast<uint8_t>(m < mask.size() ? ~mask[m] : 0xFF);
              ASSERT_EQ(now[k] & kept, bytes[k] & kept) << "byte " << k;
            }
          }
        }
      }
    }
  }
}

TEST(NumericFieldTest, RefersToChecksGeometryInOrderAndKeepsTheOldBinding) {
  auto array = ByteArray::New({1, 2, 3, 4, 5, 6});
  auto item = LittleEndian::New();
  EXPECT_EQ(item->Mask(), "");
  ExpectError([&] { item->Value(); }, 91);
  ExpectError([&] { item->Value(0); }, 91);
  item->NumericItem_RefersTo(*array, 8, 8, false);
  const char* const wide = "Invalid data position, can't be over 5 bytes";
  ExpectError([&] { item->RefersTo(*array, 7, 26, false); }, 1, wide);
  ExpectError([&] { item->RefersTo(*array, 4, 32, false); }, 1, wide);
  ExpectError([&] { item->RefersTo(*array, INT32_MAX, INT32_MAX, true); }, 1, wide);
  ExpectError([&] { item->RefersTo(*array, 8, 32, false); }, 1, "32 bits unsigned not supported");
  ExpectError([&] { item->RefersTo(*array, -1, 8, false); }, 5);
  ExpectError([&] { item->RefersTo(*array, 0, 0, false); }, 5);
  EXPECT_EQ(item->Value(), 2);  // still the second byte
  EXPECT_EQ(item->Max(), 255);

  item->RefersTo(*array, 7, 25, false);
  // The named geometry binds as the positional one does, with its errors.
  auto named = LittleEndian::New();
  named->RefersTo(*array, {.SkippedBits = 7, .NumBits = 25});
  EXPECT_EQ(named->Mask(), "80FFFFFF");
  EXPECT_EQ(named->Value(), item->Value());
  ExpectError([&] { named->RefersTo(*array, {.NumBits = 0}); }, 5);
  named->RefersTo(*array, {.SkippedBits = 8, .NumBits = 32, .Signed = true});
  EXPECT_EQ(named->Min(), INT32_MIN);
  // On a client's own array, a field past its end fails when it is used.
  testing::ClientArray client(array);
  auto beyond = BigEndian::New();
  beyond->RefersTo(client, 40, 16, false);
  ExpectError([&] { beyond->Value(); }, 9, "Subscript out of range");
  EXPECT_EQ(Bytes(*array), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(NumericFieldTest, RangeErrorsWriteNothingAndFieldsStayOnTheirBytes) {
  auto array = ByteArray::New({0x12, 0x34, 0x56});
  auto item = BigEndian::New();
  item->RefersTo(*array, 4, 12, true);  // the low nibble of byte 1 and byte 2
  ExpectError([&] { item->Value(-2049); }, 2000, "Value too small");
  ExpectError([&] { item->Value(2048); }, 2000, "Value too big");
  EXPECT_EQ(array->Text(), "123456");
  item->Value(-1);
  EXPECT_EQ(array->Text(), "1FFF56");
  array->LowIndex(-7);
  EXPECT_EQ(item->Value(), -1);

  // Bytes the array no longer has: error 9 from the array, nothing written.
  auto intel = LittleEndian::New();
  intel->RefersTo(*array, 8, 16, false);
  array->Count(2);
  ExpectError([&] { intel->Value(0); }, 9);
  EXPECT_EQ(array->Text(), "1FFF");
  // A field read once keeps finding its bytes as its array shrinks, grows
  // into a new store and has its store replaced.
  auto frame = ByteArray::New({1, 2});
  auto word = LittleEndian::New();
  word->RefersTo(*frame, 0, 16, false);
  EXPECT_EQ(word->Value(), 0x0201);
  frame->Count(1);
  ExpectError([&] { (void)word->Value(); }, 9);
  frame->Count(4096);
  word->Value(0xBEEF);
  EXPECT_EQ(frame->Interval(1, 3)->Text(), "EFBE00");
  frame->Text("A1B2");
  EXPECT_EQ(word->Value(), 0xB2A1);
  frame->Copy(*ByteArray::New({7}));
  ExpectError([&] { word->Value(1); }, 9);
  // A field on a view reaches the view's parent through the view's mapping.
  auto view = array->Interval(-6, 1);
  intel->RefersTo(*view, 0, 8, false);
  EXPECT_EQ(intel->Value(), 0xFF);
}

}  // namespace
}  // namespace ombrix
