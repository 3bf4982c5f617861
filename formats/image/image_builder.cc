#include "formats/image/image_builder.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>

#include "formats/file_error.h"
#include "formats/image/record_text.h"

namespace ombrix::formats {

namespace {

// The highest address an image holds: its arrays end (one past their last
// byte) at 2^31 - 1 at most.
constexpr uint64_t kImageTop = std::numeric_limits<int32_t>::max() - 1;
constexpr uint64_t kAddressEnd = uint64_t{1} << 32;

std::string ConflictText(uint32_t low, uint32_t high) {
  return "bytes at " + detail::HexAddress(low) + "-" + detail::HexAddress(high) +
         " differ from those given before";
}

}  // namespace

DataConflict::DataConflict(uint32_t Low, uint32_t High, int Earlier, int Later)
    : std::runtime_error(ConflictText(Low, High)),
      low_(Low),
      high_(High),
      earlier_(Earlier),
      later_(Later) {}

// Where the bytes given to a builder are kept: one anonymous mapping that
// grows in place or moves without a copy (mremap), so that bytes given in
// address order lie in one stretch however many there are, and a run of
// them goes into its image with one copy. Once every piece in a 64 KiB
// stretch of it has gone into an image, that stretch goes back to the
// system, so that the bytes are held about once throughout.
class GivenBytes {
 public:
  GivenBytes() = default;
  GivenBytes(const GivenBytes&) = delete;
  GivenBytes& operator=(const GivenBytes&) = delete;
  ~GivenBytes() {
    if (data_ != nullptr) ::munmap(data_, capacity_);
  }

  size_t size() const noexcept { return used_; }
  const uint8_t* At(uint64_t at) const noexcept { return data_ + at; }

