#include "formats/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/file_error.h"

namespace ombrix::formats {
namespace {

constexpr size_t kChunk = size_t{1} << 20;

std::string SystemMessage(const char* what, int error = errno) {
  return std::string(what) + ": " + std::strerror(error);
}

// While alive, the signals that end a program wait instead (so that the
// writer can clean up and say so), and reaching the file size limit makes
// write() fail instead of ending the program.
class SignalGuard {
 public:
  SignalGuard() {
    sigemptyset(&stopping_);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stopping_, signal);
    pthread_sigmask(SIG_BLOCK, &stopping_, &old_mask_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &old_xfsz_);
  }
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;
  ~SignalGuard() {
    sigaction(SIGXFSZ, &old_xfsz_, nullptr);
    pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
  }

  // Fails, taking the signal, when one of them is pending.
  void ThrowIfStopped(const std::string& path) const {
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      if (sigismember(&pending, signal) == 1) {
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        const timespec now{0, 0};
        sigtimedwait(&one, nullptr, &now);
        throw FileError(path, 0, std::string("write interrupted by SIG") + sigabbrev_np(signal));
      }
    }
  }

 private:
  sigset_t stopping_{};
  sigset_t old_mask_{};
  struct sigaction old_xfsz_ {};
};

// Closes the descriptor on the way out of a failed write.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  int get() const { return descriptor_; }
  bool Close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return ::close(descriptor) == 0;
  }

 private:
  int descriptor_;
};

// Removes the temporary file unless it has been renamed; its descriptor
// closes with it.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target)
      : name_(target + ".tmp-XXXXXX"), descriptor_(::mkstemp(name_.data())) {
    if (descriptor_.get() < 0)
      throw FileError(target, 0, SystemMessage("cannot create a temporary file"));
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!renamed_) ::unlink(name_.c_str());
  }

  int descriptor() const { return descriptor_.get(); }
  const std::string& name() const { return name_; }
  bool Close() { return descriptor_.Close(); }
  void Renamed() { renamed_ = true; }

 private:
  std::string name_;  // mkstemp fills in the Xs
  Descriptor descriptor_;
  bool renamed_ = false;
};

// Where a chain of symbolic links ends (the path itself when it is none).
std::string FollowLinks(const std::string& path) {
  std::filesystem::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code error;
    if (!std::filesystem::is_symlink(current, error)) return current.string();
    const std::filesystem::path target = std::filesystem::read_symlink(current, error);
    if (error) throw FileError(path, 0, "cannot read the symbolic link: " + error.message());
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw FileError(path, 0, "too many levels of symbolic links");
}

// Writes everything, chunk by chunk, checking for a stopping signal between chunks.
void WriteAll(int descriptor, std::string_view contents, const std::string& path,
              const SignalGuard& signals) {
  const char* data = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    signals.ThrowIfStopped(path);
    const ssize_t written = ::write(descriptor, data, std::min(left, kChunk));
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, 0, SystemMessage("cannot write"));
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
}

void WriteDirectly(const std::string& path, const std::function<void(const TextSink&)>& produce,
                   const SignalGuard& signals) {
  Descriptor descriptor(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (descriptor.get() < 0) throw FileError(path, 0, SystemMessage("cannot open"));
  produce([&](std::string_view piece) { WriteAll(descriptor.get(), piece, path, signals); });
  signals.ThrowIfStopped(path);
  if (!descriptor.Close()) throw FileError(path, 0, SystemMessage("cannot write"));
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw FileError(path, 0, SystemMessage("cannot open"));
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) throw FileError(path, 0, SystemMessage("cannot read"));
  return std::move(contents).str();
}

void WriteFileSafely(const std::string& path, std::string_view contents) {
  WriteFileSafely(path, [contents](const TextSink& sink) { sink(contents); });
}

void WriteFileSafely(const std::string& path, const std::function<void(const TextSink&)>& produce) {
  const SignalGuard signals;
  const std::string target = FollowLinks(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) throw FileError(path, 0, "is a folder");
  if (exists && !S_ISREG(existing.st_mode)) {
    WriteDirectly(target, produce, signals);
    return;
  }

  TemporaryFile temporary(target);
  produce([&](std::string_view piece) { WriteAll(temporary.descriptor(), piece, path, signals); });
  signals.ThrowIfStopped(path);
  // mkstemp makes the file readable by its owner alone: give it the
  // replaced file's mode and owner, or the usual mode for a new file.
  if (exists) {
    if (::fchown(temporary.descriptor(), existing.st_uid, existing.st_gid) != 0) {
      // Not ours to give away: keep at least the group where we may.
      [[maybe_unused]] const int ignored =
          ::fchown(temporary.descriptor(), static_cast<uid_t>(-1), existing.st_gid);
    }
  }
  ::fchmod(temporary.descriptor(), exists ? (existing.st_mode & 07777) : NewFileMode());
  if (::fsync(temporary.descriptor()) != 0) throw FileError(path, 0, SystemMessage("cannot write"));
  if (!temporary.Close()) throw FileError(path, 0, SystemMessage("cannot write"));
  signals.ThrowIfStopped(path);
  if (std::rename(temporary.name().c_str(), target.c_str()) != 0) {
    throw FileError(path, 0, SystemMessage("cannot replace"));
  }
  temporary.Renamed();
}

}  // namespace ombrix::formats
