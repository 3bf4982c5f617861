#include "formats/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "formats/file_error.h"

namespace ombrix::formats {
namespace {

constexpr size_t kChunk = size_t{1} << 20;
// A file being replaced goes to the disk in steps of this many bytes.
constexpr uint64_t kWritebackStep = uint64_t{8} << 20;

// While alive, the signals that end a program wait instead in this thread
// (so that the writer can clean up and say so). Only the calling thread's
// mask changes, and it is restored: nothing the process shares is touched.
class SignalGuard {
 public:
  SignalGuard() {
    sigemptyset(&stopping_);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stopping_, signal);
    pthread_sigmask(SIG_BLOCK, &stopping_, &old_mask_);
  }
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;
  ~SignalGuard() { pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr); }

  // Fails, taking the signal, when one of them is pending.
  void ThrowIfStopped(const std::string& path) const {
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      if (sigismember(&pending, signal) == 1 && sigismember(&old_mask_, signal) == 0) {
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
};

// The file size limit: a write that would pass it fails as the system would
// fail it (EFBIG), before the system sends SIGXFSZ, whose default action
// ends the program and which is the process's to handle, not ours.
uint64_t FileSizeLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return UINT64_MAX;
  }
  return limit.rlim_cur;
}

// The process's file mode mask, read without setting it (umask() would
// change it for every thread for a moment); the usual 022 where it cannot
// be read.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:"))
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 022;
}

// Closes the descriptor on the way out of a failed write.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    return *this;
  }
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

// The new text's file in the target's folder. Where the file system allows
// it, the file has no name until it replaces the target, so that nothing is
// left behind whatever ends the program (a signal, a crash); elsewhere it
// has a name of its own, removed unless it has replaced the target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target)
      : target_(target), descriptor_(Unnamed(target)) {
    if (descriptor_.get() >= 0) return;
    name_ = target + ".tmp-XXXXXX";
    descriptor_ = Descriptor(::mkstemp(name_.data()));
    if (descriptor_.get() < 0)
      throw FileError::System(target, "cannot create a temporary file", errno);
    // mkstemp makes the file its owner's alone: give it the mode of a new file.
    ::fchmod(descriptor_.get(), 0666 & ~CurrentUmask());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!name_.empty() && !replaced_) ::unlink(name_.c_str());
  }

  int descriptor() const { return descriptor_.get(); }
  bool Close() { return descriptor_.Close(); }
  // Takes the target's place; false, with errno, when it cannot.
  bool Replace() {
    if (name_.empty() && !Name()) return false;
    if (std::rename(name_.c_str(), target_.c_str()) != 0) return false;
    replaced_ = true;
    return true;
  }

 private:
  // An unnamed file in the target's folder, created with the usual mode of a
  // new file; -1 where the file system has none.
  static int Unnamed(const std::string& target) {
    std::string folder = std::filesystem::path(target).parent_path().string();
    if (folder.empty()) folder = ".";
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  }
  // Gives the unnamed file a name beside the target, for the moment before
  // it takes the target's.
  bool Name() {
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor_.get());
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "%08x", random());
      const std::string name = target_ + ".tmp-" + suffix;
      if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        name_ = name;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  std::string target_;
  std::string name_;  // empty while the file has none
  Descriptor descriptor_;
  bool replaced_ = false;
};

// Where a chain of symbolic links ends (the path itself when it is none).
std::string FollowLinks(const std::string& path) {
  std::filesystem::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code error;
    if (!std::filesystem::is_symlink(current, error)) return current.string();
    const std::filesystem::path target = std::filesystem::read_symlink(current, error);
    if (error) throw FileError::System(path, "cannot read the symbolic link", error.value());
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw FileError::System(path, "cannot follow", ELOOP);
}

// Writes everything, chunk by chunk, checking for a stopping signal between
// chunks; `limit` is the most a regular file may hold, `size` what it holds.
void WriteAll(int descriptor, std::string_view contents, const std::string& path,
              const SignalGuard& signals, uint64_t limit, uint64_t& size) {
  const char* data = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    signals.ThrowIfStopped(path);
    if (size + std::min(left, kChunk) > limit) {
      throw FileError::System(path, "cannot write", EFBIG);
    }
    const ssize_t written = ::write(descriptor, data, std::min(left, kChunk));
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError::System(path, "cannot write", errno);
    }
    data += written;
    left -= static_cast<size_t>(written);
    size += static_cast<uint64_t>(written);
  }
}

// Starts the disk writing what `descriptor` holds beyond `started` once a
// step has gathered, without waiting: the disk then works while the rest is
// produced, and the fsync before the file replaces the old one waits for
// little (it otherwise waits for the whole file). Failures are the fsync's
// to report.
void StartWriteback([[maybe_unused]] int descriptor, uint64_t& started, uint64_t size) {
  if (size - started < kWritebackStep) return;
#if defined(__linux__)
  ::sync_file_range(descriptor, static_cast<off_t>(started), static_cast<off_t>(size - started),
                    SYNC_FILE_RANGE_WRITE);
#endif
  started = size;
}

void WriteDirectly(const std::string& path, const std::function<void(const TextSink&)>& produce,
                   const SignalGuard& signals) {
  Descriptor descriptor(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (descriptor.get() < 0) throw FileError::System(path, "cannot open", errno);
  // A device or FIFO has no size to limit.
  uint64_t size = 0;
  produce([&](std::string_view piece) {
    WriteAll(descriptor.get(), piece, path, signals, UINT64_MAX, size);
  });
  signals.ThrowIfStopped(path);
  if (!descriptor.Close()) throw FileError::System(path, "cannot write", errno);
}

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw FileError::System(path, "cannot open", errno);
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) throw FileError::System(path, "cannot read", errno);
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
  if (exists && S_ISDIR(existing.st_mode)) throw FileError::System(path, "cannot write", EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    WriteDirectly(target, produce, signals);
    return;
  }

  TemporaryFile temporary(target);
  const uint64_t limit = FileSizeLimit();
  uint64_t size = 0, started = 0;
  produce([&](std::string_view piece) {
    WriteAll(temporary.descriptor(), piece, path, signals, limit, size);
    StartWriteback(temporary.descriptor(), started, size);
  });
  signals.ThrowIfStopped(path);
  // A replaced file keeps its mode and owner (where we may give it).
  if (exists) {
    if (::fchown(temporary.descriptor(), existing.st_uid, existing.st_gid) != 0) {
      // Not ours to give away: keep at least the group where we may.
      [[maybe_unused]] const int ignored =
          ::fchown(temporary.descriptor(), static_cast<uid_t>(-1), existing.st_gid);
    }
    ::fchmod(temporary.descriptor(), existing.st_mode & 07777);
  }
  if (::fsync(temporary.descriptor()) != 0) throw FileError::System(path, "cannot write", errno);
  signals.ThrowIfStopped(path);
  if (!temporary.Replace()) throw FileError::System(path, "cannot replace", errno);
  if (!temporary.Close()) throw FileError::System(path, "cannot write", errno);
}

}  // namespace ombrix::formats
