#include "formats/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "formats/file_error.h"

namespace ombrix::formats {
namespace {

std::string SystemMessage(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

// Closes and removes the temporary file unless it has been renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : name_(target + ".tmp-XXXXXX") {
    std::vector<char> pattern(name_.begin(), name_.end());
    pattern.push_back('\0');
    descriptor_ = ::mkstemp(pattern.data());
    if (descriptor_ < 0)
      throw FileError(target, 0, SystemMessage("cannot create a temporary file"));
    name_ = pattern.data();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!renamed_) ::unlink(name_.c_str());
  }

  int descriptor() const { return descriptor_; }
  const std::string& name() const { return name_; }
  bool Close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return ::close(descriptor) == 0;
  }
  void Renamed() { renamed_ = true; }

 private:
  std::string name_;
  int descriptor_ = -1;
  bool renamed_ = false;
};

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw FileError(path, 0, SystemMessage("cannot open"));
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) throw FileError(path, 0, SystemMessage("cannot read"));
  return std::move(contents).str();
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  TemporaryFile temporary(path);
  const char* data = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    const ssize_t written = ::write(temporary.descriptor(), data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, 0, SystemMessage("cannot write"));
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  // mkstemp makes the file readable by its owner alone: give it the
  // replaced file's permissions, or the usual ones for a new file.
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  ::fchmod(temporary.descriptor(), mode);
  if (::fsync(temporary.descriptor()) != 0) throw FileError(path, 0, SystemMessage("cannot write"));
  if (!temporary.Close()) throw FileError(path, 0, SystemMessage("cannot write"));
  if (std::rename(temporary.name().c_str(), path.c_str()) != 0) {
    throw FileError(path, 0, SystemMessage("cannot replace"));
  }
  temporary.Renamed();
}

}  // namespace ombrix::formats
