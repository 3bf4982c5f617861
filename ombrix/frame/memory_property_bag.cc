#include "ombrix/frame/memory_property_bag.h"

#include <algorithm>
#include <utility>

namespace ombrix {

std::shared_ptr<MemoryPropertyBag> MemoryPropertyBag::New() {
  return std::make_shared<MemoryPropertyBag>(Private{});
}

std::vector<std::string> MemoryPropertyBag::Keys() const {
  std::vector<std::pair<uint64_t, const std::string*>> ordered;
  ordered.reserve(entries_.size());
  for (const auto& [name, entry] : entries_) ordered.emplace_back(entry.order, &name);
  std::sort(ordered.begin(), ordered.end());
  std::vector<std::string> keys;
  keys.reserve(ordered.size());
  for (const auto& [order, name] : ordered) keys.push_back(*name);
  return keys;
}

const Variant* MemoryPropertyBag::Find(const std::string& Name) const {
  const auto found = entries_.find(Name);
  return found != entries_.end() ? &found->second.value : nullptr;
}

void MemoryPropertyBag::Store(const std::string& Name, const Variant& Value) {
  const auto [where, inserted] = entries_.try_emplace(Name, Entry{Value, next_order_});
  if (inserted) {
    ++next_order_;
  } else {
    where->second.value = Value;
  }
}

void MemoryPropertyBag::Erase(const std::string& Name) { entries_.erase(Name); }

}  // namespace ombrix
