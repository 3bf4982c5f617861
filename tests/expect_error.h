// Checks that a statement raises an ombrix::Error with the given number,
// description and source.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

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
inline std::string StandardText(int32_t number) {
  constexpr std::pair<int32_t, const char*> kTexts[] = {
      {5, "Invalid procedure call or argument"},
      {6, "Overflow"},
      {7, "Out of memory"},
      {9, "Subscript out of range"},
      {10, "This array is fixed or temporarily locked"},
      {13, "Type mismatch"},
      {91, "Object variable or With block variable not set"},
      {94, "Invalid use of Null"},
      {97, "Can not call friend function on object which is not an instance of defining class"},
      {429, "ActiveX component can't create object"},
      {438, "Object doesn't support this property or method"},
      {449, "Argument not optional"},
      {450, "Wrong number of arguments or invalid property assignment"}};
  for (const auto& [known, text] : kTexts) {
    if (known == number) return text;
  }
  return "Application-defined or object-defined error";
}

// The library's own error 1000 texts, written out for the same reason.
inline constexpr const char* kNegativeCount =
    "La propriété ByteAray.Count ne peut pas être négative";
inline constexpr const char* kOverlap = "Segments mémoire en recouvrement";
inline constexpr const char* kOddText = "la propriété Text doit être de longueur paire";
inline constexpr const char* kReadOnlyCount = "Propriété Count en lecture seule";

// An error whose description is the standard one for its number.
template <typename Statement>
void ExpectError(Statement&& statement, int32_t number) {
  ExpectError(statement, number, StandardText(number));
}

}  // namespace ombrix::testing
