#include "ombrix/bytes/i_byte_array.h"

#include <ostream>

#include "ombrix/bytes/detail/byte_access.h"

namespace ombrix {

std::span<const uint8_t> IByteArray::Bytes() const {
  return const_cast<IByteArray*>(this)->Bytes();
}

std::span<uint8_t> IByteArray::Bytes() {
  // A client's bytes are its own; the library lends only those it keeps.
  const detail::StoreWindow window = Window();
  if (window.array == nullptr) Raise(errors::kNotAnInstance);
  // Count, recovered from the bounds as 32-bit indexes wrap.
  const auto count = static_cast<int32_t>(static_cast<uint32_t>(window.high) -
                                          static_cast<uint32_t>(window.low) + 1u);
  if (count < 0) Raise(errors::kLibrary, messages::kNegativeCount);
  if (count == 0) return {};
  uint8_t* bytes = detail::ByteAccess::Reach(*window.array, window.origin + window.low, count);
  return {bytes, static_cast<size_t>(count)};
}

std::ostream& operator<<(std::ostream& out, const IByteArray& array) { return out << array.Text(); }

}  // namespace ombrix
