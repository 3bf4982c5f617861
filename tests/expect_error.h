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

// An error whose description is the standard one for its number.
template <typename Statement>
void ExpectError(Statement&& statement, int32_t number) {
  ExpectError(statement, number, StandardDescription(number));
}

}  // namespace ombrix::testing
