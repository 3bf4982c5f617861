// The program's standard output: a stream that writes to a file descriptor
// and remembers why a write failed, so that output lost to a full disk or a
// closed pipe is never reported as success.
#pragma once

#include <array>
#include <ostream>
#include <streambuf>

namespace ombrix::cli {

/// A buffered stream on a file descriptor that keeps the first write error.
class DescriptorOutput : public std::ostream {
 public:
  /// Writes to `descriptor` (not closed here).
  explicit DescriptorOutput(int descriptor);
  DescriptorOutput(const DescriptorOutput&) = delete;
  DescriptorOutput& operator=(const DescriptorOutput&) = delete;

  /// Flushes; the errno of the first write that failed, 0 when none did.
  int Finish();

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(int descriptor);
    int error = 0;

   protected:
    int_type overflow(int_type c) override;
    int sync() override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

   private:
    bool Drain(const char* data, size_t size);
    int descriptor_;
    std::array<char, 1 << 16> bytes_{};
  };
  Buffer buffer_;
};

}  // namespace ombrix::cli
