// The error of a file that cannot be read or written: which file, which
// line (0 when the whole file is at fault), and what is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace ombrix::formats {

class FileError : public std::runtime_error {
 public:
  /// "File:Line: Message", or "File: Message" when Line is 0.
  FileError(std::string File, int Line, std::string Message);

  const std::string& File() const noexcept { return file_; }
  int Line() const noexcept { return line_; }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string file_;
  int line_;
  std::string message_;
};

}  // namespace ombrix::formats
