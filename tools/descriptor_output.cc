#include "tools/descriptor_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ombrix::cli {

DescriptorOutput::Buffer::Buffer(int descriptor) : descriptor_(descriptor) {
  setp(bytes_.data(), bytes_.data() + bytes_.size());
}

// Writes it all; false, the error kept, once a write has failed (what
// follows is dropped: the output is lost either way).
bool DescriptorOutput::Buffer::Drain(const char* data, size_t size) {
  while (size > 0 && error == 0) {
    const ssize_t written = ::write(descriptor_, data, size);
    if (written < 0) {
      if (errno != EINTR) error = errno;
      continue;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return error == 0;
}

int DescriptorOutput::Buffer::sync() {
  const bool drained = Drain(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(bytes_.data(), bytes_.data() + bytes_.size());
  return drained ? 0 : -1;
}

DescriptorOutput::Buffer::int_type DescriptorOutput::Buffer::overflow(int_type c) {
  if (sync() != 0) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize DescriptorOutput::Buffer::xsputn(const char* s, std::streamsize n) {
  const auto room = epptr() - pptr();
  if (n <= room) {
    std::memcpy(pptr(), s, static_cast<size_t>(n));
    pbump(static_cast<int>(n));
    return n;
  }
  // Larger than the buffer's room: what is buffered goes first, then this.
  if (sync() != 0 || !Drain(s, static_cast<size_t>(n))) return 0;
  return n;
}

DescriptorOutput::DescriptorOutput(int descriptor) : std::ostream(nullptr), buffer_(descriptor) {
  rdbuf(&buffer_);
}

int DescriptorOutput::Finish() {
  flush();
  return buffer_.error;
}

}  // namespace ombrix::cli
