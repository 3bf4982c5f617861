// A caller's one-dimensional array with a signed lower bound, which may hold
// no array at all (the form in which byte arrays cross the interface).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/error.h"

namespace ombrix {

/// A one-dimensional array with a signed lower bound. Short byte arrays
/// keep their elements inside the object, so that they cost no allocation.
template <typename T>
class SafeArray {
 public:
  /// Arrays of at most this many elements keep them inside the object
  /// (bytes only: a frame, a short read); longer ones on the heap.
  static constexpr int32_t kInPlace = std::is_trivially_copyable_v<T> && sizeof(T) == 1 ? 16 : 0;

  /// No array: Allocated() is false, LBound() 0 and UBound() -1.
  SafeArray() = default;

  /// Count value-initialised elements, indexed from LowerBound. Error 5 when
  /// Count is negative or the upper bound leaves the 32-bit range, 7 when
  /// memory runs out.
  SafeArray(int32_t LowerBound, int32_t Count) : lower_bound_(LowerBound), allocated_(true) {
    CheckShape(LowerBound, Count);
    Resize(Count);
  }

  /// The given elements, indexed from LowerBound, taken over without a copy
  /// unless they fit inside the object; error 5 as above.
  SafeArray(int32_t LowerBound, std::vector<T> elements)
      : lower_bound_(LowerBound), allocated_(true) {
    if (elements.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      Raise(errors::kInvalidArgument);
    }
    const auto count = static_cast<int32_t>(elements.size());
    CheckShape(LowerBound, count);
    if (count <= kInPlace) {
      std::copy(elements.begin(), elements.end(), in_place_.begin());
    } else {
      elements_ = std::move(elements);
    }
    Hold(count);
  }

  /// A copy of `other`'s bounds and elements; error 7 when memory runs out.
  SafeArray(const SafeArray& other)
      : elements_(detail::OrOutOfMemory([&] { return other.elements_; })),
        in_place_(other.in_place_),
        count_(other.count_),
        lower_bound_(other.lower_bound_),
        allocated_(other.allocated_) {
    Point();
  }
  /// Leaves `other` with no elements.
  SafeArray(SafeArray&& other) noexcept
      : elements_(std::move(other.elements_)),
        in_place_(other.in_place_),
        count_(other.count_),
        lower_bound_(other.lower_bound_),
        allocated_(other.allocated_) {
    Point();
    other.Empty();
  }
  /// Takes a copy of `other`'s bounds and elements; error 7 leaves this as it was.
  SafeArray& operator=(const SafeArray& other) {
    if (this != &other) *this = SafeArray(other);
    return *this;
  }
  /// Leaves `other` with no elements.
  SafeArray& operator=(SafeArray&& other) noexcept {
    if (this == &other) return *this;
    elements_ = std::move(other.elements_);
    in_place_ = other.in_place_;
    count_ = other.count_;
    lower_bound_ = other.lower_bound_;
    allocated_ = other.allocated_;
    Point();
    other.Empty();
    return *this;
  }
  ~SafeArray() = default;

  /// True when the array exists (it may still have no elements).
  bool Allocated() const noexcept { return allocated_; }
  /// The lowest legal index.
  int32_t LBound() const noexcept { return lower_bound_; }
  /// The highest legal index (LBound() - 1 when there are no elements).
  int32_t UBound() const noexcept {
    return static_cast<int32_t>(static_cast<int64_t>(lower_bound_) + count_ - 1);
  }
  /// The number of elements.
  int32_t Count() const noexcept { return count_; }

  /// The element at Index (the array's own index); error 9 outside LBound..UBound.
  ///@{
  T& operator[](int32_t Index) { return data_[Position(Index)]; }
  const T& operator[](int32_t Index) const { return data_[Position(Index)]; }
  ///@}

  /// The elements in order, for block operations (null when there are
  /// none); valid until the array changes size or moves.
  ///@{
  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  ///@}

  /// Changes the number of elements, keeping the first ones and
  /// value-initialising the new ones; error 7 leaves the array as it was.
  void Resize(int32_t Count) {
    CheckShape(lower_bound_, Count);
    if (Count <= kInPlace) {
      if (count_ > kInPlace) {
        std::copy_n(elements_.begin(), Count, in_place_.begin());
        std::vector<T>().swap(elements_);
      } else if (Count > count_) {
        std::fill(in_place_.begin() + count_, in_place_.begin() + Count, T{});
      }
    } else if (count_ > kInPlace) {
      detail::OrOutOfMemory([&] { elements_.resize(static_cast<size_t>(Count)); });
    } else {
      std::vector<T> grown =
          detail::OrOutOfMemory([&] { return std::vector<T>(static_cast<size_t>(Count)); });
      std::copy_n(in_place_.begin(), count_, grown.begin());
      elements_ = std::move(grown);
    }
    Hold(Count);
  }

  /// Replaces the elements by copies of the Count elements from Elements
  /// on, keeping LBound (they may be this array's own); error 5 as above,
  /// 7 when memory runs out, either leaving the array as it was.
  void Assign(const T* Elements, int32_t Count) {
    CheckShape(lower_bound_, Count);
    if (Count <= kInPlace) {
      if constexpr (kInPlace > 0) {
        // Moved as memory: the elements may be this array's own.
        if (Count > 0) {
          std::memmove(in_place_.data(), Elements, sizeof(T) * static_cast<size_t>(Count));
        }
      }
      std::vector<T>().swap(elements_);
    } else {
      elements_ = detail::OrOutOfMemory([&] { return std::vector<T>(Elements, Elements + Count); });
    }
    Hold(Count);
  }

  /// Releases the elements: afterwards no array is held.
  void Release() noexcept {
    std::vector<T>().swap(elements_);
    Empty();
    allocated_ = false;
  }

  /// True when both hold no array, or arrays with the same bounds and elements.
  friend bool operator==(const SafeArray& a, const SafeArray& b) {
    return a.allocated_ == b.allocated_ && a.lower_bound_ == b.lower_bound_ &&
           a.count_ == b.count_ && std::equal(a.data_, a.data_ + a.count_, b.data_);
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
    if (position < 0 || position >= count_) Raise(errors::kSubscriptOutOfRange);
    return static_cast<size_t>(position);
  }

  // After the elements have changed: `count` of them, where they now are.
  void Hold(int32_t count) noexcept {
    count_ = count;
    allocated_ = true;
    Point();
  }

  // data_ after the elements have moved between the object and the heap.
  void Point() noexcept {
    if (count_ == 0) {
      data_ = nullptr;
    } else if (count_ <= kInPlace) {
      data_ = in_place_.data();
    } else {
      data_ = elements_.data();
    }
  }

  // No elements, the heap's already given away or released.
  void Empty() noexcept {
    count_ = 0;
    data_ = nullptr;
  }

  std::vector<T> elements_;  // the elements when there are more than kInPlace
  std::array<T, kInPlace> in_place_{};
  T* data_ = nullptr;  // in_place_, elements_ or null
  int32_t count_ = 0;
  int32_t lower_bound_ = 0;
  bool allocated_ = false;
};

}  // namespace ombrix
