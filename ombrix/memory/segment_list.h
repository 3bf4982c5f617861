// The ordered list behind MemoryMap and MemoryImage: entries in ascending
// address order, each an object with the bounds it covers, stored in blocks
// of bounded size. Finding a place is a binary search, inserting moves at
// most one block, appending is constant time, and the i-th entry is found
// through the blocks' start positions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ombrix/frame/error.h"

namespace ombrix::detail {

template <typename T>
class SegmentList {
 public:
  /// An object and the addresses it covers, low .. high.
  struct Entry {
    int32_t low;
    int32_t high;
    std::shared_ptr<T> object;
  };
  /// Where an entry stands, or where one would be inserted.
  struct Place {
    size_t block = 0;
    size_t offset = 0;
  };
  /// Where a new stretch goes among the entries, as a scan from the lowest finds it.
  struct Neighbours {
    std::optional<Place> previous;  // the entry just below, when there is one
    Place at;                       // the following neighbour, or where to insert
    bool following = false;         // true when `at` starts right at the stretch's end
  };

  size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  void clear() noexcept {
    blocks_.clear();
    lasts_.clear();
    starts_.clear();
    size_ = 0;
  }

  const Entry& at(Place place) const { return blocks_[place.block][place.offset]; }
  /// Changes the high address of the entry at `place`.
  void SetHigh(Place place, int32_t high) {
    blocks_[place.block][place.offset].high = high;
    UpdateLast(place.block);
  }
  /// Puts `entry` in the place of the one at `place`.
  void Replace(Place place, Entry entry) {
    blocks_[place.block][place.offset] = std::move(entry);
    UpdateLast(place.block);
  }
  const Entry& back() const { return blocks_.back().back(); }
  Place end() const noexcept { return {blocks_.size(), 0}; }
  bool IsEnd(Place place) const noexcept { return place.block >= blocks_.size(); }

