#include "formats/file_error.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace ombrix::formats {
namespace {

// The length of the UTF-8 sequence at the start of `text`, 0 when there is none.
size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const size_t length = (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

std::string Where(const std::string& file, int line, const std::string& message) {
  return Printable(file) + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

}  // namespace

std::string Printable(std::string_view text, bool ascii_only) {
  std::string printable;
  printable.reserve(text.size());
  for (size_t k = 0; k < text.size();) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (byte >= 0x20 && byte < 0x7F) {
      printable += text[k++];
      continue;
    }
    const size_t sequence = ascii_only || byte < 0x80 ? 0 : Utf8Length(text.substr(k));
    if (sequence > 0) {
      printable.append(text.substr(k, sequence));
      k += sequence;
      continue;
    }
    if (byte == '\r') {
      printable += "\\r";
    } else if (byte == '\n') {
      printable += "\\n";
    } else if (byte == '\t') {
      printable += "\\t";
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      printable += escape;
    }
    ++k;
  }
  return printable;
}

FileError::FileError(std::string File, int Line, std::string Message)
    : std::runtime_error(Where(File, Line, Printable(Message))),
      file_(std::move(File)),
      line_(Line),
      message_(Printable(Message)) {}

FileError FileError::System(std::string File, const char* What, int SystemError) {
  FileError error(std::move(File), 0, std::string(What) + ": " + std::strerror(SystemError));
  error.system_error_ = SystemError;
  return error;
}

}  // namespace ombrix::formats
