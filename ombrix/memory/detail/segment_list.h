// The ordered list behind MemoryMap and MemoryImage: entries in ascending
// address order, each an object with the bounds it covers, stored in blocks
// of bounded size. A block keeps its entries' bounds packed apart from the
// objects, so that a search reads a few cache lines and never an object.
// Finding a place is a search over the blocks' last bounds (by address, a
// count over nodes of sixteen) and a binary search within one block;
// inserting moves the bounds of one block and no object, appending is
// constant time, and the i-th entry is found through the blocks' start
// positions.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/error.h"

namespace ombrix::detail {

/// No data for an object: the default for SegmentList's HintOf.
struct NoHint {
  template <typename T>
  std::span<const uint8_t> operator()(const T&) const noexcept {
    return {};
  }
};

/// Error 1000 "Segments mémoire en recouvrement", its what() naming the
/// stretch refused and the entry it overlaps, in hexadecimal.
[[noreturn, gnu::noinline]] inline void RaiseOverlap(int64_t low, int64_t high, int64_t other_low,
                                                     int64_t other_high) {
  const auto range = [](int64_t from, int64_t to) {
    char text[] = "00000000-00000000";
    for (int k = 0; k < 8; ++k) {
      text[7 - k] = "0123456789ABCDEF"[(from >> (4 * k)) & 0xF];
      text[16 - k] = "0123456789ABCDEF"[(to >> (4 * k)) & 0xF];
    }
    return std::string(text);
  };
  RaiseWithDetail(errors::kLibrary, messages::kOverlap,
                  range(low, high) + " overlaps " + range(other_low, other_high));
}

/// `Stored` is what the list keeps for each entry (a shared object, or a
/// value); `HintOf(stored)` gives its data as bytes, which the read index
/// keeps (see Covering).
template <typename Stored, typename HintOf = NoHint>
class SegmentList {
 public:
  /// What is stored and the addresses it covers, low .. high.
  struct Entry {
    int32_t low;
    int32_t high;
    Stored object;
  };
  /// A stored entry as the list shows it.
  struct EntryRef {
    int32_t low;
    int32_t high;
    const Stored& object;
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
    Changed();
    blocks_.clear();
    lasts_.clear();
    block_keys_.clear();
    starts_.clear();
    size_ = 0;
  }

  EntryRef at(Place place) const { return blocks_[place.block].At(place.offset); }
  /// What is stored at `place`, to change in place; its bounds stay.
  Stored& ObjectAt(Place place) { return blocks_[place.block].ObjectAt(place.offset); }
  /// Changes the high address of the entry at `place`.
  void SetHigh(Place place, int32_t high) {
    Changed();
    blocks_[place.block].bounds[place.offset].high = high;
    blocks_[place.block].SampleAt(place.offset);
    UpdateLast(place.block);
  }
  /// Puts `entry` in the place of the one at `place`.
  void Replace(Place place, Entry entry) {
    Changed();
    Block& block = blocks_[place.block];
    block.bounds[place.offset] = Bounds{entry.low, entry.high};
    block.SampleAt(place.offset);
    block.ObjectAt(place.offset) = std::move(entry.object);
    UpdateLast(place.block);
  }
  Place end() const noexcept { return {blocks_.size(), 0}; }
  bool IsEnd(Place place) const noexcept { return place.block >= blocks_.size(); }