  /// The entry at 0-based position `index` (< size()).
  const Entry& operator[](size_t index) const {
    if (starts_.size() != blocks_.size()) RebuildStarts();
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), index);
    const auto block = static_cast<size_t>(after - starts_.begin()) - 1;
    return blocks_[block][index - starts_[block]];
  }

  /// The first entry for which `stop` holds, or end(). `stop` must be false
  /// for every entry before some place and true from there on.
  template <typename Stop>
  Place FindFirst(Stop stop) const {
    // The blocks' last bounds sit together, so the first search stays in cache.
    const size_t block = FirstTrue(lasts_.data(), lasts_.size(), stop);
    if (block == lasts_.size()) return end();
    return {block, FirstTrue(blocks_[block].data(), blocks_[block].size(), stop)};
  }

  /// The place after `place` (end() after the last entry).
  Place Next(Place place) const {
    if (place.offset + 1 < blocks_[place.block].size()) return {place.block, place.offset + 1};
    return {place.block + 1, 0};
  }

  /// The entry before `place`, if any.
  std::optional<Place> Previous(Place place) const {
    if (place.offset > 0 && !IsEnd(place)) return Place{place.block, place.offset - 1};
    if (place.block == 0) return std::nullopt;
    return Place{place.block - 1, blocks_[place.block - 1].size() - 1};
  }

  /// Where the stretch start .. end - 1 goes, found as a scan from the lowest
  /// entry would find it (end_address is one past the last entry). Error 1000
  /// "Segments mémoire en recouvrement" when it shares an address with an entry.
  Neighbours Locate(int32_t start, int32_t end, int32_t end_address) const {
    Neighbours found;
    if (empty() || start > end_address) {
      found.at = this->end();
    } else if (start == end_address) {
      found.at = this->end();
      found.previous = Previous(found.at);
    } else {
      // Lows and highs both ascend, so the scan's stopping test is monotone.
      found.at = FindFirst([&](const auto& e) { return end <= e.low || start <= e.high; });
      const Entry& stop = at(found.at);
      if (end > stop.low) Raise(errors::kLibrary, messages::kOverlap);
      found.following = end == stop.low;
      found.previous = Previous(found.at);
    }
    return found;
  }

  /// One past the last entry's high address; -1 while the list is empty.
  int32_t EndAddress() const { return empty() ? -1 : back().high + 1; }

  /// The steps every Add of a stretch shares. Error 5 for a negative start
  /// or count or an end past the 32-bit range; error 1000 when the stretch
  /// shares an address with an entry (nothing changes on either). Then
  /// `join(previous, following)` does the objects' work: `previous` is the
  /// entry the stretch continues, `following` the one that continues it
  /// (either may be null); it returns the new entry's object when there is
  /// no previous one to grow, and may throw to change nothing. Finally the
  /// list records the result: the previous entry grows over the stretch and
  /// the following one, or the new object replaces the following entry or
  /// is inserted.
  template <typename Join>
  void Merge(int32_t start, int32_t count, Join&& join) {
    if (start < 0 || count < 0 ||
        static_cast<int64_t>(start) + count > std::numeric_limits<int32_t>::max()) {
      Raise(errors::kInvalidArgument);
    }
    const int32_t end = start + count;
    const Neighbours where = Locate(start, end, EndAddress());
    const bool grows = where.previous && start == at(*where.previous).high + 1;
    T* previous = grows ? at(*where.previous).object.get() : nullptr;
    T* following = where.following ? at(where.at).object.get() : nullptr;
    const int32_t high = where.following ? at(where.at).high : end - 1;
    std::shared_ptr<T> added = join(previous, following);
    if (grows) {
      SetHigh(*where.previous, high);
      if (where.following) Erase(where.at);
    } else if (where.following) {
      Replace(where.at, Entry{start, high, std::move(added)});
    } else {
      Insert(where.at, Entry{start, high, std::move(added)});
    }
  }

  /// Inserts before `place` (end() appends).
  void Insert(Place place, Entry entry) {
    if (IsEnd(place)) {
      PushBack(std::move(entry));
      return;
    }
    Block& block = blocks_[place.block];
    block.insert(block.begin() + static_cast<ptrdiff_t>(place.offset), std::move(entry));
    ++size_;
    starts_.clear();
    if (block.size() > kMaxBlock) {
      Block upper(std::make_move_iterator(block.begin() + kMaxBlock / 2),
                  std::make_move_iterator(block.end()));
      block.resize(kMaxBlock / 2);
      const auto after = static_cast<ptrdiff_t>(place.block) + 1;
      lasts_.insert(lasts_.begin() + after, Bounds{});
      blocks_.insert(blocks_.begin() + after, std::move(upper));
      UpdateLast(place.block + 1);
    }
    UpdateLast(place.block);
  }

  void PushBack(Entry entry) {
    if (blocks_.empty() || blocks_.back().size() >= kMaxBlock) {
      lasts_.emplace_back();
      blocks_.emplace_back();
      blocks_.back().reserve(kMaxBlock);
      if (starts_.size() + 1 == blocks_.size()) starts_.push_back(size_);
    }
    blocks_.back().push_back(std::move(entry));
    ++size_;
    UpdateLast(blocks_.size() - 1);
  }

  void Erase(Place place) {
    Block& block = blocks_[place.block];
    block.erase(block.begin() + static_cast<ptrdiff_t>(place.offset));
    --size_;
    starts_.clear();
    if (block.empty()) {
      blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(place.block));
      lasts_.erase(lasts_.begin() + static_cast<ptrdiff_t>(place.block));
    } else {
      UpdateLast(place.block);
    }
  }

  /// Calls f on every entry in ascending order.
  template <typename F>
  void ForEach(F f) const {
    for (const Block& block : blocks_) {
      for (const Entry& entry : block) f(entry);
    }
  }

  /// The objects in ascending order.
  std::vector<std::shared_ptr<T>> Objects() const {
    std::vector<std::shared_ptr<T>> objects;
    objects.reserve(size_);
    ForEach([&](const Entry& entry) { objects.push_back(entry.object); });
    return objects;
  }

 private:
  using Block = std::vector<Entry>;
  struct Bounds {
    int32_t low;
    int32_t high;
  };
  static constexpr size_t kMaxBlock = 64;

  // The first of count items for which the monotone `stop` holds, or count;
  // a binary search whose steps select rather than branch.
  template <typename Item, typename Stop>
  static size_t FirstTrue(const Item* items, size_t count, Stop stop) {
    if (count == 0) return 0;
    const Item* base = items;
    while (count > 1) {
      const size_t half = count / 2;
      base = stop(base[half - 1]) ? base : base + half;
      count -= half;
    }
    return static_cast<size_t>(base - items) + (stop(*base) ? 0 : 1);
  }

  void UpdateLast(size_t block) {
    lasts_[block] = Bounds{blocks_[block].back().low, blocks_[block].back().high};
  }

  void RebuildStarts() const {
    starts_.resize(blocks_.size());
    size_t start = 0;
    for (size_t k = 0; k < blocks_.size(); ++k) {
      starts_[k] = start;
      start += blocks_[k].size();
    }
  }

  std::vector<Block> blocks_;
  std::vector<Bounds> lasts_;           // the bounds of each block's last entry
  mutable std::vector<size_t> starts_;  // entries before each block; rebuilt when out of step
  size_t size_ = 0;
};

}  // namespace ombrix::detail
