// Internal: DBC text as a stream of tokens (names, numbers, strings,
// punctuation), each with where it stands, for the reader's statements.
// Tokens view the text, which must outlive them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ombrix::formats::dbc {

struct Token {
  enum class Kind { Name, Number, String, Punctuation, End } kind = Kind::End;
  /// As written; for a string, what lies between its quotes.
  std::string_view text;
  bool escaped = false;  // a string with \" or \\ in it
  int line = 0;
  int end_line = 0;  // differs from line for a string over several lines
  int column = 0;
  size_t offset = 0;  // where it starts in the text
  size_t end = 0;     // one past where it ends
  bool starts_line = false;

  /// The token's text; for a string, with its escapes undone.
  std::string Text() const;
};

class Lexer {
 public:
  Lexer(std::string_view text, const std::string& name) : text_(text), name_(name) {}
  /// The next token, or an End token at the end (and ever after);
  /// FileError(name, line, "column C: ...") for a string that is not closed
  /// or a character no token starts with.
  Token Next();

 private:
  std::string_view text_;
  const std::string& name_;
  size_t at_ = 0;
  int line_ = 1;
  size_t line_start_ = 0;
  bool line_has_token_ = false;
};

}  // namespace ombrix::formats::dbc
