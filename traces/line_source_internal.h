// Internal: the lines of a text trace, read in large blocks from a file,
// standard input or memory, each handed out as a view into the block.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix::traces::detail {

class LineSource {
 public:
  /// The lines of the file at `path`, or of standard input for "-".
  explicit LineSource(const std::string& path);
  /// The lines read from `stream`, named `name` in errors.
  LineSource(std::istream& stream, std::string name);
  /// The lines of `text`, named `name` in errors.
  LineSource(std::string text, std::string name);
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;
  ~LineSource();

  /// The next line, without its end ("\n" or "\r\n"); false at the end.
  /// The view lasts until the next call.
  bool Next(std::string_view& line);
  /// Gives the line last given again at the next call (once).
  void PutBack() noexcept;
  /// The number of the line last given, from 1.
  uint64_t LineNumber() const noexcept { return line_; }
  /// The name errors give the file.
  const std::string& Name() const noexcept { return name_; }
  /// Bytes consumed so far and the file's size (0 when unknown).
  uint64_t Consumed() const noexcept { return consumed_; }
  uint64_t Size() const noexcept { return size_; }

 private:
  // Moves what is left to the front and reads more; false when nothing came.
  bool Fill();

  std::string name_;
  int descriptor_ = -1;
  std::istream* stream_ = nullptr;
  bool owned_ = false;
  bool end_ = false;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t filled_ = 0;
  uint64_t line_ = 0;
  size_t last_taken_ = 0;
  uint64_t consumed_ = 0;
  uint64_t size_ = 0;
};

}  // namespace ombrix::traces::detail
