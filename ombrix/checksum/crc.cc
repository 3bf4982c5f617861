#include "ombrix/checksum/crc.h"

#include "ombrix/bytes/byte_access.h"
#include "ombrix/checksum/crc_internal.h"
#include "ombrix/frame/wrap_internal.h"

namespace ombrix {

std::shared_ptr<CRC> CRC::New() { return std::make_shared<CRC>(Private{}); }

void CRC::Append(const IByteArray& B) {
  // The library's own arrays and views are read in one block, up to the
  // first byte their array lacks; a client's own array byte by byte.
  const detail::StoreWindow window = detail::ByteAccess::WindowOf(B);
  if (window.array == nullptr) [[unlikely]] {
    const int32_t high = B.HighIndex();
    const int32_t low = B.LowIndex();
    for (int64_t i = low; i <= high; ++i) {
      const auto b = static_cast<uint8_t>(B.Item(static_cast<int32_t>(i)));
      register_ = detail::Crc16Table(register_, &b, 1);
    }
    return;
  }
  const int32_t low = window.low;
  const int64_t count = static_cast<int64_t>(window.high) - low + 1;
  if (count <= 0) return;
  const std::span<const uint8_t> bytes =
      detail::ByteAccess::Available(*window.array, window.origin + low, count);
  register_ = detail::Crc16(register_, bytes.data(), bytes.size());
  if (static_cast<int64_t>(bytes.size()) < count) {
    // The array's own check raises the error of the first missing byte.
    B.Item(static_cast<int32_t>(low + static_cast<int64_t>(bytes.size())));
    Raise(errors::kSubscriptOutOfRange);
  }
}

void CRC::Send(IByteArray& B) const {
  const auto fcs = static_cast<uint16_t>(~register_);
  B.Item(detail::WrapSub(B.HighIndex(), 1), fcs & 0xFF);
  B.Item(B.HighIndex(), fcs >> 8);
}

}  // namespace ombrix