  /// The entry at 0-based position `index` (< size()).
  EntryRef operator[](size_t index) const {
    if (starts_.size() != blocks_.size()) RebuildStarts();
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), index);
    const auto block = static_cast<size_t>(after - starts_.begin()) - 1;
    return blocks_[block].At(index - starts_[block]);
  }

  /// The first entry for which `stop` holds, or end(). `stop` must be false
  /// for every entry before some place and true from there on.
  template <typename Stop>
  Place FindFirst(Stop stop) const {
    // The blocks' last bounds sit together, so the first search stays in
    // cache; the second reads a few lines of one block's packed bounds.
    const size_t block = FirstTrue(lasts_.data(), lasts_.size(), stop);
    if (block == lasts_.size()) return end();
    const std::vector<Bounds>& bounds = blocks_[block].bounds;
    return {block, FirstTrue(bounds.data(), bounds.size(), stop)};
  }

  /// The first entry whose high is at least `address`, or end(): FindFirst
  /// of that test, counting a few nodes of block keys at once where a
  /// binary search over the blocks would take a chain of dependent steps.
  Place FindReaching(int32_t address) const {
    if (block_keys_.empty() && !blocks_.empty()) {
      try {
        BuildBlockKeys();
      } catch (const std::bad_alloc&) {
        block_keys_.clear();
        return FindFirst([&](const auto& e) { return address <= e.high; });
      }
    }
    // The nodes' last keys ascend: count those below, a few at once while
    // they are few, by halves past that.
    const size_t tops = node_tops_.size();
    const size_t node =
        tops <= kCountedTops
            ? CountBelow(node_tops_.data(), tops, address)
            : FirstTrue(node_tops_.data(), tops, [&](int32_t top) { return address <= top; });
    if (node == tops) return end();
    const size_t block = node * kFan + KeysBelow(block_keys_[node], address);
    if (block >= blocks_.size()) return end();
    return {block, blocks_[block].FirstReaching(address)};
  }

  /// The entry whose addresses include `address`, if any (an entry of no
  /// addresses includes none). After many lookups without a change, this
  /// builds a read index, so that a read-mostly list answers in a few
  /// cache misses rather than one per step of a binary search. The index
  /// also keeps HintOf(object) and `stamp`, the caller's count of changes
  /// to its objects' data, from when it was built (see CoveringData).
  std::optional<EntryRef> Covering(int32_t address, uint64_t stamp) const {
    (void)IndexServes(stamp);
    return Lookup(address);
  }

  /// An entry's bounds and its data, HintOf(object).
  struct EntryData {
    int32_t low;
    int32_t high;
    std::span<const uint8_t> data;
  };
  /// Covering(address, stamp) as bounds and data: while `stamp` is the one
  /// the read index was built with, straight from the index, which saves a
  /// cache miss on the object that a reader of the data has no use for.
  std::optional<EntryData> CoveringData(int32_t address, uint64_t stamp) const {
    if (IndexServes(stamp) && stamp == index_stamp_) {
      const size_t found = IndexedCovering(address);
      if (found == index_nodes_.size()) return std::nullopt;
      const IndexNode& node = index_nodes_[found];
      return EntryData{
          node.low, index_keys_[found / kFan].key[found % kFan], {node.hint, node.hint_count}};
    }
    const auto entry = Lookup(address);
    if (!entry) return std::nullopt;
    return EntryData{entry->low, entry->high, HintOf{}(entry->object)};
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
      // Lows and highs both ascend, so the scan's stopping test, end <= low
      // or start <= high, is monotone. With start < end it is start <= high
      // alone (every entry's high is at least its low - 1): one comparison,
      // which the search selects on, where two would have it branch.
      if (start < end) {
        found.at = FindReaching(start);
      } else {
        found.at = FindFirst([&](const auto& e) { return end <= e.low || start <= e.high; });
      }
      const EntryRef stop = at(found.at);
      if (end > stop.low) RaiseOverlap(start, int64_t{end} - 1, stop.low, stop.high);
      found.following = end == stop.low;
      found.previous = Previous(found.at);
    }
    return found;
  }

  /// One past the last entry's high address; -1 while the list is empty.
  int32_t EndAddress() const { return empty() ? -1 : lasts_.back().high + 1; }

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
    Stored* previous = grows ? &ObjectAt(*where.previous) : nullptr;
    Stored* following = where.following ? &ObjectAt(where.at) : nullptr;
    const int32_t high = where.following ? at(where.at).high : end - 1;
    Stored added = join(previous, following);
    if (grows) {
      SetHigh(*where.previous, high);
      if (where.following) Erase(where.at);
    } else if (where.following) {
      Replace(where.at, Entry{start, high, std::move(added)});
    } else {
      Insert(where.at, Entry{start, high, std::move(added)});
    }
  }

  /// Inserts before `place` (end() appends); error 7, the list unchanged,
  /// when memory runs out.
  void Insert(Place place, Entry entry) {
    Changed();
    OrOutOfMemory([&] {
      if (IsEnd(place)) {
        PushBack(std::move(entry));
      } else {
        InsertInBlock(place, std::move(entry));
      }
    });
  }

  void Erase(Place place) {
    Changed();
    Block& block = blocks_[place.block];
    block.Erase(place.offset);
    --size_;
    starts_.clear();
    if (block.size() == 0) {
      blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(place.block));
      lasts_.erase(lasts_.begin() + static_cast<ptrdiff_t>(place.block));
      block_keys_.clear();
    } else {
      UpdateLast(place.block);
    }
  }

  /// Calls f on every entry in ascending order.
  template <typename F>
  void ForEach(F f) const {
    for (const Block& block : blocks_) {
      for (size_t k = 0; k < block.size(); ++k) f(block.At(k));
    }
  }

  /// The objects in ascending order.
  std::vector<Stored> Objects() const {
    std::vector<Stored> objects;
    objects.reserve(size_);
    ForEach([&](const EntryRef& entry) { objects.push_back(entry.object); });
    return objects;
  }

 private:
  struct Bounds {
    int32_t low;
    int32_t high;
  };
  static constexpr size_t kFan = 16;
  // kFan ascending keys in one cache line, compared in one step (KeysBelow).
  struct alignas(64) Keys {
    int32_t key[kFan];
  };
  static constexpr size_t kMaxBlock = 128;
  static constexpr size_t kSampleStride = kMaxBlock / kFan;

  // Entries k = 0.. of a block: bounds[k] and objects[slot[k]]. The
  // objects stay where they were put, so that an insert moves only the
  // packed bounds and slot numbers, never an object; an erase fills its
  // hole with the last object.
  struct Block {
    std::vector<Bounds> bounds;
    std::vector<uint8_t> slot;
    std::vector<Stored> objects;
    // The high of every kSampleStride-th entry (the last of each group),
    // INT32_MAX past the last entry: a search compares this one line, then
    // searches one group's bounds, where a binary search over all of them
    // would wait on a cache line at each of its steps.
    Keys samples = Unsampled();

    static Keys Unsampled() {
      Keys keys;
      std::fill(std::begin(keys.key), std::end(keys.key), std::numeric_limits<int32_t>::max());
      return keys;
    }
    // The samples from the group of entry k on, after the entries from k on changed.
    void Sample(size_t k) {
      for (size_t group = k / kSampleStride; group < kFan; ++group) {
        const size_t last = group * kSampleStride + kSampleStride - 1;
        samples.key[group] =
            last < bounds.size() ? bounds[last].high : std::numeric_limits<int32_t>::max();
      }
    }
    // The sample of entry k, after its high alone changed.
    void SampleAt(size_t k) {
      if (k % kSampleStride == kSampleStride - 1 && k / kSampleStride < kFan) {
        samples.key[k / kSampleStride] = bounds[k].high;
      }
    }
    // The first entry whose high is at least `address`, or size(). Entries
    // past the samples' reach (a block over its size while memory is too
    // short to split it) are searched as one group.
    size_t FirstReaching(int32_t address) const {
      const size_t group = KeysBelow(samples, address);
      const size_t from = group * kSampleStride;
      const size_t to = group < kFan ? std::min(from + kSampleStride, size()) : size();
      if (from >= to) return size();
      return from + FirstTrue(bounds.data() + from, to - from,
                              [&](const Bounds& e) { return address <= e.high; });
    }

    size_t size() const noexcept { return bounds.size(); }
    EntryRef At(size_t k) const { return {bounds[k].low, bounds[k].high, objects[slot[k]]}; }
    Stored& ObjectAt(size_t k) { return objects[slot[k]]; }
    void Reserve(size_t count) {
      bounds.reserve(count);
      slot.reserve(count);
      objects.reserve(count);
    }
    void Insert(size_t k, Entry entry) {
      // Room in all three first, so that no insert can fail after another
      // has been made. A block holds more than kMaxBlock + 1 entries only
      // while memory is too short to split it, and never more than slot
      // numbers of one byte can tell apart.
      if (size() > std::numeric_limits<uint8_t>::max()) throw std::bad_alloc();
      Reserve(std::max(size() + 1, kMaxBlock + 1));
      const auto at = static_cast<ptrdiff_t>(k);
      bounds.insert(bounds.begin() + at, Bounds{entry.low, entry.high});
      slot.insert(slot.begin() + at, static_cast<uint8_t>(objects.size()));
      objects.push_back(std::move(entry.object));
      Sample(k);
    }
    void Erase(size_t k) {
      const uint8_t hole = slot[k];
      const auto last = static_cast<uint8_t>(objects.size() - 1);
      if (hole != last) {
        objects[hole] = std::move(objects.back());
        *std::find(slot.begin(), slot.end(), last) = hole;
      }
      objects.pop_back();
      const auto at = static_cast<ptrdiff_t>(k);
      bounds.erase(bounds.begin() + at);
      slot.erase(slot.begin() + at);
      Sample(k);
    }
    // Moves entries k.. into a new block, in slot order there; the objects
    // that stay fill the first k slots here. Only the new block allocates.
    Block SplitAt(size_t k) {
      Block upper;
      upper.Reserve(std::max(size() - k, kMaxBlock + 1));
      std::array<uint8_t, kMaxBlock + 1> freed;  // slots below k that objects moved out of
      size_t freed_count = 0;
      for (size_t j = k; j < size(); ++j) {
        upper.bounds.push_back(bounds[j]);
        upper.slot.push_back(static_cast<uint8_t>(upper.objects.size()));
        upper.objects.push_back(std::move(objects[slot[j]]));
        if (slot[j] < k) freed[freed_count++] = slot[j];
      }
      for (size_t j = 0; j < k; ++j) {
        if (slot[j] < k) continue;
        const uint8_t to = freed[--freed_count];
        objects[to] = std::move(objects[slot[j]]);
        slot[j] = to;
      }
      bounds.resize(k);
      slot.resize(k);
      objects.erase(objects.begin() + static_cast<ptrdiff_t>(k), objects.end());
      Sample(k);
      upper.Sample(0);
      return upper;
    }
  };

  // The first of count items for which the monotone `stop` holds, or count;
  // a binary search whose steps select rather than branch.
  template <typename Item, typename Stop>
  static size_t FirstTrue(const Item* items, size_t count, Stop stop) {
    if (count == 0) return 0;
    size_t base = 0;
    while (count > 1) {
      const size_t half = count / 2;
      // A mask, not a condition: compilers turn the condition into a
      // branch, which a search's random outcomes mispredict half the time.
      base += half & (size_t{0} - static_cast<size_t>(!stop(items[base + half - 1])));
      count -= half;
    }
    return base + (stop(items[base]) ? 0 : 1);
  }

  // Each step that allocates comes before the first that changes the list.
  void PushBack(Entry entry) {
    if (blocks_.empty() || blocks_.back().size() >= kMaxBlock) {
      Block fresh;
      fresh.Reserve(kMaxBlock);
      fresh.Insert(0, std::move(entry));
      RoomForOneMore(lasts_);
      RoomForOneMore(blocks_);
      lasts_.push_back(fresh.bounds.back());
      blocks_.push_back(std::move(fresh));
      block_keys_.clear();
      ++size_;
      try {
        if (starts_.size() + 1 == blocks_.size()) starts_.push_back(size_ - 1);
      } catch (const std::bad_alloc&) {
        starts_.clear();  // only a cache: rebuilt when next needed
      }
      return;
    }
    blocks_.back().Insert(blocks_.back().size(), std::move(entry));
    ++size_;
    UpdateLast(blocks_.size() - 1);
  }

  void InsertInBlock(Place place, Entry entry) {
    blocks_[place.block].Insert(place.offset, std::move(entry));
    ++size_;
    starts_.clear();
    UpdateLast(place.block);
    if (blocks_[place.block].size() <= kMaxBlock) return;
    // A block over its size is still in order: when memory is short for the
    // split, it stays whole.
    try {
      RoomForOneMore(lasts_);
      RoomForOneMore(blocks_);
      // (reserving may have moved the blocks)
      Block upper = blocks_[place.block].SplitAt(kMaxBlock / 2);
      const auto after = static_cast<ptrdiff_t>(place.block) + 1;
      lasts_.insert(lasts_.begin() + after, upper.bounds.back());
      blocks_.insert(blocks_.begin() + after, std::move(upper));
      block_keys_.clear();
      UpdateLast(place.block);
    } catch (const std::bad_alloc&) {
    }
  }

  // The read index is a static B-tree of the entries' highs: nodes of
  // kFan keys, one cache line each, node k's children at k * (kFan + 1) +
  // 1 + i; keys past the last entry are INT32_MAX. A search reads one line
  // per level, a handful for a million entries, and compares a node's keys
  // in one step. The rest of each entry sits in a node array of the same
  // layout, read once at the end: the low address and the hint in 16 bytes,
  // so that the nodes of many entries stay in cache, and the object apart.
  // Entries' highs stay below INT32_MAX (Merge keeps start + count within
  // the 32-bit range), so a key of INT32_MAX is always past the last entry.
  struct alignas(16) IndexNode {
    int32_t low;
    uint32_t hint_count;
    const uint8_t* hint;
  };
  static constexpr size_t kIndexFrom = 256;   // lookups before a first index
  static constexpr size_t kFillAhead = 6;     // objects loaded ahead while filling the index
  static constexpr size_t kCountedTops = 64;  // counted rather than halved up to this many

  void Changed() noexcept {
    index_keys_.clear();
    index_nodes_.clear();
    index_objects_.clear();
    lookups_ = 0;
    ++changes_;
  }

  void BuildIndex() const {
    changes_ = 0;
    try {
      const size_t nodes = (size_ + kFan - 1) / kFan;
      index_keys_.assign(nodes, Keys{});
      index_nodes_.assign(nodes * kFan, IndexNode{});
      index_objects_.assign(nodes * kFan, nullptr);
      Cursor next{blocks_.begin(), 0};
      FillIndex(next, 0);
    } catch (const std::bad_alloc&) {
      index_keys_.clear();  // searched without the index
      index_nodes_.clear();
      index_objects_.clear();
    }
  }

  // True when there is a read index, building it first once it pays.
  // With ascending, disjoint entries whose high is at least low - 1, the
  // first entry reaching an address is the only one that may cover it.
  // An index costs a pass over the entries: it is built once the lookups
  // and changes since the last one number a quarter of the entries, so
  // that reads right after many Adds find it as soon as later ones would.
  bool IndexServes(uint64_t stamp) const {
    if (index_keys_.empty() && ++lookups_ >= kIndexFrom && lookups_ + changes_ >= size_ / 4) {
      BuildIndex();
      index_stamp_ = stamp;
    }
    return !index_keys_.empty();
  }

  // Covering's search, through the read index when there is one.
  std::optional<EntryRef> Lookup(int32_t address) const {
    if (!index_keys_.empty()) {
      const size_t found = IndexedCovering(address);
      if (found == index_nodes_.size()) return std::nullopt;
      return EntryRef{index_nodes_[found].low, index_keys_[found / kFan].key[found % kFan],
                      *index_objects_[found]};
    }
    const Place place = FindReaching(address);
    if (IsEnd(place) || address < at(place).low) return std::nullopt;
    return at(place);
  }

  // The entries in ascending order, straight from the blocks.
  struct Cursor {
    typename std::vector<Block>::const_iterator block;
    size_t k;
  };

  // Fills node k and its subtrees in key order, from `next` on.
  void FillIndex(Cursor& next, size_t k) const {
    if (k >= index_keys_.size()) return;
    for (size_t i = 0; i < kFan; ++i) {
      FillIndex(next, k * (kFan + 1) + 1 + i);
      if (next.block == blocks_.end()) {
        index_keys_[k].key[i] = std::numeric_limits<int32_t>::max();
        continue;
      }
      const Block& block = *next.block;
      // A block's objects sit in the order they came, not in address order:
      // the one wanted a few entries on starts loading now, both its lines
      // should it straddle two.
      if (next.k + kFillAhead < block.size()) {
        PrefetchLines(&block.objects[block.slot[next.k + kFillAhead]], sizeof(Stored));
      }
      const Stored& object = block.objects[block.slot[next.k]];
      const std::span<const uint8_t> hint = HintOf{}(object);
      index_keys_[k].key[i] = block.bounds[next.k].high;
      index_nodes_[k * kFan + i] = {block.bounds[next.k].low, static_cast<uint32_t>(hint.size()),
                                    hint.data()};
      index_objects_[k * kFan + i] = &object;
      if (++next.k == block.size()) next = {next.block + 1, 0};
    }
    FillIndex(next, k * (kFan + 1) + 1 + kFan);
  }

  // Starts loading every cache line of the `size` bytes at `from`, which
  // need not start a line.
  static void PrefetchLines(const void* from, size_t size) {
    const auto* bytes = static_cast<const char*>(from);
    for (size_t b = 0; b < size; b += 64) __builtin_prefetch(bytes + b);
    __builtin_prefetch(bytes + size - 1);
  }

  // The position of the entry covering `address`, or none
  // (index_nodes_.size()).
  size_t IndexedCovering(int32_t address) const {
    size_t found = index_nodes_.size();
    for (size_t k = 0; k < index_keys_.size();) {
      // Should the walk end in this node, one of its entries is read last:
      // loading them all along with its keys makes the two misses overlap
      // rather than follow each other.
      PrefetchLines(&index_nodes_[k * kFan], kFan * sizeof(IndexNode));
      const size_t i = KeysBelow(index_keys_[k], address);
      if (i < kFan) found = k * kFan + i;
      k = k * (kFan + 1) + 1 + i;
    }
    // The first entry whose high is at least `address` is the only one that
    // may cover it; a key past the last entry covers nothing.
    if (found == index_nodes_.size() || address < index_nodes_[found].low ||
        index_keys_[found / kFan].key[found % kFan] == std::numeric_limits<int32_t>::max()) {
      return index_nodes_.size();
    }
    return found;
  }

  // How many of a node's (ascending) keys are below `address`.
  static size_t KeysBelow(const Keys& keys, int32_t address) {
#if defined(__SSE2__)
    const __m128i x = _mm_set1_epi32(address);
    const auto* lanes = reinterpret_cast<const __m128i*>(keys.key);
    const auto less = [&](int v) { return _mm_cmplt_epi32(_mm_load_si128(lanes + v), x); };
    // The sixteen all-ones or all-zeros comparisons narrowed to a byte each,
    // in key order, then one bit each: a dozen instructions, no loop.
    const __m128i bytes =
        _mm_packs_epi16(_mm_packs_epi32(less(0), less(1)), _mm_packs_epi32(less(2), less(3)));
    const auto below = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    // The keys ascend, so the ones below form the low bits of the mask:
    // counting trailing ones needs no popcount instruction, which a
    // baseline x86-64 build would turn into a library call.
    return static_cast<size_t>(std::countr_one(below));
#else
    size_t below = 0;
    for (const int32_t key : keys.key) below += key < address ? 1 : 0;
    return below;
#endif
  }

  // How many of `count` ascending keys are below `address`: four at a time
  // up to the first that is not.
  static size_t CountBelow(const int32_t* keys, size_t count, int32_t address) {
    size_t below = 0;
#if defined(__SSE2__)
    const __m128i x = _mm_set1_epi32(address);
    for (; below + 4 <= count; below += 4) {
      const __m128i less =
          _mm_cmplt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + below)), x);
      const auto mask = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(less)));
      if (mask != 0xF) return below + static_cast<size_t>(std::countr_one(mask));
    }
