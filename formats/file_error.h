// The error of a file that cannot be read or written: which file, which
// line (0 when the whole file is at fault), and what is wrong.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace ombrix::formats {

/// A file that cannot be read or written: the file, the line and why.
/// Its text is one line that a terminal prints as it stands: control
/// characters and bytes that are not UTF-8 come as escapes (see Printable).
class FileError : public std::runtime_error {
 public:
  /// "File:Line: Message", or "File: Message" when Line is 0.
  FileError(std::string File, int Line, std::string Message);
  /// A file the system refused: "File: What: " and the system's text for
  /// SystemError (an errno value).
  static FileError System(std::string File, const char* What, int SystemError);

  /// The file named in the error.
  const std::string& File() const noexcept { return file_; }
  /// The line at fault, from 1; 0 when no one line is.
  int Line() const noexcept { return line_; }
  /// What is wrong, without the file and line.
  const std::string& Message() const noexcept { return message_; }
  /// The errno value of a file the system refused; 0 for a file at fault.
  int SystemError() const noexcept { return system_error_; }

 private:
  std::string file_;
  int line_;
  std::string message_;
  int system_error_ = 0;
};

/// `text` with every control character written as an escape (\r, \n, \t,
/// \x1B, ...), and every byte from 0x80 on as \xNN where it is not part of
/// UTF-8 text, or always with `ascii_only`.
std::string Printable(std::string_view text, bool ascii_only = false);

}  // namespace ombrix::formats
