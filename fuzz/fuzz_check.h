// What every fuzz target shares: a check that stops the run loudly (never
// assert, which release builds drop), and a reader that takes the fuzzer's
// bytes as a sequence of small choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ombrix/bytes/byte_array.h"
#include "ombrix/frame/error.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace ombrix::fuzz {

/// Draws choices from the input, and zeros once it runs out.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const noexcept { return position_ >= size_; }
  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  /// A number from low to high, both included.
  int32_t Between(int32_t low, int32_t high) {
    const uint32_t span = static_cast<uint32_t>(high - low) + 1;
    const uint32_t raw = static_cast<uint32_t>(Byte()) << 8 | Byte();
    return low + static_cast<int32_t>(raw % span);
  }
  /// Any 32-bit number.
  int32_t Any() {
    uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = value << 8 | Byte();
    return static_cast<int32_t>(value);
  }
  /// What is left, as text.
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_) + position_,
                     size_ - std::min(position_, size_));
    position_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

/// Runs `call` and returns the number of the ombrix::Error it raises, 0 for none.
template <typename Call>
int32_t ErrorOf(Call&& call) {
  try {
    call();
    return 0;
  } catch (const Error& error) {
    return error.Number();
  }
}

/// The bytes of a plain array.
inline std::vector<uint8_t> BytesOf(const ByteArray& array) {
  const Variant value = array.Value();
  if (value.ByteArray() == nullptr) return {};
  return std::vector<uint8_t>(value.ByteArray()->data(), value.ByteArray()->data() + array.Count());
}

/// A new plain array holding the bytes.
inline std::shared_ptr<ByteArray> ArrayOf(const std::vector<uint8_t>& bytes,
                                          int32_t low_index = 1) {
  auto array = ByteArray::New();
  array->Value(Variant(SafeArray<uint8_t>(0, bytes)));
  array->LowIndex(low_index);
  return array;
}

}  // namespace ombrix::fuzz
