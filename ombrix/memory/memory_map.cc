#include "ombrix/memory/memory_map.h"

#include <limits>
#include <string>

#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/wrap_internal.h"
#include "ombrix/memory/memory_image.h"

namespace ombrix {
namespace {

constexpr const char* kCountKey = "Count";

}  // namespace

std::shared_ptr<MemoryMap> MemoryMap::New() {
  auto map = std::make_shared<MemoryMap>(Private{});
  map->InitProperties();
  return map;
}

std::shared_ptr<MemoryMap> MemoryMap::Load(const PropertyBag& Bag) {
  auto map = std::make_shared<MemoryMap>(Private{});
  map->ReadProperties(Bag);
  return map;
}

void MemoryMap::Add(int32_t StartAddress, int32_t Count) {
  segments_.Merge(StartAddress, Count,
                  [&](std::shared_ptr<ArrayBounds>* previous,
                      std::shared_ptr<ArrayBounds>* following) -> std::shared_ptr<ArrayBounds> {
                    // The lower segment takes the stretch and the following
                    // segment, whose object leaves the map with its old bounds.
                    const int32_t high =
                        following != nullptr ? (*following)->HighIndex() : StartAddress + Count - 1;
                    if (previous == nullptr)
                      return detail::ByteAccess::NewBounds(StartAddress, high);
                    detail::ByteAccess::SetHighIndex(**previous, high);
                    return nullptr;
                  });
}

bool MemoryMap::Check(const ArrayBounds& S) const {
  const int32_t low = S.LowIndex();
  const int32_t high = S.HighIndex();
  const auto place = segments_.FindFirst(
      [&](const auto& segment) { return segment.low > low || segment.high >= high; });
  if (segments_.IsEnd(place)) return false;
  return segments_.at(place).low <= low;
}

void MemoryMap::Clear() noexcept { segments_.clear(); }

std::shared_ptr<MemoryMap> MemoryMap::Exclude(const MemoryMap& MM) const {
  auto result = New();
  segments_.ForEach([&](const auto& segment) {
    int32_t low = segment.low;
    const int32_t high = segment.high;
    // MM's segments wholly below this one change nothing: start past them.
    auto place = MM.segments_.FindReaching(low);
    for (; !MM.segments_.IsEnd(place); place = MM.segments_.Next(place)) {
      const auto& x = MM.segments_.at(place);
      if (x.low >= high + 1) break;
      if (x.low - low > 0) result->Add(low, x.low - low);
      if (low <= x.high) low = x.high + 1;
    }
    if (high + 1 > low) result->Add(low, high + 1 - low);
  });
  return result;
}

std::shared_ptr<ArrayBounds> MemoryMap::Item(int32_t Index) const {
  if (Index < 1 || Index > Count()) Raise(errors::kSubscriptOutOfRange);
  return segments_[static_cast<size_t>(Index - 1)].object;
}

std::shared_ptr<ombrix::MemoryImage> MemoryMap::MemoryImage(uint8_t Pattern) const {
  auto image = ombrix::MemoryImage::New();
  segments_.ForEach([&](const auto& segment) { image->Add(*segment.object->ByteArray(Pattern)); });
  return image;
}

std::shared_ptr<Enumerator<std::shared_ptr<ArrayBounds>>> MemoryMap::NewEnum() const {
  return detail::OrOutOfMemory([&] {
    return std::make_shared<Enumerator<std::shared_ptr<ArrayBounds>>>(segments_.Objects());
  });
}

Enumerator<std::shared_ptr<ArrayBounds>>::Iterator MemoryMap::begin() const {
  return detail::OrOutOfMemory(
      [&] { return Enumerator<std::shared_ptr<ArrayBounds>>(segments_.Objects()).begin(); });
}

void MemoryMap::Remove(int32_t, int32_t) { Raise(errors::kLibrary, messages::kNotImplemented); }

int32_t MemoryMap::BytesCount() const noexcept {
  int32_t total = 0;
  segments_.ForEach(
      [&](const auto& segment) { total = detail::WrapAdd(total, segment.object->Count()); });
  return total;
}

void MemoryMap::ReadProperties(const PropertyBag& Bag) {
  Clear();
  const int32_t count = Bag.ReadProperty(kCountKey, Variant(0)).ToLong();
  for (int32_t k = 0; k < count; ++k) {
    const int32_t start = Bag.ReadProperty(IndexedKey("Start", static_cast<size_t>(k))).ToLong();
    const int32_t length = Bag.ReadProperty(IndexedKey("Count", static_cast<size_t>(k))).ToLong();
    Add(start, length);
  }
}

void MemoryMap::WriteProperties(PropertyBag& Bag) const {
  Bag.WriteProperty(kCountKey, Variant(Count()), Variant(0));
  size_t k = 0;
  segments_.ForEach([&](const auto& segment) {
    Bag.WriteProperty(IndexedKey("Start", k), Variant(segment.object->LowIndex()));
    Bag.WriteProperty(IndexedKey("Count", k), Variant(segment.object->Count()));
    ++k;
  });
}

}  // namespace ombrix
