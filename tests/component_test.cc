// The component server through its C interface alone, linked against the
// shared library as any other language's client is.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ombrix/ombrix_c.h"

namespace {

std::string Text(const ombrix_value& value) {
  return value.kind == OMBRIX_STRING ? std::string(value.as.text.data, value.as.text.size)
                                     : "(kind " + std::to_string(value.kind) + ")";
}

std::string LastError() {
  return std::to_string(ombrix_error_number()) + " " + ombrix_error_description() + " (" +
         ombrix_error_source() + ")";
}

// Calls `name` and returns its result, which the caller clears.
ombrix_value Call(ombrix_object* object, const char* name, uint32_t kinds,
                  std::vector<ombrix_value> arguments = {}) {
  ombrix_value result = ombrix_empty();
  const int32_t status =
      ombrix_invoke(object, name, kinds, arguments.data(), arguments.size(), &result);
  EXPECT_EQ(status, 0) << name << ": " << LastError();
  return result;
}

TEST(ComponentTest, ObjectsLiveExactlyAsLongAsTheirReferences) {
  ombrix_object* array = nullptr;
  ASSERT_EQ(ombrix_create("Ombrix.ByteArray", &array), 0);
  EXPECT_STREQ(ombrix_class_of(array), "ByteArray");
  ombrix_value hex = ombrix_text("0A0B0C0D0E", 10);
  ombrix_value none = Call(array, "Text", OMBRIX_LET, {hex});
  EXPECT_EQ(none.kind, OMBRIX_EMPTY);

  // The view holds the array: released by the caller, it lives on for the view.
  ombrix_value view = Call(array, "Interval", OMBRIX_METHOD, {ombrix_long(2), ombrix_long(3)});
  ASSERT_EQ(view.kind, OMBRIX_OBJECT);
  EXPECT_STREQ(ombrix_class_of(view.as.object), "ByteArrayInterval");
  EXPECT_EQ(ombrix_add_ref(array), 2u);
  EXPECT_EQ(ombrix_release(array), 1u);
  EXPECT_EQ(ombrix_release(array), 0u);
  ombrix_value text = Call(view.as.object, "Text", OMBRIX_GET);
  EXPECT_EQ(Text(text), "0B0C0D");
  ombrix_value_clear(&text);
  EXPECT_EQ(text.kind, OMBRIX_EMPTY);

  // Writing through the view reaches the array, read again through a trail.
  ombrix_value item = Call(view.as.object, "", OMBRIX_LET, {ombrix_long(1), ombrix_long(0x1FF)});
  ombrix_value trail = Call(view.as.object, "Interval", OMBRIX_METHOD, {ombrix_long(1)});
  EXPECT_STREQ(ombrix_class_of(trail.as.object), "ByteArrayInterval");
  ombrix_value copy = Call(trail.as.object, "Copy", OMBRIX_GET);
  ombrix_value bytes = Call(copy.as.object, "Value", OMBRIX_GET);
  ASSERT_EQ(bytes.kind, OMBRIX_BYTES);
  EXPECT_EQ(bytes.lower_bound, 0);
  EXPECT_EQ(std::vector<uint8_t>(bytes.as.bytes.data, bytes.as.bytes.data + bytes.as.bytes.size),
            (std::vector<uint8_t>{0xFF, 0x0C, 0x0D}));
  for (ombrix_value* value : {&item, &trail, &copy, &bytes, &view}) ombrix_value_clear(value);

  // Results that are the same object are the same object; a new one is not.
  ombrix_object* image = nullptr;
  ASSERT_EQ(ombrix_create("memoryimage", &image), 0);
  std::vector<uint8_t> data{1, 2, 3};
  ombrix_object* stored = nullptr;
  ASSERT_EQ(ombrix_create("ByteArray", &stored), 0);
  ombrix_value let = Call(stored, "Value", OMBRIX_LET, {ombrix_bytes(data.data(), 3, 0)});
  let = Call(stored, "LowIndex", OMBRIX_LET, {ombrix_long(0x100)});
  let = Call(image, "Add", OMBRIX_METHOD, {ombrix_object_value(stored)});
  ombrix_value first = Call(image, "", OMBRIX_GET, {ombrix_long(1)});
  ombrix_value again = Call(image, "Item", OMBRIX_GET, {ombrix_long(1)});
  EXPECT_TRUE(ombrix_same_object(first.as.object, again.as.object));
  EXPECT_FALSE(ombrix_same_object(first.as.object, stored));  // the image keeps its own array
  ombrix_value walk = Call(image, "NewEnum", OMBRIX_METHOD);
  ombrix_value items[3];
  size_t fetched = 9;
  ASSERT_EQ(ombrix_next(walk.as.object, 3, items, &fetched), 0);
  ASSERT_EQ(fetched, 1u);
  EXPECT_TRUE(ombrix_same_object(items[0].as.object, first.as.object));
  ombrix_value_clear(&items[0]);
  ASSERT_EQ(ombrix_next(walk.as.object, 3, items, &fetched), 0);
  EXPECT_EQ(fetched, 0u);

  // An out parameter comes back as a value the caller clears; a lent byte
  // array is written in place.
  ombrix_value out[1] = {ombrix_empty()};
  ASSERT_EQ(ombrix_invoke(image, "GetMap", OMBRIX_METHOD, out, 1, nullptr), 0);
  ASSERT_EQ(out[0].kind, OMBRIX_OBJECT);
  EXPECT_STREQ(ombrix_class_of(out[0].as.object), "MemoryMap");
  ombrix_value map = Call(out[0].as.object, "BytesCount", OMBRIX_GET);
  EXPECT_EQ(map.as.long_value, 3);
  uint8_t lent[4] = {9, 9, 9, 9};
  ombrix_value write[4] = {ombrix_bytes(lent, 4, 10), ombrix_long(11), ombrix_long(0x101),
                           ombrix_long(2)};
  ASSERT_EQ(ombrix_invoke(first.as.object, "WriteBytes", OMBRIX_METHOD, write, 4, nullptr), 0);
  EXPECT_EQ(std::vector<uint8_t>(lent, lent + 4), (std::vector<uint8_t>{9, 2, 3, 9}));
  for (ombrix_value* value : {&first, &again, &walk, &out[0], &map}) ombrix_value_clear(value);
  ombrix_release(stored);
  ombrix_release(image);
}

TEST(ComponentTest, FailuresAreNumberedWithTheirSourceAndDescription) {
  ombrix_object* object = nullptr;
  EXPECT_EQ(ombrix_create("ArrayBounds", &object), 429);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(LastError(), "429 ActiveX component can't create object (Ombrix)");
  ASSERT_EQ(ombrix_create("ByteArray", &object), 0);
  EXPECT_EQ(ombrix_error_number(), 0);
  ombrix_value result = ombrix_empty();
  ombrix_value minus = ombrix_long(-1);
  EXPECT_EQ(ombrix_invoke(object, "Count", OMBRIX_LET, &minus, 1, &result), 1000);
  EXPECT_EQ(LastError(), "1000 La propriété ByteAray.Count ne peut pas être négative (Ombrix)");
  EXPECT_EQ(ombrix_invoke(object, "Nope", OMBRIX_GET, nullptr, 0, &result), 438);
  EXPECT_EQ(ombrix_invoke(object, "Item", OMBRIX_GET, nullptr, 0, &result), 449);
  ombrix_value many[5] = {ombrix_long(1), ombrix_long(1), ombrix_long(1), ombrix_long(1),
                          ombrix_long(1)};
  EXPECT_EQ(ombrix_invoke(object, "Fill", OMBRIX_METHOD, many, 5, &result), 450);
  ombrix_value nothing = ombrix_object_value(nullptr);
  EXPECT_EQ(ombrix_invoke(object, "Check", OMBRIX_METHOD, &nothing, 1, &result), 91);
  ombrix_value odd = ombrix_text("ABC", 3);
  EXPECT_EQ(ombrix_invoke(object, "Text", OMBRIX_LET, &odd, 1, &result), 1000);
  EXPECT_STREQ(ombrix_error_description(), "la propriété Text doit être de longueur paire");
  ombrix_value strange;
  std::memset(&strange, 0, sizeof strange);
  strange.kind = 77;
  EXPECT_EQ(ombrix_invoke(object, "Fill", OMBRIX_METHOD, &strange, 1, &result), 13);
  EXPECT_EQ(ombrix_invoke(nullptr, "Count", OMBRIX_GET, nullptr, 0, &result), 91);
  int32_t number = -1;
  EXPECT_EQ(ombrix_member_number(object, "nope", &number), 438);
  EXPECT_EQ(result.kind, OMBRIX_EMPTY);  // nothing given on failure

  // Errors are per thread.
  std::thread other([&] {
    EXPECT_EQ(ombrix_error_number(), 0);
    ombrix_object* mine = nullptr;
    EXPECT_EQ(ombrix_create("Nope", &mine), 429);
  });
  other.join();
  EXPECT_EQ(ombrix_error_number(), 438);
  ombrix_release(object);
}

TEST(ComponentTest, CallsByNumberAndTheCatalogueAgreeWithCallsByName) {
  ombrix_object* crc = nullptr;
  ASSERT_EQ(ombrix_create("CRC", &crc), 0);
  ombrix_object* frame = nullptr;
  ASSERT_EQ(ombrix_create("ByteArray", &frame), 0);
  ombrix_value hex = ombrix_text("0102030000", 10);
  ASSERT_EQ(ombrix_invoke(frame, "Text", OMBRIX_LET, &hex, 1, nullptr), 0);
  int32_t append = 0;
  ASSERT_EQ(ombrix_member_number(crc, "APPEND", &append), 0);
  ombrix_value data = ombrix_object_value(frame);
  ASSERT_EQ(ombrix_invoke_number(crc, append, OMBRIX_METHOD, &data, 1, nullptr), 0);
  ombrix_value check = ombrix_empty();
  ASSERT_EQ(ombrix_invoke(crc, "Check", OMBRIX_GET, nullptr, 0, &check), 0);
  EXPECT_EQ(check.kind, OMBRIX_BOOLEAN);

  // Every member the catalogue lists is reachable by its number.
  ASSERT_EQ(ombrix_class_count(), 12);
  EXPECT_STREQ(ombrix_library_description(), "Utilitaires de gestion de tableaux d'octets V2");
  int32_t members = 0;
  for (int32_t c = 0; c < ombrix_class_count(); ++c) {
    ombrix_class_info info;
    ASSERT_EQ(ombrix_class_info_at(c, &info), 0);
    EXPECT_EQ(ombrix_find_class(info.name), c);
    for (int32_t m = 0; m < info.member_count; ++m) {
      ombrix_member_info member;
      ASSERT_EQ(ombrix_member_info_at(c, m, &member), 0);
      ombrix_member_info first;
      ASSERT_EQ(ombrix_member_info_at(c, member.number - 1, &first), 0);
      EXPECT_STREQ(first.name, member.name);
      for (int32_t p = 0; p < member.parameter_count; ++p) {
        ombrix_parameter_info parameter;
        ASSERT_EQ(ombrix_parameter_info_at(c, m, p, &parameter), 0);
        EXPECT_NE(std::string(parameter.type), "");
      }
      ++members;
    }
    EXPECT_EQ(ombrix_member_info_at(c, info.member_count, nullptr), 9);
  }
  EXPECT_EQ(members, 21 * 3 + 4 + 6 + 7 + 7 + 18 + 8 + 10 + 10 + 4);
  ombrix_class_info info;
  ASSERT_EQ(ombrix_class_info_at(ombrix_find_class("bigendian"), &info), 0);
  EXPECT_STREQ(info.description,
               "Implémente NumericItem.\nDonnée numérique format Motorola (poids fort à "
               "l'adresse basse)");
  EXPECT_STREQ(info.also_answers, "NumericItem");
  EXPECT_EQ(ombrix_class_info_at(12, &info), 9);
  ombrix_release(frame);
  ombrix_release(crc);
}

}  // namespace
