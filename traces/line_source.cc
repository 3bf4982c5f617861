#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formats/file_error.h"
#include "traces/line_source_internal.h"

namespace ombrix::traces::detail {
namespace {

constexpr size_t kBlock = size_t{1} << 20;
// A line longer than this is not a trace's line.
constexpr size_t kLongestLine = size_t{16} << 20;

}  // namespace

LineSource::LineSource(const std::string& path) : name_(path == "-" ? "<stdin>" : path) {
  if (path == "-") {
    descriptor_ = STDIN_FILENO;
  } else {
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0) throw formats::FileError::System(name_, "cannot open", errno);
    owned_ = true;
    struct stat info {};
    if (::fstat(descriptor_, &info) == 0 && S_ISREG(info.st_mode)) {
      size_ = static_cast<uint64_t>(info.st_size);
    } else if (S_ISDIR(info.st_mode)) {
      ::close(descriptor_);
      throw formats::FileError::System(name_, "cannot read", EISDIR);
    }
  }
  buffer_.resize(kBlock);
}

LineSource::LineSource(std::istream& stream, std::string name)
    : name_(std::move(name)), stream_(&stream) {
  buffer_.resize(kBlock);
}

LineSource::LineSource(std::string text, std::string name)
    : name_(std::move(name)), end_(true), buffer_(text.begin(), text.end()) {
  filled_ = buffer_.size();
  size_ = filled_;
}

LineSource::~LineSource() {
  if (owned_) ::close(descriptor_);
}

bool LineSource::Fill() {
  if (end_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, filled_ - begin_);
    filled_ -= begin_;
    begin_ = 0;
  }
  if (filled_ == buffer_.size()) {
    if (buffer_.size() >= kLongestLine) {
      throw formats::FileError(name_, static_cast<int>(line_ + 1), "line longer than 16 MiB");
    }
    buffer_.resize(buffer_.size() * 2);
  }
  if (stream_ != nullptr) {
    stream_->read(buffer_.data() + filled_, static_cast<std::streamsize>(buffer_.size() - filled_));
    const auto got = static_cast<size_t>(stream_->gcount());
    if (stream_->bad()) throw formats::FileError(name_, 0, "cannot read");
    filled_ += got;
    end_ = got == 0;
    return got > 0;
  }
  for (;;) {
    const ssize_t got = ::read(descriptor_, buffer_.data() + filled_, buffer_.size() - filled_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw formats::FileError::System(name_, "cannot read", errno);
    if (got == 0) {
      end_ = true;
      return false;
    }
    filled_ += static_cast<size_t>(got);
    return true;
  }
}

bool LineSource::Next(std::string_view& line) {
  size_t searched = 0;  // bytes from begin_ known to hold no line end
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const size_t left = filled_ - begin_;
    const auto* found =
        left > searched
            ? static_cast<const char*>(std::memchr(start + searched, '\n', left - searched))
            : nullptr;
    size_t length = left;
    size_t taken = left;
    if (found != nullptr) {
      length = static_cast<size_t>(found - start);
      taken = length + 1;
    } else {
      searched = left;
      const bool more = Fill();
      if (more) continue;  // the bytes moved to the front: look on from there
      if (left == 0) return false;
      start = buffer_.data() + begin_;  // moved to the front all the same
    }
    line = std::string_view(start, length);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    begin_ += taken;
    consumed_ += taken;
    last_taken_ = taken;
    ++line_;
    return true;
  }
}

void LineSource::PutBack() noexcept {
  // The line still lies just before begin_: nothing was read since.
  begin_ -= last_taken_;
  consumed_ -= last_taken_;
  last_taken_ = 0;
  --line_;
}

}  // namespace ombrix::traces::detail