#endif
    while (below < count && keys[below] < address) ++below;
    return below;
  }

  // Room for one more element, growing geometrically (reserve alone grows
  // by exactly what is asked).
  template <typename Vector>
  static void RoomForOneMore(Vector& vector) {
    if (vector.size() == vector.capacity()) vector.reserve(std::max<size_t>(8, 2 * vector.size()));
  }

  void UpdateLast(size_t block) {
    lasts_[block] = blocks_[block].bounds.back();
    if (block / kFan < block_keys_.size()) {
      block_keys_[block / kFan].key[block % kFan] = lasts_[block].high;
      if (block % kFan == kFan - 1) node_tops_[block / kFan] = lasts_[block].high;
    }
  }

  // The blocks' last highs, kFan to a node padded with INT32_MAX past the
  // last block, and each node's last key; empty until a search needs them.
  void BuildBlockKeys() const {
    const size_t nodes = (blocks_.size() + kFan - 1) / kFan;
    block_keys_.assign(nodes, Keys{});
    node_tops_.assign(nodes, std::numeric_limits<int32_t>::max());
    for (size_t node = 0; node < nodes; ++node) {
      for (size_t i = 0; i < kFan; ++i) {
        const size_t block = node * kFan + i;
        block_keys_[node].key[i] =
            block < lasts_.size() ? lasts_[block].high : std::numeric_limits<int32_t>::max();
      }
      node_tops_[node] = block_keys_[node].key[kFan - 1];
    }
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
  mutable std::vector<Keys> block_keys_;  // the blocks' last highs; empty when out of step
  mutable std::vector<int32_t> node_tops_;
  mutable std::vector<Keys> index_keys_;  // the read index; empty when out of step
  mutable std::vector<IndexNode> index_nodes_;
  mutable std::vector<const Stored*> index_objects_;
  mutable size_t lookups_ = 0;        // lookups since the last change
  mutable size_t changes_ = 0;        // changes since the last index
  mutable uint64_t index_stamp_ = 0;  // the caller's stamp when the index was built
};

}  // namespace ombrix::detail
