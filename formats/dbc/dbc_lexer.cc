#include "formats/dbc/dbc_lexer_internal.h"
#include "formats/file_error.h"

namespace ombrix::formats::dbc {
namespace {

// ASCII classes by hand: <cctype> would follow the process's locale.
bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string Token::Text() const {
  if (!escaped) return std::string(text);
  std::string unescaped;
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\\' && k + 1 < text.size() && (text[k + 1] == '"' || text[k + 1] == '\\')) ++k;
    unescaped += text[k];
  }
  return unescaped;
}

Token Lexer::Next() {
  const std::string_view text = text_;
  size_t k = at_;
  while (k < text.size()) {
    const char c = text[k];
    if (c == '\n') {
      ++line_;
      line_start_ = ++k;
      line_has_token_ = false;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++k;
    } else {
      break;
    }
  }
  Token token;
  token.line = line_;
  token.column = static_cast<int>(k - line_start_ + 1);
  token.offset = k;
  token.starts_line = !line_has_token_;
  if (k >= text.size()) {
    at_ = token.end = k;
    token.end_line = line_;
    return token;
  }
  const char c = text[k];
  if (c == '"') {
    token.kind = Token::Kind::String;
    const size_t first = ++k;
    for (;;) {
      if (k >= text.size()) {
        throw FileError(
            name_, token.line,
            "column " + std::to_string(token.column) + ": a string that is never closed");
      }
      const char s = text[k];
      if (s == '"') break;
      if (s == '\\' && k + 1 < text.size() && (text[k + 1] == '"' || text[k + 1] == '\\')) {
        token.escaped = true;
        k += 2;
        continue;
      }
      if (s == '\n') {
        ++line_;
        line_start_ = k + 1;
      }
      ++k;
    }
    token.text = text.substr(first, k - first);
    ++k;
  } else if (Letter(c)) {
    token.kind = Token::Kind::Name;
    while (k < text.size() && (Letter(text[k]) || Digit(text[k]))) ++k;
    token.text = text.substr(token.offset, k - token.offset);
  } else if (Digit(c) || ((c == '-' || c == '+' || c == '.') && k + 1 < text.size() &&
                          (Digit(text[k + 1]) || (text[k + 1] == '.' && c != '.')))) {
    token.kind = Token::Kind::Number;
    if (c == '-' || c == '+') ++k;
    while (k < text.size() && (Digit(text[k]) || text[k] == '.')) ++k;
    if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
      size_t e = k + 1;
      if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
      if (e < text.size() && Digit(text[e])) {
        k = e;
        while (k < text.size() && Digit(text[k])) ++k;
      }
    }
    token.text = text.substr(token.offset, k - token.offset);
  } else if (std::string_view(":;|@()[],+-").find(c) != std::string_view::npos) {
    token.kind = Token::Kind::Punctuation;
    token.text = text.substr(k, 1);
    ++k;
  } else {
    const auto byte = static_cast<unsigned char>(c);
    throw FileError(name_, line_,
                    "column " + std::to_string(token.column) + ": " +
                        (byte < 0x20 || byte >= 0x7F
                             ? std::string("a byte no DBC token starts with")
                             : std::string("a character no DBC token starts with: '") + c + "'"));
  }
  token.end = at_ = k;
  token.end_line = line_;
  line_has_token_ = true;
  return token;
}

}  // namespace ombrix::formats::dbc
