#include "ombrix/memory/memory_image.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/bytes/detail/byte_span.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/wrap_internal.h"
#include "ombrix/memory/memory_map.h"

namespace ombrix {
namespace {

constexpr const char* kCountKey = "Count";

// An array made for an image: at LowIndex, and watched by the image's
// change counter.
std::shared_ptr<ByteArray> Adopt(std::shared_ptr<ByteArray> array, int32_t LowIndex,
                                 const std::shared_ptr<uint64_t>& changes) {
  array->LowIndex(LowIndex);
  detail::ByteAccess::Watch(*array, changes);
  return array;
}

// True when `byte` lies inside `bytes` (compared in the total pointer order).
bool Inside(const uint8_t* byte, std::span<const uint8_t> bytes) {
  const std::less_equal<const uint8_t*> at_or_before;
  return !bytes.empty() && at_or_before(bytes.data(), byte) &&
         std::less<const uint8_t*>()(byte, bytes.data() + bytes.size());
}

// Grows holder over a stretch of count bytes, which place(at) writes, and
// the following neighbour's bytes.
template <typename PlaceStretch>
void GrowOver(ByteArray& holder, int32_t count, const ByteArray* following, PlaceStretch place) {
  // One resize for the stretch and the following neighbour's bytes; a
  // failure part way (the stretch unreadable, memory short) shrinks the
  // holder back, so nothing changes.
  const int32_t at = holder.Count();
  const int32_t following_count = following != nullptr ? following->Count() : 0;
  try {
    holder.Count(at + count + following_count);
    place(at);
    if (following != nullptr) detail::ByteAccess::Place(holder, at + count, *following);
  } catch (...) {
    holder.Count(at);
    throw;
  }
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
  arrays_.ForEach(
      [&](const auto& entry) { total = detail::WrapAdd(total, entry.object->Count()); });
  return total;
}

void MemoryImage::Add(const IByteArray& B) {
  const int32_t start = B.LowIndex();
  const int32_t count = B.Count();
  // A view whose window has slipped past its parent's end has a negative
  // Count; the copy of it that Add makes raises its own error (1000).
  if (count < 0) (void)B.Copy();
  // A library array's bytes, all there, are copied straight from its store.
  const auto window = detail::ByteAccess::WindowOf(B);
  if (window.array != nullptr && count > 0) {
    const auto bytes = detail::ByteAccess::Available(*window.array, window.origin + start, count);
    if (bytes.size() == static_cast<size_t>(count)) return Add(start, bytes);
  }
  // Any other array, or a view whose bytes are not all there, is read
  // through its interface and raises its own errors: the lower neighbour
  // takes B's bytes at its end (what assigning its trail just past its last
  // byte does), or a copy of B is the new array.
  arrays_.Merge(start, count, [&](ByteArray* previous, ByteArray* following) {
    if (previous != nullptr) {
      GrowOver(*previous, count, following,
               [&](int32_t at) { detail::ByteAccess::Place(*previous, at, B); });
      return std::shared_ptr<ByteArray>();
    }
    auto added = Adopt(B.Copy(), start, changes_);
    GrowOver(*added, 0, following, [](int32_t) {});
    return added;
  });
}

void MemoryImage::Add(int32_t Address, std::span<const uint8_t> Bytes) {
  if (Bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    Raise(errors::kInvalidArgument);
  }
  const auto count = static_cast<int32_t>(Bytes.size());
  arrays_.Merge(Address, count, [&](ByteArray* previous, ByteArray* following) {
    // The lower neighbour grows, or a new array takes the bytes. Bytes
    // taken from the lower neighbour's own store are copied first, since
    // growing it may move them.
    std::vector<uint8_t> own;
    std::span<const uint8_t> bytes = Bytes;
    if (previous != nullptr && !bytes.empty() && Inside(bytes.data(), previous->Bytes())) {
      own = detail::OrOutOfMemory([&] { return std::vector<uint8_t>(bytes.begin(), bytes.end()); });
      bytes = own;
    }
    auto added = previous != nullptr ? nullptr : Adopt(ByteArray::New(), Address, changes_);
    ByteArray& holder = previous != nullptr ? *previous : *added;
    GrowOver(holder, count, following,
             [&](int32_t at) { std::ranges::copy(bytes, holder.data() + at); });
    return added;
  });
}

void MemoryImage::Clear() noexcept { arrays_.clear(); }

std::shared_ptr<MemoryMap> MemoryImage::Map() const {
  auto map = MemoryMap::New();
  arrays_.ForEach(
      [&](const auto& entry) { map->Add(entry.object->LowIndex(), entry.object->Count()); });
  return map;
}

std::shared_ptr<ByteArray> MemoryImage::MemoryRead(int32_t StartAddress, int32_t Count) const {
  const auto holder = arrays_.Covering(StartAddress, *changes_);
  if (!holder || static_cast<int64_t>(StartAddress) + Count - 1 > holder->high) return nullptr;
  if (Count < 0) Raise(errors::kLibrary, messages::kNegativeCount);
  const int64_t position = static_cast<int64_t>(StartAddress) - holder->low;
  const int64_t wanted = Count == 0 ? int64_t{holder->high} - StartAddress + 1 : Count;
  // While no array of the image has changed its store, the index's view of
  // the store serves, and the array itself is never read.
  std::span<const uint8_t> store = holder->hint;
  if (store.empty()) store = detail::ByteArrayHint{}(*holder->object);
  return ByteArray::New(detail::Within(store, position, wanted), StartAddress);
}

std::shared_ptr<ByteArray> MemoryImage::Holding(int32_t Address) const {
  const auto holder = arrays_.Covering(Address);
  if (!holder) return nullptr;
  return holder->object;
}

void MemoryImage::MemoryWrite(const IByteArray& B) {
  const int32_t start = B.LowIndex();
  const int32_t count = B.Count();
  const auto holder = arrays_.Covering(start);
  if (!holder || static_cast<int64_t>(start) + count - 1 > holder->high) {
    Raise(errors::kSubscriptOutOfRange);
  }
  // No bytes, nothing to write (a view of no bytes would be a trail, whose
  // assignment would cut the array short).
  if (count <= 0) return;
  holder->object->Interval(start, count)->Copy(B);
}

std::shared_ptr<ByteArray> MemoryImage::Item(int32_t Index) const {
  if (Index < 1 || Index > Count()) Raise(errors::kSubscriptOutOfRange);
  return arrays_[static_cast<size_t>(Index - 1)].object;
}

std::shared_ptr<Enumerator<std::shared_ptr<ByteArray>>> MemoryImage::NewEnum() const {
  return std::make_shared<Enumerator<std::shared_ptr<ByteArray>>>(arrays_.Objects());
}

Enumerator<std::shared_ptr<ByteArray>>::Iterator MemoryImage::begin() const {
  return Enumerator<std::shared_ptr<ByteArray>>(arrays_.Objects()).begin();
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
    Bag.WriteProperty(IndexedKey("Start", k), Variant(entry.object->LowIndex()));
    Bag.WriteProperty(IndexedKey("Text", k), Variant(entry.object->Text()));
    ++k;
  });
}

}  // namespace ombrix
