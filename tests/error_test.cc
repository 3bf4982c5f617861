#include "ombrix/frame/error.h"

#include <gtest/gtest.h>

namespace ombrix {
namespace {

TEST(ErrorTest, StandardDescriptionsAndDefaultSource) {
  const Error subscript(9);
  EXPECT_STREQ(subscript.what(), "Subscript out of range");
  EXPECT_EQ(subscript.Source(), "Ombrix");
  EXPECT_EQ(Error(1000).Description(), "Application-defined or object-defined error");
  EXPECT_EQ(Error(2000, {}, "Value too big").Source(), "Value too big");
  EXPECT_EQ(Error(97).Description(),
            "Can not call friend function on object which is not an instance of defining class");
  EXPECT_EQ(Error(1000, messages::kOverlap).Description(), "Segments mémoire en recouvrement");
}

}  // namespace
}  // namespace ombrix
