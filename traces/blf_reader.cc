// Vector BLF: a file header ("LOGG", its size, the start time as a Windows
// SYSTEMTIME), then objects, each "LOBJ" with its header size, header
// version, object size and type. Log containers (type 10) hold more objects,
// stored or deflated with zlib, and an object may continue from one
// container into the next. Inside, objects carry a time (10 µs or 1 ns
// steps from the start) and, for CAN (1, 86), CAN FD (100, 101) and CAN
// error frames (73), the frame. Everything is little-endian; other objects
// are passed over and counted.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "formats/file_error.h"
#include "ombrix/frame/detail/allocation.h"
#include "traces/readers_internal.h"

namespace ombrix::traces::detail {
namespace {

constexpr uint32_t kContainer = 10;
constexpr uint32_t kCanMessage = 1;
constexpr uint32_t kCanMessage2 = 86;
constexpr uint32_t kCanErrorExt = 73;
constexpr uint32_t kCanFdMessage = 100;
constexpr uint32_t kCanFdMessage64 = 101;
// A container's contents beyond this are not a log's.
constexpr uint32_t kLargestContainer = 64u << 20;

template <typename T>
T Little(const uint8_t* p) noexcept {
  T value{};
  std::memcpy(&value, p, sizeof value);  // the machines this builds for are little-endian
  return value;
}

class Blf final : public TraceReader {
 public:
  Blf(const std::string& path, const ReadOptions& options)
      : name_(path == "-" ? "<stdin>" : path), options_(options) {
    descriptor_ = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0) throw formats::FileError::System(name_, "cannot open", errno);
    owned_ = path != "-";
    struct stat info {};
    if (::fstat(descriptor_, &info) == 0 && S_ISREG(info.st_mode)) {
      size_ = static_cast<uint64_t>(info.st_size);
    }
    uint8_t header[144];
    if (!ReadExactly(header, sizeof header) || std::memcmp(header, "LOGG", 4) != 0) {
      Close();
      throw formats::FileError(name_, 0, "not a BLF file (no LOGG header)");
    }
    // The start time: year, month, weekday, day, hour, minute, second, ms.
    const auto field = [&](int k) { return Little<uint16_t>(header + 40 + 2 * k); };
    if (field(0) >= 1970 && field(0) <= kLastYear && field(1) >= 1 && field(1) <= 12 &&
        field(3) >= 1 && field(3) <= 31) {
      start_ = (DaysFromCivil(field(0), field(1), field(3)) * 86400 + field(4) * 3600 +
                field(5) * 60 + field(6)) *
                   1'000'000'000 +
               int64_t{field(7)} * 1'000'000;
    }
    const uint32_t header_size = Little<uint32_t>(header + 4);
    if (header_size < sizeof header || header_size > 4096) Fail("a file header of a bad size");
    std::vector<uint8_t> rest(header_size - sizeof header);
    if (!ReadExactly(rest.data(), rest.size())) Fail("the file header is cut short");
  }
  ~Blf() override { Close(); }

  bool Next(Frame& frame) override {
    return ombrix::detail::OrOutOfMemory([&] {
      for (;;) {
        // Objects from the containers read so far.
        while (Object(frame)) {
          if (frame_ready_) {
            frame_ready_ = false;
            return true;
          }
        }
        if (!NextContainer()) return false;
      }
    });
  }

  std::pair<uint64_t, uint64_t> Progress() const noexcept override { return {consumed_, size_}; }

