// The bytes of an image's array before anyone holds the array: up to
// kInPlace of them inside the object, more on the heap. An image of many
// small scattered arrays (records not yet joined) then allocates only for
// the ones that have grown, and finds their bytes in the line of the entry
// it has just looked up.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <variant>
#include <vector>

#include "ombrix/frame/detail/allocation.h"

namespace ombrix::detail {

class SmallBytes {
 public:
  /// Room for the 16 and 32 data bytes of common hex file records; with
  /// its count and the variant's tag, 48 bytes, so that an image's entry
  /// (this and an array pointer) fills one 64-byte line.
  static constexpr size_t kInPlace = 39;

  size_t size() const noexcept {
    if (const auto* in_place = std::get_if<InPlace>(&bytes_)) return in_place->size;
    return std::get<Heap>(bytes_).size();
  }
  uint8_t* data() noexcept {
    if (auto* in_place = std::get_if<InPlace>(&bytes_)) return in_place->bytes.data();
    return std::get<Heap>(bytes_).data();
  }
  const uint8_t* data() const noexcept { return const_cast<SmallBytes&>(*this).data(); }
  operator std::span<const uint8_t>() const noexcept { return {data(), size()}; }

  /// Appends `first`, then `second`; error 7, nothing changed, when memory
  /// runs out. Neither may lie in these bytes. Room on the heap grows
  /// geometrically, so that a run of appends costs linear time.
  void Append(std::span<const uint8_t> first, std::span<const uint8_t> second) {
    const size_t held = size();
    const size_t needed = held + first.size() + second.size();
    if (auto* in_place = std::get_if<InPlace>(&bytes_)) {
      if (needed <= kInPlace) {
        std::ranges::copy(first, in_place->bytes.begin() + held);
        std::ranges::copy(second, in_place->bytes.begin() + held + first.size());
        in_place->size = static_cast<uint8_t>(needed);
        return;
      }
      Heap heap = OrOutOfMemory([&] {
        Heap room;
        room.reserve(needed);
        return room;
      });
      heap.assign(in_place->bytes.begin(), in_place->bytes.begin() + held);
      bytes_ = std::move(heap);
    }
    Heap& heap = std::get<Heap>(bytes_);
    if (needed > heap.capacity()) {
      OrOutOfMemory([&] { heap.reserve(std::max(needed, 2 * heap.capacity())); });
    }
    heap.insert(heap.end(), first.begin(), first.end());
    heap.insert(heap.end(), second.begin(), second.end());
  }

  /// The bytes as a vector, taken over without a copy from the heap;
  /// error 7, nothing changed, when a copy cannot be made. Leaves no bytes.
  std::vector<uint8_t> Release() {
    Heap released;
    if (auto* in_place = std::get_if<InPlace>(&bytes_)) {
      released = OrOutOfMemory(
          [&] { return Heap(in_place->bytes.begin(), in_place->bytes.begin() + in_place->size); });
    } else {
      released = std::move(std::get<Heap>(bytes_));
    }
    bytes_ = InPlace{};
    return released;
  }

 private:
  struct InPlace {
    std::array<uint8_t, kInPlace> bytes;
    uint8_t size;  // zero in a value-initialised InPlace, as the variant makes it
  };
  using Heap = std::vector<uint8_t>;
  std::variant<InPlace, Heap> bytes_;
};

}  // namespace ombrix::detail
