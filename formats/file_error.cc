#include "formats/file_error.h"

#include <utility>

namespace ombrix::formats {
namespace {

std::string Where(const std::string& file, int line, const std::string& message) {
  return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

}  // namespace

FileError::FileError(std::string File, int Line, std::string Message)
    : std::runtime_error(Where(File, Line, Message)),
      file_(std::move(File)),
      line_(Line),
      message_(std::move(Message)) {}

}  // namespace ombrix::formats