 private:
  void Close() noexcept {
    if (owned_ && descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw formats::FileError(name_, 0, what + " at byte " + std::to_string(consumed_));
  }

  // Reads `count` bytes; false at the end of the file before any of them.
  bool ReadExactly(uint8_t* into, size_t count) {
    size_t done = 0;
    while (done < count) {
      const ssize_t got = ::read(descriptor_, into + done, count - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw formats::FileError::System(name_, "cannot read", errno);
      if (got == 0) {
        if (done == 0) return false;
        Fail("the file ends inside an object");
      }
      done += static_cast<size_t>(got);
      consumed_ += static_cast<uint64_t>(got);
    }
    return true;
  }

  // Reads the file's next object; a container's contents join the pending
  // bytes, anything else at this level is passed over. False at the end.
  bool NextContainer() {
    for (;;) {
      uint8_t header[16];
      if (!ReadExactly(header, sizeof header)) {
        if (pending_.size() - at_ >= 16) Fail("an object is cut short at the end of the file");
        return false;
      }
      if (std::memcmp(header, "LOBJ", 4) != 0) Fail("no object where one should start");
      const uint32_t size = Little<uint32_t>(header + 8);
      const uint32_t type = Little<uint32_t>(header + 12);
      if (size < 16 || size > kLargestContainer || (size_ > 0 && consumed_ + size - 16 > size_)) {
        Fail("an object of a bad size");
      }
      body_.resize(size - 16 + size % 4);
      if (!ReadExactly(body_.data(), body_.size())) Fail("the file ends inside an object");
      if (type != kContainer) {
        PassOver();
        continue;
      }
      if (size < 32) Fail("a container too short for its header");
      const uint16_t method = Little<uint16_t>(body_.data());
      const uint32_t unpacked = Little<uint32_t>(body_.data() + 8);
      const uint8_t* packed = body_.data() + 16;
      const size_t packed_size = size - 32;
      // What is left of the last container goes first.
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at_));
      at_ = 0;
      const size_t before = pending_.size();
      if (method == 0) {
        pending_.insert(pending_.end(), packed, packed + packed_size);
      } else if (method == 2) {
        if (unpacked > kLargestContainer) Fail("a container of a bad size");
        pending_.resize(before + unpacked);
        uLongf out = unpacked;
        if (uncompress(pending_.data() + before, &out, packed, static_cast<uLong>(packed_size)) !=
                Z_OK ||
            out != unpacked) {
          Fail("a container whose deflated data does not inflate");
        }
      } else {
        Fail("a container of an unknown compression (" + std::to_string(method) + ")");
      }
      return true;
    }
  }

