// A caller's one-dimensional array with a signed lower bound, which may hold
// no array at all (the form in which byte arrays cross the interface).
#pragma once

#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ombrix/frame/error.h"

namespace ombrix {

/// A one-dimensional array with a signed lower bound.
template <typename T>
class SafeArray {
 public:
  /// No array: Allocated() is false, LBound() 0 and UBound() -1.
  SafeArray() = default;

  /// Count value-initialised elements, indexed from LowerBound. Error 5 when
  /// Count is negative or the upper bound leaves the 32-bit range, 7 when
  /// memory runs out.
  SafeArray(int32_t LowerBound, int32_t Count) : lower_bound_(LowerBound), allocated_(true) {
    CheckShape(LowerBound, Count);
    Resize(Count);
  }

  /// The given elements, indexed from LowerBound; error 5 as above.
  SafeArray(int32_t LowerBound, std::vector<T> elements)
      : lower_bound_(LowerBound), allocated_(true) {
    if (elements.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      Raise(errors::kInvalidArgument);
    }
    CheckShape(LowerBound, static_cast<int32_t>(elements.size()));
    elements_ = std::move(elements);
  }

  /// True when the array exists (it may still have no elements).
  bool Allocated() const noexcept { return allocated_; }
  /// The lowest legal index.
  int32_t LBound() const noexcept { return lower_bound_; }
  /// The highest legal index (LBound() - 1 when there are no elements).
  int32_t UBound() const noexcept {
    return static_cast<int32_t>(static_cast<int64_t>(lower_bound_) + Count() - 1);
  }
  /// The number of elements.
  int32_t Count() const noexcept { return static_cast<int32_t>(elements_.size()); }

  /// The element at Index (the array's own index); error 9 outside LBound..UBound.
  ///@{
  T& operator[](int32_t Index) { return elements_[Position(Index)]; }
  const T& operator[](int32_t Index) const { return elements_[Position(Index)]; }
  ///@}

  /// The elements in order, for block operations.
  ///@{
  T* data() noexcept { return elements_.data(); }
  const T* data() const noexcept { return elements_.data(); }
  ///@}

  /// Changes the number of elements, keeping the first ones and
  /// value-initialising the new ones; error 7 leaves the array as it was.
  void Resize(int32_t Count) {
    CheckShape(lower_bound_, Count);
    try {
      elements_.resize(static_cast<size_t>(Count));
    } catch (const std::bad_alloc&) {
      Raise(errors::kOutOfMemory);
    } catch (const std::length_error&) {
      Raise(errors::kOutOfMemory);
    }
    allocated_ = true;
  }

  /// Releases the elements: afterwards no array is held.
  void Release() noexcept {
    std::vector<T>().swap(elements_);
    allocated_ = false;
  }

  /// True when both hold no array, or arrays with the same bounds and elements.
  friend bool operator==(const SafeArray& a, const SafeArray& b) {
    return a.allocated_ == b.allocated_ && a.lower_bound_ == b.lower_bound_ &&
           a.elements_ == b.elements_;
  }

 private:
  static void CheckShape(int32_t lower_bound, int32_t count) {
    if (count < 0 ||
        static_cast<int64_t>(lower_bound) + count - 1 > std::numeric_limits<int32_t>::max()) {
      Raise(errors::kInvalidArgument);
    }
  }

  size_t Position(int32_t index) const {
    const int64_t position = static_cast<int64_t>(index) - lower_bound_;
    if (position < 0 || position >= static_cast<int64_t>(elements_.size())) {
      Raise(errors::kSubscriptOutOfRange);
    }
    return static_cast<size_t>(position);
  }

  std::vector<T> elements_;
  int32_t lower_bound_ = 0;
  bool allocated_ = false;
};

}  // namespace ombrix
