#include "ombrix/frame/error.h"

#include <gtest/gtest.h>

#include <sstream>

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

}  // namespace
}  // namespace ombrix
