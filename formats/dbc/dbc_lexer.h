// Internal: DBC text as tokens (names, numbers, strings, punctuation), each
// with where it stands, for the reader's statements.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix::formats::dbc {

struct Token {
  enum class Kind { Name, Number, String, Punctuation, End } kind = Kind::End;
  std::string text;  // a string's text without its quotes, escapes undone
  int line = 0;
  int column = 0;
  size_t offset = 0;  // where it starts in the source
  size_t end = 0;     // one past where it ends
  bool starts_line = false;
};

/// Every token of `text`, then one End token; FileError(name, line, ...)
/// for a string that is not closed or a character no token starts with.
std::vector<Token> Tokens(std::string_view text, const std::string& name);

}  // namespace ombrix::formats::dbc
