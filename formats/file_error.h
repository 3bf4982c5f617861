// The error of a file that cannot be read or written: which file, which
// line (0 when the whole file is at fault), and what is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace ombrix::formats {

/// A file that cannot be read or written: the file, the line and why.
class FileError : public std::runtime_error {
 public:
  /// "File:Line: Message", or "File: Message" when Line is 0.
  FileError(std::string File, int Line, std::string Message);

  /// The file named in the error.
  const std::string& File() const noexcept { return file_; }
  /// The line at fault, from 1; 0 when no one line is.
  int Line() const noexcept { return line_; }
  /// What is wrong, without the file and line.
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string file_;
  int line_;
  std::string message_;
};

}  // namespace ombrix::formats
