// Numbers and texts as the program prints them for people and for JSON.
#pragma once

#include <cmath>
#include <string>

#include "ombrix/frame/shortest_number_internal.h"

namespace ombrix::cli {

/// The shortest text that reads back to `value`; "NaN", "Inf", "-Inf".
inline std::string Number(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : value < 0 ? "-Inf" : "Inf";
  return ombrix::detail::ShortestNumber(value);
}

/// A JSON number, null for what JSON cannot hold.
inline std::string JsonNumber(double value) {
  return std::isfinite(value) ? Number(value) : "null";
}

/// A JSON string: quotes, backslashes and control characters escaped.
inline std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace ombrix::cli