  // Appends the bytes; std::bad_alloc when the system has no room.
  void Append(std::span<const uint8_t> bytes) {
    if (used_ + bytes.size() > capacity_) Grow(used_ + bytes.size());
    std::memcpy(data_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  // Counts a piece at `at` as not yet placed in each stretch it touches.
  void Hold(uint64_t at, uint64_t size) {
    if (pending_.empty()) pending_.assign(used_ / kStretch + 1, 0);
    for (uint64_t k = at / kStretch; k <= (at + size - 1) / kStretch; ++k) ++pending_[k];
  }
  // The piece is placed: stretches left with none go back to the system.
  void Release(uint64_t at, uint64_t size) {
    for (uint64_t k = at / kStretch; k <= (at + size - 1) / kStretch; ++k) {
      if (--pending_[k] == 0) ::madvise(data_ + k * kStretch, kStretch, MADV_DONTNEED);
    }
  }

 private:
  static constexpr size_t kStretch = size_t{1} << 16;
  static constexpr size_t kFirstCapacity = size_t{1} << 20;

  void Grow(size_t needed) {
    size_t capacity = std::max(capacity_ == 0 ? kFirstCapacity : capacity_, kStretch);
    while (capacity < needed) capacity *= 2;
    void* grown = data_ == nullptr ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                   : ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
    if (grown == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(grown);
    capacity_ = capacity;
  }

  uint8_t* data_ = nullptr;
  size_t capacity_ = 0;  // a whole number of stretches
  size_t used_ = 0;
  std::vector<uint32_t> pending_;  // pieces not yet placed, per stretch
};

// A piece is a stretch of consecutive addresses given one after the other;
// a group is a series of records of one size at consecutive addresses and
// consecutive sources, so that the source of any byte can be told at a few
// words per series rather than per record.
struct ImageBuilder::State {
  struct Piece {
    uint32_t address;
    uint32_t size;
    uint64_t at;  // where its bytes are among those given
    uint32_t group_begin;
    uint32_t group_end;
    uint64_t End() const { return uint64_t{address} + size; }
  };
  struct Group {
    uint32_t address;
    uint32_t size;
    uint32_t count;
    int source;
  };
  // A stretch of held addresses, one array: pieces [first, last] in address order.
  struct Run {
    uint32_t low;
    uint64_t end;
    size_t first;
    size_t last;
    bool contiguous;  // its pieces follow each other among the bytes given, none overlapping
  };
  struct Source {
    int source;
    uint64_t low, high;  // the record's first and last address
  };

  // A piece stays below 2 GiB, so that its size fits and an image takes it.
  static constexpr uint32_t kLargestPiece = uint32_t{1} << 30;

  std::string name;
  GivenBytes given;
  std::vector<Piece> pieces;
  std::vector<Group> groups;

  const uint8_t* Data(const Piece& piece) const { return given.At(piece.at); }

  void Add(uint32_t address, std::span<const uint8_t> bytes, int source) {
    while (!bytes.empty()) {
      const auto count = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kLargestPiece));
      const uint64_t at = given.size();
      given.Append(bytes.first(count));
      Piece* last = pieces.empty() ? nullptr : &pieces.back();
      if (last != nullptr && last->at + last->size == at && last->End() == address &&
          last->size + count <= kLargestPiece) {
        last->size += count;
      } else {
        const auto group = static_cast<uint32_t>(groups.size());
        pieces.push_back({address, count, at, group, group});
        last = &pieces.back();
      }
      Group* series = last->group_end > last->group_begin ? &groups.back() : nullptr;
      if (series != nullptr && series->size == count &&
          uint64_t{series->address} + uint64_t{series->size} * series->count == address &&
          static_cast<int64_t>(series->source) + series->count == source) {
        ++series->count;
      } else {
        groups.push_back({address, count, 1, source});
        last->group_end = static_cast<uint32_t>(groups.size());
      }
      address += count;
      bytes = bytes.subspan(count);
    }
  }

  // Where the byte at `address` of the piece came from.
  Source SourceAt(const Piece& piece, uint64_t address) const {
    for (uint32_t k = piece.group_begin; k < piece.group_end; ++k) {
      const Group& series = groups[k];
      const uint64_t offset = address - series.address;
      if (address >= series.address && offset < uint64_t{series.size} * series.count) {
        const uint64_t record = offset / series.size;
        const uint64_t low = series.address + record * series.size;
        return {static_cast<int>(series.source + static_cast<int64_t>(record)), low,
                low + series.size - 1};
      }
    }
    return {0, address, address};
  }

  // The pieces' indices in address order, those at one address in the order given.
  std::vector<uint32_t> Order() const {
    std::vector<uint32_t> order(pieces.size());
    std::iota(order.begin(), order.end(), 0u);
    const auto by_address = [&](uint32_t a, uint32_t b) {
      return pieces[a].address < pieces[b].address;
    };
    if (!std::is_sorted(order.begin(), order.end(), by_address)) {
      std::stable_sort(order.begin(), order.end(), by_address);
    }
    return order;
  }

  std::vector<Run> Runs(const std::vector<uint32_t>& order) const {
    std::vector<Run> runs;
    for (size_t k = 0; k < order.size(); ++k) {
      const Piece& piece = pieces[order[k]];
      if (!runs.empty() && piece.address <= runs.back().end) {
        Run& run = runs.back();
        const Piece& before = pieces[order[k - 1]];
        run.contiguous =
            run.contiguous && piece.address == run.end && piece.at == before.at + before.size;
        run.end = std::max(run.end, piece.End());
        run.last = k;
      } else {
        runs.push_back({piece.address, piece.End(), k, k, true});
      }
    }
    for (const Run& run : runs) {
      if (run.end - run.low > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        throw FileError(name, 0,
                        "data from " + detail::HexAddress(run.low) + " to " +
                            detail::HexAddress(static_cast<int64_t>(run.end - 1)) +
                            " runs for 2 GiB or more, more than one array holds");
      }
    }
    return runs;
  }

  void Placed(const Piece& piece) { given.Release(piece.at, piece.size); }

  [[noreturn]] void Conflict(const std::vector<uint32_t>& order, const Run& run, size_t k,
                             uint64_t address, const uint8_t* held) const {
    const Piece& later = pieces[order[k]];
    size_t first = run.first;
    while (!(pieces[order[first]].address <= address && address < pieces[order[first]].End())) {
      ++first;
    }
    const Piece& earlier = pieces[order[first]];
    const Source one = SourceAt(earlier, address);
    const Source other = SourceAt(later, address);
    // The stretch where the two records differ, within what both hold.
    uint64_t high = std::min(one.high, other.high);
    const uint8_t* bytes = Data(later);
    while (high > address && bytes[high - later.address] == held[high - run.low]) --high;
    throw DataConflict(static_cast<uint32_t>(address), static_cast<uint32_t>(high),
                       std::min(one.source, other.source), std::max(one.source, other.source));
  }

  // The run's bytes in one array: copied once, each given byte compared with
  // what the run already holds at its address.
  std::unique_ptr<uint8_t[]> Assemble(const std::vector<uint32_t>& order, const Run& run) {
    auto held = std::make_unique_for_overwrite<uint8_t[]>(run.end - run.low);
    uint64_t filled = run.low;  // one past the last address held so far
    for (size_t k = run.first; k <= run.last; ++k) {
      const Piece& piece = pieces[order[k]];
      const uint8_t* bytes = Data(piece);
      const uint64_t shared = std::min(piece.End(), filled);
      for (uint64_t address = piece.address; address < shared; ++address) {
        if (bytes[address - piece.address] != held[address - run.low]) {
          Conflict(order, run, k, address, held.get());
        }
      }
      if (piece.End() > filled) {
        std::memcpy(held.get() + (filled - run.low), bytes + (filled - piece.address),
                    piece.End() - filled);
        filled = piece.End();
      }
      Placed(piece);
    }
    return held;
  }
};

ImageBuilder::ImageBuilder(std::string name) : state_(std::make_unique<State>()) {
  state_->name = std::move(name);
}

ImageBuilder::~ImageBuilder() = default;

void ImageBuilder::Add(uint64_t address, std::span<const uint8_t> bytes, int source) {
  if (bytes.empty()) return;
  if (address + bytes.size() > kAddressEnd) {
    throw FileError(state_->name, source, "data beyond address FFFFFFFF");
  }
  state_->Add(static_cast<uint32_t>(address), bytes, source);
}

std::vector<ImageRegion> ImageBuilder::Finish() {
  State& state = *state_;
  for (const State::Piece& piece : state.pieces) state.given.Hold(piece.at, piece.size);
  const std::vector<uint32_t> order = state.Order();
  const std::vector<State::Run> runs = state.Runs(order);
  std::vector<ImageRegion> regions;
  for (size_t r = 0; r < runs.size();) {
    // A region takes the runs that end within 2 GiB of its first address.
    const uint64_t window = runs[r].low;
    size_t end = r;
    while (end < runs.size() && runs[end].end - 1 - window <= kImageTop) ++end;
    ImageRegion region;
    region.Base = runs[end - 1].end - 1 <= kImageTop ? 0 : static_cast<uint32_t>(window);
    for (; r < end; ++r) {
      const State::Run& run = runs[r];
      const auto at = static_cast<int32_t>(run.low - region.Base);
      const size_t size = run.end - run.low;
      if (run.contiguous) {
        const State::Piece& first = state.pieces[order[run.first]];
        region.Image->Add(at, std::span<const uint8_t>(state.Data(first), size));
        for (size_t k = run.first; k <= run.last; ++k) state.Placed(state.pieces[order[k]]);
      } else {
        const auto held = state.Assemble(order, run);
        region.Image->Add(at, std::span<const uint8_t>(held.get(), size));
      }
    }
    regions.push_back(std::move(region));
  }
  std::string name = std::move(state.name);
  state_ = std::make_unique<State>();
  state_->name = std::move(name);
  return regions;
}

}  // namespace ombrix::formats
