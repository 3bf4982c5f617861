#include "ombrix/frame/error.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/memory/memory_image.h"
#include "ombrix/memory/memory_map.h"

namespace ombrix {
namespace {

TEST(ErrorTest, StandardDescriptionsAndDefaultSource) {
  const Error subscript(9);
  EXPECT_EQ(subscript.Description(), "Subscript out of range");
  EXPECT_EQ(subscript.Source(), "Ombrix");
  // what() and printing give the number, and a source other than the library's.
  EXPECT_STREQ(subscript.what(), "error 9: Subscript out of range");
  std::ostringstream printed;
  printed << Error(1000, "Propriété Count en lecture seule", "Ombrix.ByteArrayInterval");
  EXPECT_EQ(printed.str(),
            "error 1000: Propriété Count en lecture seule (Ombrix.ByteArrayInterval)");
  EXPECT_EQ(Error(1000).Description(), "Application-defined or object-defined error");
  EXPECT_EQ(Error(2000, {}, "Value too big").Source(), "Value too big");
  EXPECT_EQ(Error(97).Description(),
            "Can not call friend function on object which is not an instance of defining class");
  EXPECT_EQ(Error(1000, messages::kOverlap).Description(), "Segments mémoire en recouvrement");
}

// what() adds the values concerned where the description alone cannot help;
// Description stays the library's exact text.
TEST(ErrorTest, WhatNamesTheValuesConcerned) {
  const auto raised = [](const std::function<void()>& statement) {
    try {
      statement();
    } catch (const Error& error) {
      return std::make_pair(std::string(error.Description()), std::string(error.what()));
    }
    return std::make_pair(std::string("nothing raised"), std::string());
  };
  auto frame = ByteArray::New({0, 0, 0});
  auto field = LittleEndian::New();
  field->RefersTo(*frame, 4, 12, true);
  EXPECT_EQ(raised([&] { field->Value(2048); }),
            std::make_pair(std::string(messages::kValueTooBig),
                           std::string("error 2000: Value too big: 2048 is outside the "
                                       "field's limits -2048..2047")));
  field->RefersTo(*frame, 0, 8, false);
  EXPECT_EQ(raised([&] { field->Value(-1); }).second,
            "error 2000: Value too small: -1 is outside the field's limits 0..255");

  auto image = MemoryImage::New();
  auto bytes = ByteArray::New({1, 2, 3, 4});
  bytes->LowIndex(0x1000);
  image->Add(*bytes);
  bytes->LowIndex(0xFFE);
  EXPECT_EQ(raised([&] { image->Add(*bytes); }),
            std::make_pair(std::string(messages::kOverlap),
                           std::string("error 1000: Segments mémoire en recouvrement: "
                                       "00000FFE-00001001 overlaps 00001000-00001003")));
  auto map = MemoryMap::New();
  map->Add(0x7FFFFE00, 0x100);
  EXPECT_EQ(raised([&] { map->Add(0x7FFFFEFF, 2); }).second,
            "error 1000: Segments mémoire en recouvrement: 7FFFFEFF-7FFFFF00 overlaps "
            "7FFFFE00-7FFFFEFF");
}

}  // namespace
}  // namespace ombrix
