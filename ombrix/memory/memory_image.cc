#include "ombrix/memory/memory_image.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/bytes/detail/byte_span.h"
#include "ombrix/bytes/hex_codec.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/wrap_internal.h"
#include "ombrix/memory/memory_map.h"

namespace ombrix {
namespace {

constexpr const char* kCountKey = "Count";

// True when `byte` lies inside `bytes` (compared in the total pointer order).
bool Inside(const uint8_t* byte, std::span<const uint8_t> bytes) {
  const std::less_equal<const uint8_t*> at_or_before;
  return !bytes.empty() && at_or_before(bytes.data(), byte) &&
         std::less<const uint8_t*>()(byte, bytes.data() + bytes.size());
}

// Appends a stretch and the bytes after it to an array handed out: one
// resize for both, which changes nothing when it fails (memory short: 7;
// the array pinned: 10).
void GrowArray(ByteArray& array, std::span<const uint8_t> stretch, std::span<const uint8_t> after) {
  const int32_t at = array.Count();
  array.Count(at + static_cast<int32_t>(stretch.size() + after.size()));
  std::ranges::copy(stretch, array.data() + at);
  std::ranges::copy(after, array.data() + at + stretch.size());
}

// Where an entry's array starts and the bytes it holds: an array handed out
// may have been moved or resized by its holder since it was stored.
template <typename Entry, typename BytesOfStored>
std::pair<int32_t, std::span<const uint8_t>> Placed(const Entry& entry, BytesOfStored bytes) {
  const auto& array = entry.object.array;
  return {array ? array->LowIndex() : entry.low, bytes(entry.object)};
}

// B's `count` bytes from `start` on: a library array's own, when all are
// there; otherwise read through B's interface into `buffer`, raising B's
// own errors.
std::span<const uint8_t> BytesOf(const IByteArray& B, int32_t start, int32_t count,
                                 SafeArray<uint8_t>& buffer) {
  if (count <= 0) return {};
  const auto window = detail::ByteAccess::WindowOf(B);
  if (window.array != nullptr) {
    const auto bytes = detail::ByteAccess::Available(*window.array, window.origin + start, count);
    if (bytes.size() == static_cast<size_t>(count)) return bytes;
  }
  buffer = SafeArray<uint8_t>(0, count);
  B.WriteBytes(buffer, 0, start, count);
  return {buffer.data(), static_cast<size_t>(count)};
}

}  // namespace

std::shared_ptr<MemoryImage> MemoryImage::New() {
  auto image = std::make_shared<MemoryImage>(Private{});
  image->InitProperties();
  return image;
}

std::shared_ptr<MemoryImage> MemoryImage::Load(const PropertyBag& Bag) {
  auto image = std::make_shared<MemoryImage>(Private{});
  image->ReadProperties(Bag);
  return image;
}

int32_t MemoryImage::BytesCount() const {
  int32_t total = 0;
  arrays_.ForEach([&](const auto& entry) {
    total =
        detail::WrapAdd(total, static_cast<int32_t>(Placed(entry, StoredBytes{}).second.size()));
  });
  return total;
}

void MemoryImage::Add(const IByteArray& B) {
  const int32_t start = B.LowIndex();
  const int32_t count = B.Count();
  // A view whose window has slipped past its parent's end has a negative
  // Count; the copy of it that Add makes raises its own error (1000).
  if (count < 0) (void)B.Copy();
  // B is read once the stretch is known to fit, so that its own errors come
  // after the image's and before anything changes.
  SafeArray<uint8_t> buffer;
  arrays_.Merge(start, count, [&](Stored* previous, Stored* following) {
    return Join(previous, following, BytesOf(B, start, count, buffer));
  });
}

void MemoryImage::Add(int32_t Address, std::span<const uint8_t> Bytes) {
  if (Bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    Raise(errors::kInvalidArgument);
  }
  arrays_.Merge(
      Address, static_cast<int32_t>(Bytes.size()),
      [&](Stored* previous, Stored* following) { return Join(previous, following, Bytes); });
}

MemoryImage::Stored MemoryImage::Join(Stored* previous, const Stored* following,
                                      std::span<const uint8_t> stretch) {
  const std::span<const uint8_t> after =
      following != nullptr ? StoredBytes{}(*following) : std::span<const uint8_t>();
  // The bounds keep a join within the 32-bit range, but an array handed out
  // may since have grown past them.
  const std::span<const uint8_t> held =
      previous != nullptr ? StoredBytes{}(*previous) : std::span<const uint8_t>();
  if (held.size() + stretch.size() + after.size() >
      static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    Raise(errors::kInvalidArgument);
  }
  if (previous == nullptr) {
    Stored added;
    added.bytes.Append(stretch, after);
    return added;
  }
  // Bytes taken from the lower neighbour's own store are copied first,
  // since growing it may move them.
  std::vector<uint8_t> own;
  if (Inside(stretch.data(), held)) {
    own =
        detail::OrOutOfMemory([&] { return std::vector<uint8_t>(stretch.begin(), stretch.end()); });
    stretch = own;
  }
  if (previous->array) {
    GrowArray(*previous->array, stretch, after);
  } else {
    previous->bytes.Append(stretch, after);
  }
  return {};
}

const std::shared_ptr<ByteArray>& MemoryImage::ArrayOf(const Stored& stored, int32_t low) const {
  if (!stored.array) {
    // The array is made before it takes the bytes, so that a failure loses
    // none; bytes few enough to go inside it are copied there directly.
    const std::span<const uint8_t> held = stored.bytes;
    const uint8_t* const kept = held.data();
    std::shared_ptr<ByteArray> array;
    if (held.size() <= static_cast<size_t>(SafeArray<uint8_t>::kInPlace)) {
      array = detail::OrOutOfMemory([&] { return ByteArray::New(held, low); });
      stored.bytes = detail::SmallBytes();
    } else {
      array = detail::OrOutOfMemory([] { return ByteArray::New(); });
      array->LowIndex(low);
      detail::ByteAccess::TakeBytes(*array, stored.bytes.Release());
    }
    detail::ByteAccess::Watch(*array, changes_);
    // The store took the bytes where they were, so the read index's view
    // of them holds; were they ever copied, it would not.
    if (array->data() != kept) changes_->fetch_add(1, std::memory_order_relaxed);
    stored.array = std::move(array);
  }
  return stored.array;
}

std::vector<std::shared_ptr<ByteArray>> MemoryImage::Arrays() const {
  std::vector<std::shared_ptr<ByteArray>> arrays;
  detail::OrOutOfMemory([&] { arrays.reserve(arrays_.size()); });
  arrays_.ForEach([&](const auto& entry) { arrays.push_back(ArrayOf(entry.object, entry.low)); });
  return arrays;
}

void MemoryImage::Clear() noexcept { arrays_.clear(); }

std::shared_ptr<MemoryMap> MemoryImage::Map() const {
  auto map = MemoryMap::New();
  arrays_.ForEach([&](const auto& entry) {
    const auto [low, bytes] = Placed(entry, StoredBytes{});
    map->Add(low, static_cast<int32_t>(bytes.size()));
  });
  return map;
}

std::span<const uint8_t> MemoryImage::Stretch(int32_t StartAddress, int32_t Count) const {
  // While no array of the image has changed its store, the index's view of
  // the store serves, and the array itself is never read.
  const auto holder = arrays_.CoveringData(StartAddress, changes_->load(std::memory_order_relaxed));
  if (!holder || static_cast<int64_t>(StartAddress) + Count - 1 > holder->high) return {};
  if (Count < 0) Raise(errors::kLibrary, messages::kNegativeCount);
  const int64_t position = static_cast<int64_t>(StartAddress) - holder->low;
  const std::span<const uint8_t> store = holder->data;
  // A handed-out array that its caller has cut short no longer holds them all.
  const int64_t wanted = Count > 0 ? Count
                                   : std::min(int64_t{holder->high} - StartAddress + 1,
                                              static_cast<int64_t>(store.size()) - position);
  const std::span<const uint8_t> bytes = detail::Within(store, position, wanted);
  if (wanted <= 0 || static_cast<int64_t>(bytes.size()) != wanted) return {};
  return bytes;
}

std::shared_ptr<ByteArray> MemoryImage::MemoryRead(int32_t StartAddress, int32_t Count) const {
  const std::span<const uint8_t> bytes = Stretch(StartAddress, Count);
  if (bytes.empty()) return nullptr;
  // The bytes are copied once the new array is made. In a large image they
  // are rarely in cache: loading them meanwhile hides much of the miss.
  __builtin_prefetch(bytes.data());
  return ByteArray::New(bytes, StartAddress);
}

bool MemoryImage::ReadInto(int32_t StartAddress, std::span<uint8_t> Bytes) const {
  if (Bytes.empty() || Bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return false;
  }
  const std::span<const uint8_t> stored = Stretch(StartAddress, static_cast<int32_t>(Bytes.size()));
  if (stored.empty()) return false;
  std::memcpy(Bytes.data(), stored.data(), stored.size());
  return true;
}

std::shared_ptr<ByteArray> MemoryImage::Holding(int32_t Address) const {
  const auto holder = arrays_.Covering(Address, changes_->load(std::memory_order_relaxed));
  // A handed-out array that its caller has cut short no longer holds it.
  if (!holder || int64_t{Address} - holder->low >=
                     static_cast<int64_t>(StoredBytes{}(holder->object).size())) {
    return nullptr;
  }
  return ArrayOf(holder->object, holder->low);
}

void MemoryImage::MemoryWrite(const IByteArray& B) {
  const int32_t start = B.LowIndex();
  const int32_t count = B.Count();
  const auto holder = arrays_.Covering(start, changes_->load(std::memory_order_relaxed));
  if (!holder || static_cast<int64_t>(start) + count - 1 > holder->high) {
    Raise(errors::kSubscriptOutOfRange);
  }
  // No bytes, nothing to write (a view of no bytes would be a trail, whose
  // assignment would cut the array short).
  if (count <= 0) return;
  // B's bytes are all read, raising its own errors, before any is written;
  // they go where MemoryRead finds them (B may be a view of the same store).
  SafeArray<uint8_t> buffer;
  const std::span<const uint8_t> bytes = BytesOf(B, start, count, buffer);
  const Stored& stored = holder->object;
  const int64_t position = static_cast<int64_t>(start) - holder->low;
  uint8_t* target;
  if (stored.array) {
    target = detail::ByteAccess::Reach(*stored.array, position, count);
  } else {
    if (position + count > static_cast<int64_t>(stored.bytes.size())) {
      Raise(errors::kSubscriptOutOfRange);
    }
    target = stored.bytes.data() + position;
  }
  std::memmove(target, bytes.data(), bytes.size());
}

std::shared_ptr<ByteArray> MemoryImage::Item(int32_t Index) const {
  if (Index < 1 || Index > Count()) Raise(errors::kSubscriptOutOfRange);
  const auto entry = arrays_[static_cast<size_t>(Index - 1)];
  return ArrayOf(entry.object, entry.low);
}

std::shared_ptr<Enumerator<std::shared_ptr<ByteArray>>> MemoryImage::NewEnum() const {
  return detail::OrOutOfMemory(
      [&] { return std::make_shared<Enumerator<std::shared_ptr<ByteArray>>>(Arrays()); });
}

Enumerator<std::shared_ptr<ByteArray>>::Iterator MemoryImage::begin() const {
  return detail::OrOutOfMemory(
      [&] { return Enumerator<std::shared_ptr<ByteArray>>(Arrays()).begin(); });
}

void MemoryImage::ReadProperties(const PropertyBag& Bag) {
  Clear();
  const int32_t count = Bag.ReadProperty(kCountKey, Variant(0)).ToLong();
  auto scratch = ByteArray::New();
  for (int32_t k = 0; k < count; ++k) {
    scratch->LowIndex(Bag.ReadProperty(IndexedKey("Start", static_cast<size_t>(k))).ToLong());
    scratch->Text(Bag.ReadProperty(IndexedKey("Text", static_cast<size_t>(k))).ToString());
    Add(*scratch);
  }
}

void MemoryImage::WriteProperties(PropertyBag& Bag) const {
  Bag.WriteProperty(kCountKey, Variant(Count()), Variant(0));
  size_t k = 0;
  arrays_.ForEach([&](const auto& entry) {
    const auto placed = Placed(entry, StoredBytes{});
    const std::span<const uint8_t> bytes = placed.second;
    std::string text = detail::OrOutOfMemory([&] { return std::string(2 * bytes.size(), '0'); });
    EncodeHex(bytes.data(), bytes.size(), text.data());
    Bag.WriteProperty(IndexedKey("Start", k), Variant(placed.first));
    Bag.WriteProperty(IndexedKey("Text", k), Variant(std::move(text)));
    ++k;
  });
}

}  // namespace ombrix