  // Reads the next object of the pending bytes into `frame` (frame_ready_
  // when it was a frame); false when the rest is not a whole object.
  bool Object(Frame& frame) {
    // Objects inside containers start on 4-byte boundaries: skip the padding.
    size_t at = at_;
    while (at + 4 <= pending_.size() && std::memcmp(pending_.data() + at, "LOBJ", 4) != 0 &&
           at < at_ + 8) {
      ++at;
    }
    if (at + 16 > pending_.size()) return false;
    const uint8_t* object = pending_.data() + at;
    if (std::memcmp(object, "LOBJ", 4) != 0) Fail("no object where one should start");
    const uint16_t header_size = Little<uint16_t>(object + 4);
    const uint16_t version = Little<uint16_t>(object + 6);
    const uint32_t size = Little<uint32_t>(object + 8);
    const uint32_t type = Little<uint32_t>(object + 12);
    if (size < 16 || size > kLargestContainer) Fail("an object of a bad size");
    if (at + size > pending_.size()) return false;  // it goes on in the next container
    at_ = at + size;
    if (version != 1 && version != 2) {
      PassOver();
      return true;
    }
    const size_t own_header = version == 1 ? 16 : 24;
    if (size < 16 + own_header || header_size < 16 + own_header || header_size > size) {
      return Bad("an object header of a bad size");
    }
    const uint32_t flags = Little<uint32_t>(object + 16);
    const uint64_t ticks = Little<uint64_t>(object + 24);  // in both header versions
    const uint8_t* body = object + header_size;
    const size_t length = size - header_size;
    frame.Flags = 0;
    frame.Length = 0;
    // Ticks of 10 µs or of 1 ns from the start, within what 64 bits of
    // nanoseconds hold.
    const uint64_t most = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (ticks > (flags == 1 ? most / 10'000 : most)) return Bad("a time beyond the year 2262");
    const auto time = Later(start_, static_cast<int64_t>(flags == 1 ? ticks * 10'000 : ticks));
    if (!time) return Bad("a time beyond the year 2262");
    frame.Time = *time;
    switch (type) {
      case kCanMessage:
      case kCanMessage2:
        if (length < 16) return Bad("a CAN message too short");
        frame.Channel = ChannelNumbered(Little<uint16_t>(body));
        if ((body[2] & 0x01) != 0) frame.Flags |= kTransmitted;
        if ((body[2] & 0x80) != 0) frame.Flags |= kRemote;
        Identifier(Little<uint32_t>(body + 4), frame);
        frame.Length = std::min<uint8_t>(body[3], 8);
        std::memcpy(frame.Data.data(), body + 8, 8);
        break;
      case kCanErrorExt:
        if (length < 32) return Bad("a CAN error frame too short");
        frame.Channel = ChannelNumbered(Little<uint16_t>(body));
        frame.Flags = kError;
        frame.Id = 0;
        frame.Extended = false;
        break;
      case kCanFdMessage: {
        if (length < 84) return Bad("a CAN FD message too short");
        frame.Channel = ChannelNumbered(Little<uint16_t>(body));
        if ((body[2] & 0x01) != 0) frame.Flags |= kTransmitted;
        if ((body[2] & 0x80) != 0) frame.Flags |= kRemote;
        Identifier(Little<uint32_t>(body + 4), frame);
        const uint8_t fd = body[13];
        if ((fd & 1) != 0) frame.Flags |= kFd;
        if ((fd & 2) != 0) frame.Flags |= kBitRateSwitch;
        if ((fd & 4) != 0) frame.Flags |= kErrorState;
        frame.Length = std::min<uint8_t>(body[14], 64);
        if ((frame.Flags & (kRemote | kFd)) == kRemote) frame.Length = kFdLengths[body[3] & 15];
        std::memcpy(frame.Data.data(), body + 20, frame.Length);
        break;
      }
      case kCanFdMessage64: {
        if (length < 40) return Bad("a CAN FD message too short");
        frame.Channel = ChannelNumbered(body[0]);
        const uint8_t valid = std::min<uint8_t>(body[2], 64);
        Identifier(Little<uint32_t>(body + 4), frame);
        const uint32_t fd = Little<uint32_t>(body + 12);
        if ((fd & 0x0010) != 0) frame.Flags |= kRemote;
        if ((fd & 0x1000) != 0) frame.Flags |= kFd;
        if ((fd & 0x2000) != 0) frame.Flags |= kBitRateSwitch;
        if ((fd & 0x4000) != 0) frame.Flags |= kErrorState;
        if (body[34] != 0) frame.Flags |= kTransmitted;
        if (length < 40 + size_t{valid}) return Bad("a CAN FD message shorter than its data");
        frame.Length = valid;
        std::memcpy(frame.Data.data(), body + 40, valid);
        break;
      }
      default:
        PassOver();
        return true;
    }
    // CAN FD has no remote frames (an FD object may hold a classic one).
    if ((frame.Flags & kFd) != 0) frame.Flags &= static_cast<uint8_t>(~kRemote);
    frame_ready_ = true;
    return true;
  }

  bool Bad(const char* what) {
    if (options_.Strict) Fail(what);
    Skip(0, what);
    return true;
  }

  static void Identifier(uint32_t id, Frame& frame) noexcept {
    frame.Extended = (id & 0x80000000u) != 0;
    frame.Id = id & (frame.Extended ? 0x1FFFFFFFu : 0x7FFu);
  }

  // BLF numbers channels from 1, as ASC does.
  uint16_t ChannelNumbered(uint32_t number) {
    if (number != last_number_ || Channels().empty()) {
      last_number_ = number;
      last_index_ = ChannelIndex(std::to_string(number));
    }
    return last_index_;
  }

  std::string name_;
  ReadOptions options_;
  int descriptor_ = -1;
  bool owned_ = false;
  uint64_t consumed_ = 0;
  uint64_t size_ = 0;
  int64_t start_ = 0;
  std::vector<uint8_t> body_;
  std::vector<uint8_t> pending_;
  size_t at_ = 0;
  bool frame_ready_ = false;
  uint32_t last_number_ = 0;
  uint16_t last_index_ = 0;
};

}  // namespace

std::unique_ptr<TraceReader> BlfReader(const std::string& path, const ReadOptions& options) {
  return std::make_unique<Blf>(path, options);
}

}  // namespace ombrix::traces::detail
