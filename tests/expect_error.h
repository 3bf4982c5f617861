// Checks that a statement raises an ombrix::Error with the given number,
// description and source.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ombrix/frame/error.h"

namespace ombrix::testing {

template <typename Statement>
void ExpectError(Statement&& statement, int32_t number, const std::string& description,
                 const std::string& source = "Ombrix") {
  try {
    statement();
    ADD_FAILURE() << "no error raised; expected error " << number;
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), number);
    EXPECT_EQ(error.Description(), description);
    EXPECT_EQ(error.Source(), source);
  }
}

// The standard descriptions, written out here rather than taken from the
// library's table, so that a typo there fails a test.
inline const char* StandardText(int32_t number) {
  switch (number) {
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 7:
      return "Out of memory";
    case 9:
      return "Subscript out of range";
    case 10:
      return "This array is fixed or temporarily locked";
    case 13:
      return "Type mismatch";
    case 91:
      return "Object variable or With block variable not set";
    case 94:
      return "Invalid use of Null";
    case 97:
      return "Can not call friend function on object which is not an instance of defining class";
    default:
      return "Application-defined or object-defined error";
  }
}

// An error whose description is the standard one for its number.
template <typename Statement>
void ExpectError(Statement&& statement, int32_t number) {
  ExpectError(statement, number, StandardText(number));
}

}  // namespace ombrix::testing
