#include "formats/dbc/dbc_lexer.h"

#include <cctype>

#include "formats/file_error.h"

namespace ombrix::formats::dbc {
namespace {

bool NameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool NamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool Digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::vector<Token> Tokens(std::string_view text, const std::string& name) {
  std::vector<Token> tokens;
  int line = 1;
  size_t line_start = 0;
  bool line_has_token = false;
  size_t k = 0;
  const auto fail = [&](size_t at, const std::string& what) {
    throw FileError(name, line, "column " + std::to_string(at - line_start + 1) + ": " + what);
  };
  while (k < text.size()) {
    const char c = text[k];
    if (c == '\n') {
      ++line;
      line_start = ++k;
      line_has_token = false;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++k;
      continue;
    }
    Token token;
    token.line = line;
    token.column = static_cast<int>(k - line_start + 1);
    token.offset = k;
    token.starts_line = !line_has_token;
    if (c == '"') {
      token.kind = Token::Kind::String;
      ++k;
      for (;;) {
        if (k >= text.size()) {
          throw FileError(
              name, token.line,
              "column " + std::to_string(token.column) + ": a string that is never closed");
        }
        const char s = text[k];
        if (s == '"') break;
        if (s == '\\' && k + 1 < text.size() && (text[k + 1] == '"' || text[k + 1] == '\\')) {
          token.text += text[k + 1];
          k += 2;
          continue;
        }
        if (s == '\n') {
          ++line;
          line_start = k + 1;
        }
        token.text += s;
        ++k;
      }
      ++k;
    } else if (NameStart(c)) {
      token.kind = Token::Kind::Name;
      while (k < text.size() && NamePart(text[k])) ++k;
      token.text = std::string(text.substr(token.offset, k - token.offset));
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
      token.text = std::string(text.substr(token.offset, k - token.offset));
    } else if (std::string_view(":;|@()[],+-").find(c) != std::string_view::npos) {
      token.kind = Token::Kind::Punctuation;
      token.text = std::string(1, c);
      ++k;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      fail(k, byte < 0x20 || byte >= 0x7F
                  ? "a byte no DBC token starts with"
                  : std::string("a character no DBC token starts with: '") + c + "'");
    }
    token.end = k;
    line_has_token = true;
    tokens.push_back(std::move(token));
  }
  Token end;
  end.line = line;
  end.column = static_cast<int>(k - line_start + 1);
  end.offset = end.end = text.size();
  end.starts_line = true;
  tokens.push_back(end);
  return tokens;
}

}  // namespace ombrix::formats::dbc
