// Enumerators over a snapshot of a collection's items, so that changing the
// collection while walking it is safe; also what range-for uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace ombrix {

/// A walk over a snapshot of a collection's items.
template <typename T>
class Enumerator {
 public:
  /// The items as they were when the enumerator was made, shared by its iterators.
  using Snapshot = std::shared_ptr<const std::vector<T>>;

  /// Walks a snapshot for range-for; compares equal to std::default_sentinel at the end.
  class Iterator {
   public:
    /// What a standard input iterator declares.
    ///@{
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    ///@}
    /// An iterator at the end; one at `position` in `items`.
    ///@{
    Iterator() = default;
    Iterator(Snapshot items, size_t position) : items_(std::move(items)), position_(position) {}
    ///@}
    /// The item the iterator stands on.
    ///@{
    const T& operator*() const { return (*items_)[position_]; }
    const T* operator->() const { return &(*items_)[position_]; }
    ///@}
    /// Steps to the next item.
    ///@{
    Iterator& operator++() {
      ++position_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++position_;
      return before;
    }
    ///@}
    /// True past the last item.
    friend bool operator==(const Iterator& it, std::default_sentinel_t) {
      return !it.items_ || it.position_ >= it.items_->size();
    }

   private:
    Snapshot items_;
    size_t position_ = 0;
  };

  /// An enumerator over these items, first to last.
  explicit Enumerator(std::vector<T> items)
      : items_(std::make_shared<const std::vector<T>>(std::move(items))) {}

  /// The next item into Item; false (Item untouched) past the last one.
  [[nodiscard]] bool Next(T& Item) {
    if (position_ >= items_->size()) return false;
    Item = (*items_)[position_++];
    return true;
  }
  /// Passes over Count items; false when fewer were left.
  bool Skip(int32_t Count) {
    const size_t left = items_->size() - position_;
    const size_t step = Count < 0 ? 0 : static_cast<size_t>(Count);
    position_ += step < left ? step : left;
    return step <= left;
  }
  /// Back to the first item.
  void Reset() noexcept { position_ = 0; }

  /// Range-for over the items not yet passed.
  ///@{
  Iterator begin() const { return Iterator(items_, position_); }
  std::default_sentinel_t end() const noexcept { return {}; }
  ///@}

 private:
  Snapshot items_;
  size_t position_ = 0;
};

}  // namespace ombrix
