#include "ombrix/fields/enumeration.h"

#include <algorithm>

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/error.h"

namespace ombrix {
namespace {

constexpr const char* kCountKey = "Count";

}  // namespace

std::shared_ptr<Enumeration> Enumeration::New() {
  auto list = std::make_shared<Enumeration>(Private{});
  list->InitProperties();
  return list;
}

std::shared_ptr<Enumeration> Enumeration::Load(const PropertyBag& Bag) {
  auto list = std::make_shared<Enumeration>(Private{});
  list->ReadProperties(Bag);
  return list;
}

const std::string& Enumeration::Item(int32_t Index) const {
  if (Index < 1 || Index > Count()) Raise(errors::kSubscriptOutOfRange);
  return texts_[static_cast<size_t>(Index - 1)];
}

void Enumeration::Remove(int32_t Index) {
  if (Index < 1 || Index > Count()) Raise(errors::kSubscriptOutOfRange);
  const auto position = static_cast<ptrdiff_t>(Index - 1);
  texts_.erase(texts_.begin() + position);
  values_.erase(values_.begin() + position);
  index_stale_ = true;
}

void Enumeration::Clear() noexcept {
  texts_.clear();
  values_.clear();
  index_.by_value.clear();
  index_.by_text.clear();
  index_stale_ = false;
}

const Enumeration::FirstPositions& Enumeration::Index() const {
  if (index_stale_) {
    // Built apart and then taken, so that running out of memory (error 7)
    // leaves the stale index to be rebuilt by the next lookup.
    index_ = detail::OrOutOfMemory([&] {
      FirstPositions rebuilt;
      for (size_t k = 0; k < texts_.size(); ++k) {
        rebuilt.by_value.try_emplace(values_[k], k);
        rebuilt.by_text.try_emplace(texts_[k], k);
      }
      return rebuilt;
    });
    index_stale_ = false;
  }
  return index_;
}

std::shared_ptr<Enumerator<std::string>> Enumeration::NewEnum() const {
  return detail::OrOutOfMemory([&] { return std::make_shared<Enumerator<std::string>>(texts_); });
}

Enumerator<std::string>::Iterator Enumeration::begin() const {
  return detail::OrOutOfMemory([&] { return Enumerator<std::string>(texts_).begin(); });
}

void Enumeration::Add(std::string Text, int32_t Value) {
  const size_t position = texts_.size();
  // Room for this pair, growing geometrically so that n Adds cost O(n); the
  // pushes below then cannot throw.
  detail::OrOutOfMemory([&] {
    if (texts_.size() == texts_.capacity()) texts_.reserve(std::max<size_t>(8, 2 * position));
    if (values_.size() == values_.capacity()) values_.reserve(std::max<size_t>(8, 2 * position));
  });
  if (!index_stale_) {
    // An earlier pair with the same text or value stays the first match.
    try {
      detail::OrOutOfMemory([&] {
        index_.by_value.try_emplace(Value, position);
        index_.by_text.try_emplace(Text, position);
      });
    } catch (...) {
      index_stale_ = true;  // rebuilt from the lists on the next lookup
      throw;
    }
  }
  texts_.push_back(std::move(Text));  // cannot throw after the reserves
  values_.push_back(Value);
}

std::optional<size_t> Enumeration::FirstWithValue(int32_t value) const {
  const auto& by_value = Index().by_value;
  const auto found = by_value.find(value);
  if (found == by_value.end()) return std::nullopt;
  return found->second;
}

std::optional<size_t> Enumeration::FirstWithText(const std::string& text) const {
  const auto& by_text = Index().by_text;
  const auto found = by_text.find(text);
  if (found == by_text.end()) return std::nullopt;
  return found->second;
}

const std::string& Enumeration::Text(int32_t Value) const {
  const auto position = FirstWithValue(Value);
  if (!position) Raise(errors::kSubscriptOutOfRange);
  return texts_[*position];
}

int32_t Enumeration::Value(const std::string& Text) const {
  const auto position = FirstWithText(Text);
  if (!position) Raise(errors::kSubscriptOutOfRange);
  return values_[*position];
}

std::optional<std::string> Enumeration::FindText(int32_t Value) const {
  const auto position = FirstWithValue(Value);
  if (!position) return std::nullopt;
  return texts_[*position];
}

std::optional<int32_t> Enumeration::FindValue(const std::string& Text) const {
  const auto position = FirstWithText(Text);
  if (!position) return std::nullopt;
  return values_[*position];
}

void Enumeration::ReadProperties(const PropertyBag& Bag) {
  Clear();
  const int32_t count = Bag.ReadProperty(kCountKey, Variant(0)).ToLong();
  for (int32_t position = 1; position <= count; ++position) {
    const Variant text = Bag.ReadProperty(IndexedKey("Text", static_cast<size_t>(position)));
    const Variant value = Bag.ReadProperty(IndexedKey("Value", static_cast<size_t>(position)));
    Add(text.ToString(), value.ToLong());
  }
}

void Enumeration::WriteProperties(PropertyBag& Bag) const {
  Bag.WriteProperty(kCountKey, Variant(Count()), Variant(0));
  for (size_t k = 0; k < texts_.size(); ++k) {
    Bag.WriteProperty(IndexedKey("Text", k + 1), Variant(texts_[k]));
    Bag.WriteProperty(IndexedKey("Value", k + 1), Variant(values_[k]));
  }
}

}  // namespace ombrix
